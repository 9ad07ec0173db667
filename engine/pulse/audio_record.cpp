#include "pulse/audio_record.h"

#include "pulse/pulse_capture.h"

#include <QMetaObject>
#include <QPointer>
#include <algorithm>
#include <cstdlib>

namespace
{

constexpr int timer_interval_ms = 100;

int clamp_count(int64_t v)
{
    return static_cast<int>(std::min<int64_t>(v, INT32_MAX));
}

size_t recent_capacity(uint32_t rate, int channels)
{
    // Four seconds: the level display's view, and what a split stream
    // delivers while the owner closes one file and opens the next.
    return std::max<size_t>(65536, 4 * static_cast<size_t>(rate) * static_cast<size_t>(channels));
}

} // namespace

TAudioRecord2::TAudioRecord2(QObject *parent, std::unique_ptr<CaptureBackend> backend)
    : QObject(parent),
      m_backend(backend ? std::move(backend) : std::make_unique<PulseCaptureBackend>())
{
    m_recent.assign(recent_capacity(m_rate, m_channels), 0);
    m_timer.setInterval(timer_interval_ms);
    connect(&m_timer, &QTimer::timeout, this, &TAudioRecord2::timer_tick);
    m_drain_timer.setInterval(10);
    connect(&m_drain_timer, &QTimer::timeout, this, [this] { check_drain(); });
    m_clock.start();
}

TAudioRecord2::~TAudioRecord2()
{
    if (m_watching)
        m_backend->watch_devices({});
    if (m_stream_open)
        m_backend->stop();
}

// ---- devices and input lines ----

void TAudioRecord2::load_devices() const
{
    m_devices = m_backend->devices();
    m_devices_loaded = true;
}

const CaptureDeviceInfo *TAudioRecord2::current_device() const
{
    if (!m_devices_loaded)
        load_devices();
    if (m_device_index < 0 || static_cast<size_t>(m_device_index) >= m_devices.size())
        return nullptr;
    return &m_devices[static_cast<size_t>(m_device_index)];
}

const InputLineInfo *TAudioRecord2::current_line() const
{
    const CaptureDeviceInfo *device = current_device();
    if (!device || m_line_index < 1 || static_cast<size_t>(m_line_index) > device->lines.size())
        return nullptr;
    return &device->lines[static_cast<size_t>(m_line_index - 1)];
}

int16_t TAudioRecord2::LastDeviceIndex()
{
    if (!m_watching) {
        m_watching = true;
        QPointer<TAudioRecord2> self(this);
        auto queued = m_change_queued;
        m_backend->watch_devices([self, queued] {
            if (queued->exchange(true))
                return;
            // A plug-in sends a dozen events; the list is read again once, a moment later.
            QMetaObject::invokeMethod(
                self.data(),
                [self, queued] {
                    QTimer::singleShot(200, self.data(), [self, queued] {
                        queued->store(false);
                        if (self)
                            emit self->OnDevicesChanged(self.data());
                    });
                },
                Qt::QueuedConnection);
        });
    }
    load_devices();
    return static_cast<int16_t>(std::min<size_t>(m_devices.size(), INT16_MAX) - 1);
}

void TAudioRecord2::setDeviceIndex(int16_t index)
{
    m_device_index = index;
    m_line_index = 1;
}

bool TAudioRecord2::DeviceUsable() const
{
    const CaptureDeviceInfo *device = current_device();
    return device && device->usable && !device->lines.empty();
}

QString TAudioRecord2::DeviceName() const
{
    const CaptureDeviceInfo *device = current_device();
    return device ? device->name : QString();
}

int16_t TAudioRecord2::InputLineCount() const
{
    const CaptureDeviceInfo *device = current_device();
    return device ? static_cast<int16_t>(std::min<size_t>(device->lines.size(), INT16_MAX)) : 0;
}

void TAudioRecord2::setInputLineIndex(int16_t line)
{
    m_line_index = line;
}

QString TAudioRecord2::InputLineName() const
{
    const InputLineInfo *line = current_line();
    return line ? line->name : QString();
}

int TAudioRecord2::InputLineVolume() const
{
    const InputLineInfo *line = current_line();
    return line ? std::clamp(m_backend->volume(*line), 0, 65535) : 0;
}

void TAudioRecord2::setInputLineVolume(int volume)
{
    if (const InputLineInfo *line = current_line())
        m_backend->set_volume(*line, std::clamp(volume, 0, 65535));
}

