#include "skin/audio_visualization.h"

#include <QDateTime>
#include <QPaintEngine>
#include <QPainter>
#include <QTimer>

#include "skin/spectrum.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace
{

constexpr int fft_size = 1024;
constexpr int bar_count = 20;     // LineCount
constexpr int spot_height = 2;    // SpotHeight
constexpr int spot_interval = 1;  // SpotInterval
constexpr int line_interval = 1;  // LineInterval
constexpr int tick_hold_ms = 200; // TickDelayTime
constexpr int tick_step_ms = 20;  // TickReleaseTime
// Falling ticks are placed by the clock and shown 20 pictures a second, not
// at the release step's 50: with the owner's feed every 100 ms, one picture
// halfway between two feeds keeps an even pace.
constexpr int tick_repaint_ms = 50;
constexpr double floor_db = -60.0;  // bottom of the scale, relative to a full-scale sine
const QColor line_color(1, 138, 0); // LineLow/Mid/HighColor

} // namespace

struct TAudioVisualizationEx2::Impl {
    int m_channels = 1;
    std::vector<double> m_bars = std::vector<double>(bar_count, 0.0);
    // Peak ticks: the height reached and when it was reached; the tick holds,
    // then drops one spot per release step, never below its bar.
    std::vector<double> m_peak_value = std::vector<double>(bar_count, 0.0);
    std::vector<qint64> m_peak_time = std::vector<qint64>(bar_count, 0);
    std::vector<int> m_edges; // bin boundaries of the bars, bar_count + 1 entries
    std::vector<float> m_window;
    RealSpectrum m_spectrum{fft_size};
    std::vector<float> m_in = std::vector<float>(fft_size, 0.0f);
    std::vector<float> m_out = std::vector<float>(fft_size + 2, 0.0f);
    std::function<qint64()> m_clock;
    QTimer m_release_timer;
    // Lit spots and tick spot of every bar as last painted: most ticks change
    // nothing on screen, and then nothing is repainted.
    std::vector<int> m_painted;

    Impl()
    {
        m_window.resize(fft_size);
        for (int i = 0; i < fft_size; ++i)
            m_window[i] = static_cast<float>(
                0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / (fft_size - 1)));

        // Log-spaced bands from bin 1 up to Nyquist; each band gets at least one bin.
        const int lo = 1;
        const int hi = fft_size / 2;
        m_edges.resize(bar_count + 1);
        m_edges[0] = lo;
        for (int k = 1; k <= bar_count; ++k) {
            const int e = static_cast<int>(
                std::lround(lo * std::pow(double(hi) / lo, double(k) / bar_count)));
            m_edges[k] = std::max(e, m_edges[k - 1] + 1);
        }
        m_edges[bar_count] = hi + 1; // include the Nyquist bin
        // Undo any push past the top caused by the one-bin minimum.
        for (int k = bar_count - 1; k > 0 && m_edges[k] >= m_edges[k + 1]; --k)
            m_edges[k] = m_edges[k + 1] - 1;

