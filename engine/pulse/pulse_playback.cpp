#include "pulse/pulse_playback.h"

#include <pulse/pulseaudio.h>

#include <algorithm>

namespace
{

// 700 ms at the server, asked for 300 ms at a time: each request, and each
// written block the server hands back, wakes the sound thread, so fewer and
// larger ones keep playback quiet; and a busy machine has time in hand. What
// is left over (the server takes half of it) is the device's own buffer,
// 50 ms: a stop or a seek drops the stream's buffer and is heard that soon,
// also where the device cannot take back what it has rendered (a monitor, a
// network sink). Output starts once a tenth of a second is there.
constexpr pa_usec_t server_buffer = 700 * PA_USEC_PER_MSEC;
constexpr pa_usec_t request_size = 300 * PA_USEC_PER_MSEC;
constexpr pa_usec_t start_threshold = 100 * PA_USEC_PER_MSEC;
constexpr qint64 timing_interval_ms = 2000;
// A stopped stream is kept, corked, this long for the Play that follows a
// pause or a seek: the sound goes on without a new stream's set-up.
constexpr pa_usec_t keep_stopped = 5 * PA_USEC_PER_SEC;

void unref(pa_operation *o)
{
    if (o)
        pa_operation_unref(o);
}

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
    cancel_close();
    const pa_sample_spec spec{PA_SAMPLE_S16LE, rate, static_cast<uint8_t>(channels)};
    if (channels <= 0 || channels > static_cast<int>(PA_CHANNELS_MAX) ||
        !pa_sample_spec_valid(&spec)) {
        close_stream();
        return false;
    }
    const bool reuse = m_stream && pa_stream_get_state(m_stream) == PA_STREAM_READY &&
                       pa_sample_spec_equal(&spec, &m_spec);
    m_error_reported = true; // until the stream is up, failure is start()'s answer
    m_end = m_drained = m_starving = false;
    m_written = m_played = 0;
    m_carry = 0;
    m_on_pull = std::move(on_pull);
    m_on_drained = std::move(on_drained);
    m_on_error = std::move(on_error);
    if (reuse) {
        // The stream stopped flushed and corked: what is heard next starts here.
        m_connection.finish(pa_stream_update_timing_info(m_stream, nullptr, nullptr));
        pa_usec_t t = 0;
        m_base_usec = pa_stream_get_time(m_stream, &t) == 0 ? t : 0;
        m_error_reported = false;
        fill();
        unref(pa_stream_cork(m_stream, 0, nullptr, nullptr));
        refresh_timing();
        return true;
    }
    // close_stream() forgets the owner's callbacks: keep them for the new stream.
    PullCallback pull = std::move(m_on_pull);
    DrainedCallback drained = std::move(m_on_drained);
    ErrorCallback error = std::move(m_on_error);
    close_stream();
    m_on_pull = std::move(pull);
    m_on_drained = std::move(drained);
    m_on_error = std::move(error);
    if (open_stream(spec))
        return true;
    close_stream();
    return false;
}

bool PulsePlaybackBackend::open_stream(const pa_sample_spec &spec)
{
    if (!m_connection.ensure_connected())
        return false;
    m_spec = spec;
    pa_channel_map map;
    pa_channel_map_init_extend(&map, m_spec.channels, PA_CHANNEL_MAP_DEFAULT);
    m_stream = pa_stream_new(m_connection.context(), "Velquor playback", &m_spec, &map);
    if (!m_stream)
        return false;
    m_base_usec = 0;
    pa_stream_set_state_callback(m_stream, on_state, this);
    pa_stream_set_write_callback(m_stream, on_write, this);
    // The clock starts when the sound does, and stops at an underrun: timing
    // taken before would keep the interpolation standing or running on.
    pa_stream_set_started_callback(m_stream, on_timing_turn, this);
    pa_stream_set_underflow_callback(m_stream, on_timing_turn, this);

    pa_buffer_attr attr;
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = static_cast<uint32_t>(pa_usec_to_bytes(server_buffer, &m_spec));
    attr.minreq = static_cast<uint32_t>(pa_usec_to_bytes(request_size, &m_spec));
    attr.prebuf = static_cast<uint32_t>(pa_usec_to_bytes(start_threshold, &m_spec));
    attr.fragsize = static_cast<uint32_t>(-1);
    // Timing is asked for every two seconds and interpolated in between,
    // rather than after every write as automatic updates do.
    const auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING);
    const QByteArray sink = m_sink.toUtf8();
    if (pa_stream_connect_playback(m_stream, m_sink.isEmpty() ? nullptr : sink.constData(), &attr,
                                   flags, nullptr, nullptr) < 0 ||
        !m_connection.wait_stream_ready(m_stream)) {
        close_stream();
        return false;
    }
    m_error_reported = false;
    refresh_timing();
    fill();
    return true;
}