void TAudioRecord2::setInputLineSelected(bool selected)
{
    if (!selected) {
        m_selected_line.reset();
        m_backend->keep_ready(InputLineInfo{});
        return;
    }
    if (const InputLineInfo *line = current_line()) {
        m_backend->select_line(*line);
        m_selected_line = *line;
        m_backend->keep_ready(*line);
    }
}

QString TAudioRecord2::DeviceServerName() const
{
    const CaptureDeviceInfo *device = current_device();
    return device ? device->server_name : QString();
}

QString TAudioRecord2::InputLineServerName() const
{
    const InputLineInfo *line = current_line();
    return line ? line->server_name() : QString();
}

bool TAudioRecord2::FindDefaultSource(int16_t &device, int16_t &line) const
{
    if (!m_devices_loaded)
        load_devices();
    const QString name = m_backend->default_source_name();
    if (name.isEmpty())
        return false;
    // A source with several ports is found at the port it uses now.
    for (int pass = 0; pass < 2; ++pass)
        for (size_t d = 0; d < m_devices.size() && d < INT16_MAX; ++d)
            for (size_t l = 0; l < m_devices[d].lines.size() && l < INT16_MAX; ++l) {
                const InputLineInfo &info = m_devices[d].lines[l];
                if (info.source_name == name && (pass == 1 || info.active)) {
                    device = static_cast<int16_t>(d);
                    line = static_cast<int16_t>(l + 1);
                    return true;
                }
            }
    return false;
}

// ---- capture ----

void TAudioRecord2::SetWaveFormat(uint32_t sample_rate, int channels)
{
    if (sample_rate == 0 || channels < 1 || channels > 8)
        throw EngineError(
            QStringLiteral("The recording format %1 Hz with %2 channels is not supported.")
                .arg(sample_rate)
                .arg(channels));
    if (sample_rate == m_rate && channels == m_channels)
        return;
    // A stream kept between runs is of the old format: the next Start opens anew.
    if (!m_running && !m_draining)
        close_stream();
    std::lock_guard lock(m_mutex);
    m_rate = sample_rate;
    m_channels = channels;
    if (m_stream_open)
        return; // the ring follows the running stream's format
    m_recent.assign(recent_capacity(m_rate, m_channels), 0);
    m_recent_pos = 0;
    m_recent_fill = 0;
}

int TAudioRecord2::MillisecondsToSamples(int ms) const
{
    return clamp_count(ms_to_samples(ms, m_rate, m_channels));
}

int TAudioRecord2::SamplesToMilliseconds(int64_t samples) const
{
    return clamp_count(samples_to_ms(samples, m_rate, m_channels));
}

int64_t TAudioRecord2::position_now() const
{
    const int64_t frames = m_backend->frames_now();
    std::lock_guard lock(m_mutex);
    if (frames < 0)
        return m_stream_count;
    return frames * m_stream_channels;
}

void TAudioRecord2::open_stream(const InputLineInfo &line)
{
    uint64_t run = 0;
    {
        std::lock_guard lock(m_mutex);
        m_stream_count = 0;
        m_recent_fill = 0;
        m_recent_pos = 0;
        m_stream_error = 0;
        m_thread_error = 0;
        m_accepting = false;
        m_stream_rate = m_rate;
        m_stream_channels = m_channels;
        run = ++m_run;
    }
    m_backend->set_sources(m_sources);
    const bool ok = m_backend->start(
        line, m_rate, m_channels, [this](const int16_t *s, size_t n) { on_data(s, n); },
        [this, run](int code, const QString &text) {
            std::lock_guard lock(m_mutex);
            if (run == m_run)
                on_error(code, text);
        });
    if (!ok)
        return;
    m_stream_open = true;
    m_stream_line = line;
    m_stream_sources = m_sources;
}

void TAudioRecord2::setSources(const CaptureSources &sources)
{
    m_sources = sources;
}

std::vector<std::pair<QString, QString>> TAudioRecord2::SourceNames() const
{
    load_devices();
    std::vector<std::pair<QString, QString>> out;
    for (const CaptureDeviceInfo &device : m_devices)
        for (const InputLineInfo &line : device.lines) {
            const auto same = [&](const auto &s) { return s.first == line.source_name; };
            if (!line.source_name.isEmpty() && std::none_of(out.begin(), out.end(), same))
                out.emplace_back(line.source_name, line.name);
        }
    return out;
}

