#include "pulse/pulse_playback.h"

#include <pulse/pulseaudio.h>

#include <algorithm>

namespace
{

constexpr pa_usec_t target_latency = 200 * PA_USEC_PER_MSEC;
constexpr pa_usec_t retry_interval = 10 * PA_USEC_PER_MSEC;

} // namespace

PulsePlaybackBackend::PulsePlaybackBackend(QString server, QString sink)
    : m_connection(std::move(server), QStringLiteral("Velquor player")), m_sink(std::move(sink))
{
}

PulsePlaybackBackend::~PulsePlaybackBackend()
{
    PulseLock lock(m_connection);
    close_stream();
}

bool PulsePlaybackBackend::start(uint32_t rate, int channels, PullCallback on_pull,
                                 DrainedCallback on_drained, ErrorCallback on_error)
{
    PulseLock lock(m_connection);
    close_stream();
    if (!m_connection.ensure_connected())
        return false;
    m_spec = pa_sample_spec{PA_SAMPLE_S16LE, rate, static_cast<uint8_t>(channels)};
    if (channels <= 0 || channels > static_cast<int>(PA_CHANNELS_MAX) ||
        !pa_sample_spec_valid(&m_spec))
        return false;
    pa_channel_map map;
    pa_channel_map_init_extend(&map, m_spec.channels, PA_CHANNEL_MAP_DEFAULT);
    m_stream = pa_stream_new(m_connection.context(), "Velquor playback", &m_spec, &map);
    if (!m_stream)
        return false;
    m_on_pull = std::move(on_pull);
    m_on_drained = std::move(on_drained);
    m_on_error = std::move(on_error);
    m_error_reported = true; // until the stream is up, failure is start()'s answer
    m_end = m_drained = false;
    m_written = m_played = 0;
    m_carry = 0;
    pa_stream_set_state_callback(m_stream, on_state, this);
    pa_stream_set_write_callback(m_stream, on_write, this);

    pa_buffer_attr attr;
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = static_cast<uint32_t>(pa_usec_to_bytes(target_latency, &m_spec));
    attr.prebuf = attr.minreq = attr.fragsize = static_cast<uint32_t>(-1);
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
    const QByteArray sink = m_sink.toUtf8();
    if (pa_stream_connect_playback(m_stream, m_sink.isEmpty() ? nullptr : sink.constData(), &attr,
                                   flags, nullptr, nullptr) < 0) {
        close_stream();
        return false;
    }
    if (!m_connection.wait_stream_ready(m_stream)) {
        close_stream();
        return false;
    }
    m_error_reported = false;
    fill();
    return true;
}

void PulsePlaybackBackend::stop()
{
    PulseLock lock(m_connection);
    if (m_stream) {
        played_samples_locked();
        close_stream();
    }
}

int64_t PulsePlaybackBackend::played_samples()
{
    PulseLock lock(m_connection);
    return played_samples_locked();
}

int64_t PulsePlaybackBackend::played_samples_locked()
{
    if (!m_stream)
        return m_played;
    if (m_drained) {
        m_played = m_written;
        return m_played;
    }
    pa_usec_t t = 0;
    if (pa_stream_get_time(m_stream, &t) == 0) {
        const int64_t frames = static_cast<int64_t>(t * m_spec.rate / PA_USEC_PER_SEC);
        const int64_t samples = std::min(frames * m_spec.channels, m_written);
        m_played = std::max(m_played, samples);
    }
    return m_played;
}

void PulsePlaybackBackend::close_stream()
{
    if (m_retry) {
        m_connection.api()->time_free(m_retry);
        m_retry = nullptr;
    }
    if (m_drain) {
        pa_operation_cancel(m_drain);
        pa_operation_unref(m_drain);
        m_drain = nullptr;
    }
    if (m_stream) {
        pa_stream_set_state_callback(m_stream, nullptr, nullptr);
        pa_stream_set_write_callback(m_stream, nullptr, nullptr);
        if (PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream)))
            pa_stream_disconnect(m_stream);
        pa_stream_unref(m_stream);
        m_stream = nullptr;
    }
    m_on_pull = nullptr;
    m_on_drained = nullptr;
    m_on_error = nullptr;
}

void PulsePlaybackBackend::fill()
{
    if (!m_stream || m_end || pa_stream_get_state(m_stream) != PA_STREAM_READY || !m_on_pull)
        return;
    const size_t channels = m_spec.channels;
    const size_t frame_bytes = pa_frame_size(&m_spec);
    size_t writable = pa_stream_writable_size(m_stream);
    while (writable >= frame_bytes && writable != static_cast<size_t>(-1)) {
        const size_t want = writable / frame_bytes * channels;
        m_buffer.resize(m_carry + want);
        bool end = false;
        const size_t got = std::min(want, m_on_pull(m_buffer.data() + m_carry, want, end));
        const size_t total = m_carry + got;
        const size_t whole = total - total % channels;
        if (whole > 0) {
            if (pa_stream_write(m_stream, m_buffer.data(), whole * sizeof(int16_t), nullptr, 0,
                                PA_SEEK_RELATIVE) < 0) {
                report_error(QStringLiteral("Writing to the sound server failed."));
                return;
            }
            m_written += static_cast<int64_t>(whole);
        }
        // Arrays need not end on a frame: keep the odd samples for the next write.
        m_carry = total - whole;
        std::copy_n(m_buffer.begin() + static_cast<std::ptrdiff_t>(whole), m_carry,
                    m_buffer.begin());
        if (end) {
            m_end = true;
            // Draining also starts a stream that never reached its start threshold.
            m_drain = pa_stream_drain(m_stream, on_drain_done, this);
            return;
        }
        if (got < want) {
            arm_retry();
            return;
        }
        writable = pa_stream_writable_size(m_stream);
    }
}

void PulsePlaybackBackend::arm_retry()
{
    struct timeval tv;
    pa_gettimeofday(&tv);
    pa_timeval_add(&tv, retry_interval);
    pa_mainloop_api *api = m_connection.api();
    if (!m_retry) {
        m_retry = api->time_new(
            api, &tv,
            [](pa_mainloop_api *, pa_time_event *, const struct timeval *, void *userdata) {
                static_cast<PulsePlaybackBackend *>(userdata)->fill();
            },
            this);
    } else {
        api->time_restart(m_retry, &tv);
    }
}

void PulsePlaybackBackend::on_state(pa_stream *s, void *userdata)
{
    auto *self = static_cast<PulsePlaybackBackend *>(userdata);
    self->m_connection.signal();
    const auto state = pa_stream_get_state(s);
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED)
        self->report_error(QStringLiteral("The playback stream of the sound server failed."));
}

void PulsePlaybackBackend::on_write(pa_stream *, size_t, void *userdata)
{
    static_cast<PulsePlaybackBackend *>(userdata)->fill();
}

void PulsePlaybackBackend::on_drain_done(pa_stream *, int success, void *userdata)
{
    auto *self = static_cast<PulsePlaybackBackend *>(userdata);
    if (self->m_drain) {
        pa_operation_unref(self->m_drain);
        self->m_drain = nullptr;
    }
    if (!success) {
        self->report_error(QStringLiteral("The sound server could not play out the end."));
        return;
    }
    self->m_drained = true;
    self->m_played = self->m_written;
    if (self->m_on_drained)
        self->m_on_drained();
}

void PulsePlaybackBackend::report_error(const QString &message)
{
    if (m_error_reported || !m_on_error)
        return;
    m_error_reported = true;
    m_on_error(2, message);
}
