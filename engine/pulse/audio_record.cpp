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
    // At least a second, so any level display or tail view fits.
    return std::max<size_t>(65536, static_cast<size_t>(rate) * static_cast<size_t>(channels));
}

} // namespace

TAudioRecord2::TAudioRecord2(QObject *parent, std::unique_ptr<CaptureBackend> backend)
    : QObject(parent),
      m_backend(backend ? std::move(backend) : std::make_unique<PulseCaptureBackend>())
{
    m_recent.assign(recent_capacity(m_rate, m_channels), 0);
    m_timer.setInterval(timer_interval_ms);
    connect(&m_timer, &QTimer::timeout, this, &TAudioRecord2::timer_tick);
}

TAudioRecord2::~TAudioRecord2()
{
    if (m_watching)
        m_backend->watch_devices({});
    if (m_running)
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
        return;
    }
    if (const InputLineInfo *line = current_line()) {
        m_backend->select_line(*line);
        m_selected_line = *line;
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
    std::lock_guard lock(m_mutex);
    m_rate = sample_rate;
    m_channels = channels;
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

void TAudioRecord2::Start()
{
    if (m_running)
        Stop();
    m_error_code = 0;
    m_error_event_owed = false;
    m_blocks_sent = 0;
    uint64_t run = 0;
    {
        std::lock_guard lock(m_mutex);
        m_captured = 0;
        m_wake_block = m_block_size;
        m_woken_blocks = 0;
        m_peak_left = m_peak_right = 0;
        m_thread_error = 0;
        run = ++m_run;
    }
    const InputLineInfo line = m_selected_line.value_or(InputLineInfo{});
    const bool ok = m_backend->start(
        line, m_rate, m_channels, [this](const int16_t *s, size_t n) { on_data(s, n); },
        [this, run](int code, const QString &) {
            std::lock_guard lock(m_mutex);
            if (run == m_run)
                on_error(code);
        });
    if (!ok) {
        m_error_code = 1;
        return;
    }
    m_running = true;
    m_timer.start();
}

void TAudioRecord2::Stop()
{
    if (!m_running)
        return;
    // The backend hands over what the server still holds before it returns.
    m_backend->stop();
    m_running = false;
    m_timer.stop();
    std::lock_guard lock(m_mutex);
    ++m_run;
    m_thread_error = 0;
}

SampleArray TAudioRecord2::GetArray()
{
    SampleArray out;
    std::lock_guard lock(m_mutex);
    out.swap(m_pending);
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

int TAudioRecord2::SamplePosition() const
{
    return RecordedSamples();
}

void TAudioRecord2::on_data(const int16_t *samples, size_t count)
{
    std::lock_guard lock(m_mutex);
    m_pending.insert(m_pending.end(), samples, samples + count);
    m_captured += static_cast<int64_t>(count);

    const size_t channels = static_cast<size_t>(m_channels);
    for (size_t i = 0; i < count; ++i) {
        const int level = std::min(std::abs(static_cast<int>(samples[i])), 32767);
        int &peak = (channels < 2 || i % channels == 0) ? m_peak_left : m_peak_right;
        peak = std::max(peak, level);
    }
    if (channels < 2)
        m_peak_right = m_peak_left;

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
    if (m_wake_block <= 0 || m_captured / m_wake_block > m_woken_blocks) {
        m_woken_blocks = m_wake_block > 0 ? m_captured / m_wake_block : 0;
        post_delivery();
    }
}

void TAudioRecord2::on_error(int code)
{
    m_thread_error = code ? code : 2;
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
    {
        std::lock_guard lock(m_mutex);
        m_notify_queued = false;
        thread_error = m_thread_error;
        m_thread_error = 0;
    }
    if (!m_running)
        return;
    if (thread_error && m_error_code == 0) {
        m_error_code = 2;
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