void TAudioRecord2::close_stream()
{
    if (!m_stream_open)
        return;
    // The backend hands over what the server still holds before it returns.
    m_backend->stop();
    m_stream_open = false;
    m_hold = Hold::none;
    std::lock_guard lock(m_mutex);
    ++m_run;
    m_accepting = false;
    m_thread_error = 0;
}

void TAudioRecord2::Start()
{
    if (m_running)
        Stop();
    if (m_draining) {
        m_draining = false;
        std::lock_guard lock(m_mutex);
        m_accepting = false;
    }
    m_error_code = 0;
    m_error_text.clear();
    m_error_event_owed = false;
    m_blocks_sent = 0;
    const InputLineInfo line = m_selected_line.value_or(InputLineInfo{});
    int stream_error = 0;
    {
        std::lock_guard lock(m_mutex);
        stream_error = m_stream_error;
    }
    const bool same = m_stream_open && stream_error == 0 && m_stream_rate == m_rate &&
                      m_stream_channels == m_channels &&
                      m_stream_line.source_name == line.source_name &&
                      m_stream_line.port_name == line.port_name && m_stream_sources == m_sources;
    const Hold hold = m_hold;
    if (!same)
        close_stream();
    int64_t first = 0;
    if (!m_stream_open) {
        open_stream(line);
        if (!m_stream_open) {
            m_error_code = 1;
            m_error_text = m_backend->start_error();
            if (m_error_text.isEmpty())
                m_error_text = QStringLiteral("The recording device could not be opened.");
            return;
        }
    } else {
        first = hold == Hold::split ? m_split_at : position_now();
    }
    m_hold = Hold::none;
    bool have_data = false;
    {
        std::lock_guard lock(m_mutex);
        const int64_t frame = std::max(m_stream_channels, 1);
        first -= first % frame;
        // What the stream already delivered of the run comes out of the ring.
        const int64_t oldest = m_stream_count - static_cast<int64_t>(m_recent_fill);
        first = std::max(first, oldest + (frame - oldest % frame) % frame);
        m_run_start = first;
        m_run_end = INT64_MAX;
        m_accepting = true;
        m_captured = 0;
        m_post_block = std::max(m_block_size, 0);
        m_next_post = m_post_block;
        m_peak_left = m_peak_right = 0;
        if (first < m_stream_count) {
            const size_t n = static_cast<size_t>(m_stream_count - first);
            const size_t cap = m_recent.size();
            size_t at = (m_recent_pos + cap - n) % cap;
            for (size_t i = 0; i < n; ++i, at = (at + 1) % cap)
                m_pending.push_back(m_recent[at]);
            m_captured = static_cast<int64_t>(n);
            m_pending_end = m_stream_count;
            have_data = true;
        }
    }
    m_running = true;
    m_timer.start();
    if (have_data) {
        std::lock_guard lock(m_mutex);
        post_delivery();
    }
}

void TAudioRecord2::Stop()
{
    end_run(Hold::none);
}

void TAudioRecord2::Pause()
{
    end_run(Hold::pause);
}

void TAudioRecord2::Split()
{
    end_run(Hold::split);
}

int64_t TAudioRecord2::StreamPosition() const
{
    return m_stream_open ? position_now() : -1;
}

void TAudioRecord2::StopAt(int64_t position)
{
    end_run(Hold::none, position);
}

void TAudioRecord2::end_run(Hold hold, int64_t at)
{
    if (!m_running) {
        // Stop after a pause or split: the stream has nothing more to give.
        if (hold == Hold::none && m_hold != Hold::none) {
            m_hold = Hold::none;
            if (!m_draining)
                close_stream();
        }
        return;
    }
    m_running = false;
    m_timer.stop();
    int64_t end = position_now();
    if (at >= 0)
        end = std::min(end, at);
    {
        std::lock_guard lock(m_mutex);
        const int64_t frame = std::max(m_stream_channels, 1);
        end -= end % frame;
        end = std::max(end, m_run_start);
        // Captured past the moment of the call: not part of the run.
        const int64_t over = std::min<int64_t>(
            std::max<int64_t>(m_stream_count - end, 0),
            std::min<int64_t>(m_captured, static_cast<int64_t>(m_pending.size())));
        m_pending.resize(m_pending.size() - static_cast<size_t>(over));
        m_captured -= over;
        m_run_end = end;
        m_pending_end = std::min(m_pending_end, end);
    }
    m_hold = hold;
    m_split_at = end;
    if (!m_clock.isValid())
        m_clock.start();
    m_hold_until = m_clock.elapsed() + 4000;
    m_draining = true;
    m_drain_until = m_clock.elapsed() + 2500;
    m_drain_progress_at = m_clock.elapsed();
    m_drain_count = -1;
    check_drain();
    if (m_draining || m_hold == Hold::split)
        m_drain_timer.start();
}