        m_clock = [] { return QDateTime::currentMSecsSinceEpoch(); };
    }

    std::vector<int> picture(int spots, qint64 now) const
    {
        std::vector<int> spots_of(2 * bar_count);
        for (int b = 0; b < bar_count; ++b) {
            spots_of[2 * b] = static_cast<int>(std::lround(m_bars[b] * spots));
            spots_of[2 * b + 1] = static_cast<int>(std::lround(peak_at(b, now) * spots));
        }
        return spots_of;
    }

    static double quantum() { return 1.0 / (60 / (spot_height + spot_interval)); }

    double peak_at(int bar, qint64 now) const
    {
        const qint64 age = now - m_peak_time[bar];
        double v = m_peak_value[bar];
        if (age > tick_hold_ms)
            v -= double((age - tick_hold_ms) / tick_step_ms) * quantum();
        return std::max(v, m_bars[bar]);
    }

    // Milliseconds until a tick drawn above its bar moves down a spot, or -1
    // when none is: a tick level with its bar never changes the picture again.
    int next_change_ms(const std::vector<int> &drawn, qint64 now) const
    {
        qint64 next = -1;
        for (int b = 0; b < bar_count; ++b) {
            if (drawn[2 * b + 1] <= drawn[2 * b])
                continue;
            const qint64 age = now - m_peak_time[b];
            const qint64 steps = age < tick_hold_ms ? 0 : (age - tick_hold_ms) / tick_step_ms;
            const qint64 at = tick_hold_ms + (steps + 1) * tick_step_ms - age;
            next = next < 0 ? at : std::min(next, at);
        }
        return static_cast<int>(next);
    }

    void analyse(const SampleArray &samples)
    {
        const int channels = std::max(1, m_channels);
        const int frames_total = static_cast<int>(samples.size()) / channels;
        const int frames = std::min(frames_total, fft_size);
        const int first = frames_total - frames;
        float *in = m_in.data();
        std::fill(in, in + fft_size, 0.0f);
        const float scale = 1.0f / (32768.0f * static_cast<float>(channels));
        for (int f = 0; f < frames; ++f) {
            int sum = 0;
            const size_t base = static_cast<size_t>(first + f) * channels;
            for (int c = 0; c < channels; ++c)
                sum += samples[base + c];
            const float mono = static_cast<float>(sum) * scale;
            // A short array is windowed over its own length, then zero-padded.
            const int wi =
                frames == fft_size
                    ? f
                    : static_cast<int>(int64_t(f) * (fft_size - 1) / std::max(1, frames - 1));
            in[f] = mono * m_window[wi];
        }
        m_spectrum.transform(in, m_out.data());

        // A full-scale sine under a Hann window peaks at N/4 in its bin.
        // Squared magnitudes: no square root per bin, one logarithm per bar.
        const double full_scale = (frames > 0 ? frames : fft_size) / 4.0;
        const float full_scale_sq = static_cast<float>(full_scale * full_scale);
        const float *out = m_out.data();
        for (int b = 0; b < bar_count; ++b) {
            float best = 0.0f;
            for (int k = m_edges[b]; k < m_edges[b + 1] && k <= fft_size / 2; ++k)
                best = std::max(best, out[2 * k] * out[2 * k] + out[2 * k + 1] * out[2 * k + 1]);
            const float rel_sq = best / full_scale_sq;
            double level = 0.0;
            if (rel_sq > 0.0f)
                level =
                    (10.0 * std::numbers::ln2 / std::numbers::ln10 * std::log2(rel_sq) - floor_db) /
                    -floor_db;
            m_bars[b] = std::clamp(level, 0.0, 1.0);
        }
    }
};

TAudioVisualizationEx2::TAudioVisualizationEx2(QWidget *parent)
    : QWidget(parent), m_impl(std::make_unique<Impl>())
{
    setFixedSize(107, 60);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_impl->m_release_timer.setSingleShot(true);
    connect(&m_impl->m_release_timer, &QTimer::timeout, this, &TAudioVisualizationEx2::refresh);
}

TAudioVisualizationEx2::~TAudioVisualizationEx2() = default;

void TAudioVisualizationEx2::ShowArray(const SampleArray &samples)
{
    const qint64 now = m_impl->m_clock();
    if (samples.empty()) {
        std::fill(m_impl->m_bars.begin(), m_impl->m_bars.end(), 0.0);
        std::fill(m_impl->m_peak_value.begin(), m_impl->m_peak_value.end(), 0.0);
        std::fill(m_impl->m_peak_time.begin(), m_impl->m_peak_time.end(), now);
        refresh();
        return;
    }
    m_impl->analyse(samples);
    for (int b = 0; b < bar_count; ++b) {
        if (m_impl->m_bars[b] >= m_impl->peak_at(b, now)) {
            m_impl->m_peak_value[b] = m_impl->m_bars[b];
            m_impl->m_peak_time[b] = now;
        }
    }
    refresh();
}