void PulsePlaybackBackend::refresh_timing()
{
    unref(pa_stream_update_timing_info(m_stream, nullptr, nullptr));
    m_timing_clock.start();
}

void PulsePlaybackBackend::stop()
{
    PulseLock lock(m_connection);
    if (!m_stream)
        return;
    played_samples_locked();
    m_on_pull = nullptr;
    m_on_drained = nullptr;
    m_on_error = nullptr;
    if (m_drain) {
        pa_operation_cancel(m_drain);
        pa_operation_unref(m_drain);
        m_drain = nullptr;
    }
    if (pa_stream_get_state(m_stream) != PA_STREAM_READY) {
        close_stream();
        return;
    }
    // Silent at once, and what the server holds is gone; the stream waits a
    // while for the next Play.
    unref(pa_stream_cork(m_stream, 1, nullptr, nullptr));
    unref(pa_stream_flush(m_stream, nullptr, nullptr));
    m_close_timer = m_connection.timer(
        keep_stopped,
        [](pa_mainloop_api *, pa_time_event *, const struct timeval *, void *userdata) {
            static_cast<PulsePlaybackBackend *>(userdata)->close_stream();
        },
        this);
}

void PulsePlaybackBackend::cancel_close()
{
    if (m_close_timer) {
        m_connection.api()->time_free(m_close_timer);
        m_close_timer = nullptr;
    }
}

void PulsePlaybackBackend::more_data()
{
    PulseLock lock(m_connection);
    if (m_starving)
        fill();
}

int64_t PulsePlaybackBackend::played_samples()
{
    PulseLock lock(m_connection);
    return played_samples_locked();
}

int64_t PulsePlaybackBackend::played_samples_locked()
{
    if (!m_stream || !m_on_pull)
        return m_played;
    if (m_drained) {
        m_played = m_written;
        return m_played;
    }
    if (m_timing_clock.elapsed() > timing_interval_ms)
        refresh_timing();
    pa_usec_t t = 0;
    if (pa_stream_get_time(m_stream, &t) == 0 && t > m_base_usec) {
        const auto frames = static_cast<int64_t>((t - m_base_usec) * m_spec.rate / PA_USEC_PER_SEC);
        const int64_t samples = std::min(frames * m_spec.channels, m_written);
        m_played = std::max(m_played, samples);
    }
    return m_played;
}

void PulsePlaybackBackend::close_stream()
{
    cancel_close();
    if (m_drain) {
        pa_operation_cancel(m_drain);
        pa_operation_unref(m_drain);
        m_drain = nullptr;
    }
    if (m_stream) {
        pa_stream_set_state_callback(m_stream, nullptr, nullptr);
        pa_stream_set_write_callback(m_stream, nullptr, nullptr);
        pa_stream_set_started_callback(m_stream, nullptr, nullptr);
        pa_stream_set_underflow_callback(m_stream, nullptr, nullptr);
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
    m_starving = false;
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
            m_starving = true; // more_data() brings the rest
            return;
        }
        writable = pa_stream_writable_size(m_stream);
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

void PulsePlaybackBackend::on_timing_turn(pa_stream *, void *userdata)
{
    static_cast<PulsePlaybackBackend *>(userdata)->refresh_timing();
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