bool TAudioRecord2::Drained()
{
    check_drain();
    return !m_draining;
}

bool TAudioRecord2::check_drain()
{
    if (m_draining) {
        bool complete = false;
        int64_t count = 0;
        {
            std::lock_guard lock(m_mutex);
            complete = m_stream_count >= m_run_end || m_stream_error != 0;
            count = m_stream_count;
        }
        const int64_t now = m_clock.elapsed();
        if (count != m_drain_count) {
            m_drain_count = count;
            m_drain_progress_at = now;
        }
        // A source that stalls is given up after ~2.5 s; one whose sound is
        // still coming in (a loaded server can lag further) gets up to 5 s.
        const bool given_up = now >= m_drain_until &&
                              (now - m_drain_progress_at >= 500 || now >= m_drain_until + 2500);
        if (complete || !m_stream_open || given_up) {
            // A stream that ends here still hands over its last data to the run.
            if (m_hold == Hold::none)
                close_stream();
            m_draining = false;
            std::lock_guard lock(m_mutex);
            m_accepting = false;
        }
    }
    if (!m_draining && m_hold == Hold::split && m_clock.elapsed() >= m_hold_until)
        close_stream();
    if (!m_draining && m_hold != Hold::split)
        m_drain_timer.stop();
    return !m_draining;
}

SampleArray TAudioRecord2::GetArray()
{
    const int64_t now = m_running ? position_now() : INT64_MAX;
    SampleArray out;
    std::lock_guard lock(m_mutex);
    // A stream that delivers ahead of its clock keeps the part past this
    // moment back: it belongs to whatever comes after the run's end.
    const int64_t ahead = std::max<int64_t>(m_pending_end - std::max(now, m_run_start), 0);
    if (ahead == 0 || !m_accepting) {
        out.swap(m_pending);
        return out;
    }
    const size_t keep = std::min(static_cast<size_t>(ahead), m_pending.size());
    out.assign(m_pending.begin(), m_pending.end() - static_cast<std::ptrdiff_t>(keep));
    m_pending.erase(m_pending.begin(), m_pending.end() - static_cast<std::ptrdiff_t>(keep));
    return out;
}

SampleArray TAudioRecord2::PeekArray(int count) const
{
    std::lock_guard lock(m_mutex);
    const size_t n = std::min(static_cast<size_t>(std::max(count, 0)), m_recent_fill);
    SampleArray out(n);
    const size_t cap = m_recent.size();
    const size_t first = (m_recent_pos + cap - n) % cap;
    const size_t head = std::min(n, cap - first);
    std::copy_n(m_recent.begin() + static_cast<std::ptrdiff_t>(first), head, out.begin());
    std::copy_n(m_recent.begin(), n - head, out.begin() + static_cast<std::ptrdiff_t>(head));
    return out;
}

int TAudioRecord2::RecordedSamples() const
{
    return clamp_count(CapturedSamples());
}

int64_t TAudioRecord2::CapturedSamples() const
{
    std::lock_guard lock(m_mutex);
    return m_captured;
}

int64_t TAudioRecord2::RunSamples() const
{
    if (!m_running) {
        std::lock_guard lock(m_mutex);
        return m_captured;
    }
    // By the clock, as the run's end will cut it: a source that hands over
    // its sound ahead of the clock (a monitor of a sink rendered ahead) must
    // not count sound that the end then leaves out.
    const int64_t now = position_now();
    std::lock_guard lock(m_mutex);
    return std::max<int64_t>(now - m_run_start, 0);
}

int TAudioRecord2::SamplePosition() const
{
    return RecordedSamples();
}