void TAudioVisualizationEx2::refresh()
{
    const qint64 now = m_impl->m_clock();
    const std::vector<int> drawn = m_impl->picture(spot_count(), now);
    if (drawn != m_impl->m_painted)
        update();
    // Woken only when a tick will move, and never more than 20 times a second.
    const int next = m_impl->next_change_ms(drawn, now);
    QTimer &timer = m_impl->m_release_timer;
    if (next < 0) {
        timer.stop();
        return;
    }
    // Counted from this picture: a feed that comes sooner takes the timer's place.
    timer.start(std::max(next, tick_repaint_ms));
}

namespace
{

// Spots and gaps in whole device pixels: at 1.25x or 1.5x, logical sizes
// would round to rows of uneven height and the pattern would waver.
struct SpotGrid {
    int spot, gap, pitch, width, height;
};

SpotGrid spot_grid(const QWidget &w, double dpr)
{
    const int spot = std::max(1, int(std::lround(spot_height * dpr)));
    const int gap = std::max(1, int(std::lround(spot_interval * dpr)));
    return {spot, gap, spot + gap, int(std::lround(w.width() * dpr)),
            int(std::lround(w.height() * dpr))};
}

} // namespace

int TAudioVisualizationEx2::spot_count() const
{
    const SpotGrid g = spot_grid(*this, devicePixelRatioF());
    return g.height / g.pitch;
}

void TAudioVisualizationEx2::setChannels(int channels)
{
    m_impl->m_channels = std::max(1, channels);
}

int TAudioVisualizationEx2::Channels() const
{
    return m_impl->m_channels;
}

void TAudioVisualizationEx2::set_clock(std::function<qint64()> now_ms)
{
    m_impl->m_clock =
        now_ms ? std::move(now_ms) : [] { return QDateTime::currentMSecsSinceEpoch(); };
}

std::vector<int> TAudioVisualizationEx2::band_edges() const
{
    return m_impl->m_edges;
}

std::vector<double> TAudioVisualizationEx2::bar_levels() const
{
    return m_impl->m_bars;
}

std::vector<double> TAudioVisualizationEx2::peak_levels() const
{
    const qint64 now = m_impl->m_clock();
    std::vector<double> peaks(bar_count);
    for (int b = 0; b < bar_count; ++b)
        peaks[b] = m_impl->peak_at(b, now);
    return peaks;
}

void TAudioVisualizationEx2::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::black);

    // The real target: a grab at another scale than the screen's gets its own grid.
    const QPaintDevice *target = p.paintEngine() ? p.paintEngine()->paintDevice() : nullptr;
    const double dpr = target ? target->devicePixelRatioF() : devicePixelRatioF();
    const SpotGrid g = spot_grid(*this, dpr);
    p.scale(double(width()) / g.width, double(height()) / g.height);
    const int w = g.width;
    const int h = g.height;
    const int pitch = g.pitch;
    const int gap_x = std::max(1, int(std::lround(line_interval * dpr)));
    m_impl->m_painted = m_impl->picture(h / pitch, m_impl->m_clock());
    // Each bar as one block of light, then the dark rows between spots across
    // all bars at once: a few dozen fills a picture instead of one per spot.
    int highest = 0;
    for (int b = 0; b < bar_count; ++b) {
        // Spread the spare pixels so the bars fill the width exactly.
        const int x0 = b * (w + gap_x) / bar_count;
        const int x1 = (b + 1) * (w + gap_x) / bar_count - gap_x;
        const int lit = m_impl->m_painted[2 * b];
        if (lit > 0)
            p.fillRect(x0, h - lit * pitch + g.gap, x1 - x0, lit * pitch - g.gap, line_color);
        highest = std::max(highest, lit);
        const int tick = m_impl->m_painted[2 * b + 1];
        if (tick > lit)
            p.fillRect(x0, h - tick * pitch + g.gap, x1 - x0, g.spot, line_color);
    }
    for (int s = 1; s < highest; ++s)
        p.fillRect(0, h - s * pitch, w, g.gap, Qt::black);
}