void TAudioRecord2::on_data(const int16_t *samples, size_t count)
{
    std::lock_guard lock(m_mutex);
    const int64_t base = m_stream_count;
    m_stream_count += static_cast<int64_t>(count);
    const int64_t lo = std::max(base, m_run_start);
    const int64_t hi = std::min(m_stream_count, m_run_end);
    bool accepted = false;
    if (m_accepting && hi > lo) {
        const int16_t *from = samples + (lo - base);
        const size_t n = static_cast<size_t>(hi - lo);
        m_pending.insert(m_pending.end(), from, from + n);
        m_captured += static_cast<int64_t>(n);
        m_pending_end = hi;
        accepted = true;
        // The run starts on a frame, so even offsets are the left channel.
        const size_t channels = static_cast<size_t>(m_stream_channels > 0 ? m_stream_channels : 1);
        size_t channel = 0; // counted, not divided: this runs for every sample
        for (size_t i = 0; i < n; ++i) {
            const int level = std::min(std::abs(static_cast<int>(from[i])), 32767);
            int &peak = channel == 0 ? m_peak_left : m_peak_right;
            peak = std::max(peak, level);
            if (++channel == channels)
                channel = 0;
        }
        if (channels < 2)
            m_peak_right = m_peak_left;
    }

    const size_t cap = m_recent.size();
    const size_t keep = std::min(count, cap);
    const int16_t *src = samples + (count - keep);
    size_t done = 0;
    while (done < keep) {
        const size_t chunk = std::min(keep - done, cap - m_recent_pos);
        std::copy_n(src + done, chunk,
                    m_recent.begin() + static_cast<std::ptrdiff_t>(m_recent_pos));
        m_recent_pos = (m_recent_pos + chunk) % cap;
        done += chunk;
    }
    m_recent_fill = std::min(cap, m_recent_fill + keep);
    // The user-interface thread is woken once a block is complete, not per
    // fragment; a run that ended is followed closely for its drain.
    if (accepted && (m_post_block == 0 || m_captured >= m_next_post || m_run_end != INT64_MAX)) {
        if (m_post_block > 0)
            m_next_post = (m_captured / m_post_block + 1) * m_post_block;
        post_delivery();
    }
}

void TAudioRecord2::on_error(int code, const QString &text)
{
    m_stream_error = code ? code : CaptureBackend::server_lost;
    m_thread_error = m_stream_error;
    m_thread_error_text = text;
    post_delivery();
}

void TAudioRecord2::post_delivery()
{
    if (m_notify_queued)
        return;
    m_notify_queued = true;
    QMetaObject::invokeMethod(
        this, [this] { deliver(); }, Qt::QueuedConnection);
}

void TAudioRecord2::deliver()
{
    int thread_error = 0;
    QString thread_error_text;
    {
        std::lock_guard lock(m_mutex);
        m_notify_queued = false;
        thread_error = m_thread_error;
        thread_error_text = m_thread_error_text;
        m_thread_error = 0;
    }
    if (m_draining)
        check_drain();
    if (!m_running)
        return;
    if (thread_error && m_error_code == 0) {
        m_error_code = thread_error;
        m_error_text = thread_error_text.isEmpty()
                           ? QStringLiteral("The recording stream of the sound server failed.")
                           : thread_error_text;
        m_error_event_owed = true;
    }
    // Every handler may Stop, Start or pump events; re-read the state each round.
    while (m_running && m_block_size > 0) {
        int64_t captured = 0;
        {
            std::lock_guard lock(m_mutex);
            captured = m_captured;
        }
        if (captured / m_block_size <= m_blocks_sent)
            break;
        ++m_blocks_sent;
        m_error_event_owed = false;
        emit OnEndArrayRecord(this, clamp_count(m_blocks_sent));
    }
    if (m_running && m_error_event_owed) {
        // The owner learns of the failure from the block event it checks ErrorCode in.
        m_error_event_owed = false;
        emit OnEndArrayRecord(this, clamp_count(++m_blocks_sent));
    }
    // A tick due soon runs now, in this wake-up, rather than in one of its own.
    if (m_running && m_timer.isActive() && m_timer.remainingTime() <= timer_interval_ms / 2) {
        m_timer.start();
        timer_tick();
    }
}

void TAudioRecord2::timer_tick()
{
    if (!m_running)
        return;
    int left = 0, right = 0, position = 0;
    {
        std::lock_guard lock(m_mutex);
        left = m_peak_left;
        right = m_peak_right;
        m_peak_left = m_peak_right = 0;
        position = clamp_count(m_captured);
    }
    emit OnTimer(this, position, left, right);
}
