#include "pulse/pulse_capture.h"

#include "pulse/pulse_devices.h"
#include "pulse/pulse_record_attr.h"

#include <pulse/pulseaudio.h>

#include <thread>

namespace
{

constexpr auto gather_nap = std::chrono::milliseconds(60);
// PipeWire starts a new record stream with a cycle that may not join the next
// one (a cycle of silence, or a cycle early, when the machine is busy). What the
// stream sends first for this long is left out; the clock is not moved, so a run
// still lasts as long as the time between the clicks and holds the sound this
// much later, which no one hears.
constexpr auto pipewire_settle = std::chrono::milliseconds(50);
// How far ahead a sink is rendered while its monitor is kept ready: a start
// then begins at most this late.
constexpr pa_usec_t standby_latency = 50 * PA_USEC_PER_MSEC;

QString prop(pa_proplist *list, const char *key)
{
    const char *v = list ? pa_proplist_gets(list, key) : nullptr;
    return v ? QString::fromUtf8(v) : QString();
}

struct Listing {
    PulseConnection *connection;
    std::vector<PulseCardInfo> cards;
    std::vector<PulseSourceInfo> sources;
    std::vector<PulseSinkInfo> sinks;
};

void on_card(pa_context *, const pa_card_info *i, int eol, void *userdata)
{
    auto *l = static_cast<Listing *>(userdata);
    if (eol || !i)
        return;
    l->cards.push_back(
        {i->index, QString::fromUtf8(i->name), prop(i->proplist, PA_PROP_DEVICE_DESCRIPTION)});
}

void on_source(pa_context *, const pa_source_info *i, int eol, void *userdata)
{
    auto *l = static_cast<Listing *>(userdata);
    if (eol || !i)
        return;
    PulseSourceInfo s;
    s.index = i->index;
    s.name = QString::fromUtf8(i->name);
    s.description = QString::fromUtf8(i->description ? i->description : "");
    s.card = i->card;
    s.monitor_of_sink = i->monitor_of_sink;
    if (i->active_port)
        s.active_port = QString::fromUtf8(i->active_port->name);
    for (uint32_t p = 0; p < i->n_ports; ++p)
        s.ports.push_back(
            {QString::fromUtf8(i->ports[p]->name), QString::fromUtf8(i->ports[p]->description)});
    l->sources.push_back(std::move(s));
}

void on_sink(pa_context *, const pa_sink_info *i, int eol, void *userdata)
{
    auto *l = static_cast<Listing *>(userdata);
    if (eol || !i)
        return;
    l->sinks.push_back({i->index, i->card});
}

struct SourceVolume {
    bool found = false;
    pa_cvolume volume{};
};

void on_source_volume(pa_context *, const pa_source_info *i, int eol, void *userdata)
{
    auto *v = static_cast<SourceVolume *>(userdata);
    if (eol || !i)
        return;
    v->found = true;
    v->volume = i->volume;
}

struct SourceFormat {
    bool found = false;
    QString name;
    QString description;
    pa_sample_spec spec{};
    pa_channel_map map{};
    bool monitor = false;
};

void on_source_format(pa_context *, const pa_source_info *i, int eol, void *userdata)
{
    auto *f = static_cast<SourceFormat *>(userdata);
    if (eol || !i)
        return;
    f->found = true;
    f->name = QString::fromUtf8(i->name);
    f->description = QString::fromUtf8(i->description ? i->description : i->name);
    f->spec = i->sample_spec;
    f->map = i->channel_map;
    f->monitor = i->monitor_of_sink != PA_INVALID_INDEX;
}

void on_server_name(pa_context *, const pa_server_info *i, void *userdata)
{
    if (i && i->server_name)
        *static_cast<QString *>(userdata) = QString::fromUtf8(i->server_name);
}

void on_success(pa_context *, int success, void *userdata)
{
    *static_cast<int *>(userdata) = success;
}

} // namespace

PulseCaptureBackend::PulseCaptureBackend(QString server)
    : m_server(server), m_connection(std::move(server), QStringLiteral("Velquor recorder"))
{
}

PulseCaptureBackend::~PulseCaptureBackend()
{
    PulseLock lock(m_connection);
    close_stream();
    close_standby();
}

std::vector<CaptureDeviceInfo> PulseCaptureBackend::devices()
{
    PulseLock lock(m_connection);
    if (!m_connection.ensure_connected())
        return {};
    Listing l{&m_connection, {}, {}, {}};
    pa_context *c = m_connection.context();
    const bool ok = m_connection.finish(pa_context_get_card_info_list(c, on_card, &l)) &&
                    m_connection.finish(pa_context_get_source_info_list(c, on_source, &l)) &&
                    m_connection.finish(pa_context_get_sink_info_list(c, on_sink, &l));
    if (!ok)
        return {};
    return build_capture_devices(std::move(l.cards), std::move(l.sources), l.sinks);
}

int PulseCaptureBackend::volume(const InputLineInfo &line)
{
    PulseLock lock(m_connection);
    if (line.source_name.isEmpty() || !m_connection.ensure_connected())
        return -1;
    SourceVolume v;
    const QByteArray name = line.source_name.toUtf8();
    if (!m_connection.finish(pa_context_get_source_info_by_name(
            m_connection.context(), name.constData(), on_source_volume, &v)) ||
        !v.found)
        return -1;
    return pulse_to_line_volume(pa_cvolume_max(&v.volume));
}

bool PulseCaptureBackend::set_volume(const InputLineInfo &line, int volume)
{
    PulseLock lock(m_connection);
    if (line.source_name.isEmpty() || !m_connection.ensure_connected())
        return false;
    SourceVolume v;
    const QByteArray name = line.source_name.toUtf8();
    pa_context *c = m_connection.context();
    if (!m_connection.finish(
            pa_context_get_source_info_by_name(c, name.constData(), on_source_volume, &v)) ||
        !v.found || !pa_cvolume_valid(&v.volume))
        return false;
    // Scaling keeps the balance between the channels.
    pa_cvolume_scale(&v.volume, line_to_pulse_volume(volume));
    int success = 0;
    return m_connection.finish(pa_context_set_source_volume_by_name(c, name.constData(), &v.volume,
                                                                    on_success, &success)) &&
           success;
}

bool PulseCaptureBackend::select_line(const InputLineInfo &line)
{
    if (line.port_name.isEmpty())
        return true;
    PulseLock lock(m_connection);
    if (!m_connection.ensure_connected())
        return false;
    const QByteArray name = line.source_name.toUtf8();
    const QByteArray port = line.port_name.toUtf8();
    int success = 0;
    return m_connection.finish(pa_context_set_source_port_by_name(
               m_connection.context(), name.constData(), port.constData(), on_success, &success)) &&
           success;
}

bool PulseCaptureBackend::start(const InputLineInfo &line, uint32_t rate, int channels,
                                DataCallback on_data, ErrorCallback on_error)
{
    PulseLock lock(m_connection);
    close_stream();
    m_start_error.clear();
    m_timing = false;
    if (!m_connection.ensure_connected()) {
        m_start_error = QStringLiteral("There is no sound server to record from.");
        return false;
    }
    pa_sample_spec spec{PA_SAMPLE_S16LE, rate, static_cast<uint8_t>(channels)};
    if (channels <= 0 || channels > static_cast<int>(PA_CHANNELS_MAX) ||
        !pa_sample_spec_valid(&spec))
        return false;
    if (!m_sources.application.isEmpty()) {
        // One application's playback alone: no stream of the line at all.
        m_rate = rate;
        m_on_data = std::move(on_data);
        m_on_error = std::move(on_error);
        m_device = m_sources.application;
        start_mixing(rate, channels);
        m_ready = std::chrono::steady_clock::now();
        m_timing = true;
        m_error_reported = false;
        return true;
    }
    // The source by its own name, so that the stream stays with it. The server's
    // name comes in the same round trip.
    SourceFormat source;
    QString server;
    const QByteArray wanted = line.source_name.isEmpty() ? QByteArrayLiteral("@DEFAULT_SOURCE@")
                                                         : line.source_name.toUtf8();
    pa_operation *server_info =
        pa_context_get_server_info(m_connection.context(), on_server_name, &server);
    const bool listed = m_connection.finish(pa_context_get_source_info_by_name(
        m_connection.context(), wanted.constData(), on_source_format, &source));
    m_connection.finish(server_info); // unknown: no PipeWire ways
    if (!listed || !source.found) {
        m_start_error = QStringLiteral("The recording device %1 is not available.")
                            .arg(line.name.isEmpty() ? line.source_name : line.name);
        return false;
    }
    m_device = line.name.isEmpty() ? source.description : line.name;
    pa_channel_map map;
    m_mix_from = 0;
    if (channels == 1 && source.spec.channels > 1 && pa_channel_map_valid(&source.map)) {
        // Servers differ in how they fold channels into one; averaging here
        // keeps the level of the sound.
        spec.channels = source.spec.channels;
        map = source.map;
        m_mix_from = source.spec.channels;
    } else {
        pa_channel_map_init_extend(&map, spec.channels, PA_CHANNEL_MAP_DEFAULT);
    }
    m_stream = pa_stream_new(m_connection.context(), "Velquor recording", &spec, &map);
    if (!m_stream)
        return false;
    m_frame_bytes = pa_frame_size(&spec);
    m_rate = rate;
    m_on_data = std::move(on_data);
    m_on_error = std::move(on_error);
    m_error_reported = true; // a stream that never opens is start()'s failure, not an error event
    pa_stream_set_state_callback(m_stream, on_state, this);
    pa_stream_set_read_callback(m_stream, on_read, this);
    pa_stream_set_moved_callback(m_stream, on_moved, this);

    // Small fragments: the tail that Stop collects is short and the level
    // display follows closely.
    const pa_buffer_attr attr = record_attr(20 * PA_USEC_PER_MSEC, spec);
    const QByteArray name = source.name.toUtf8();
    if (pa_stream_connect_record(
            m_stream, name.constData(), &attr,
            static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE)) < 0) {
        close_stream();
        return false;
    }
    if (!m_connection.wait_stream_ready(m_stream)) {
        m_start_error =
            QStringLiteral("The recording device %1 could not be opened.").arg(m_device);
        close_stream();
        return false;
    }
    if (!m_sources.mix_source.isEmpty() && !start_mixing(rate, channels)) {
        m_start_error =
            QStringLiteral("The recording device %1 is not available.").arg(m_sources.mix_source);
        stop_mixing();
        close_stream();
        return false;
    }
    const bool settle = !m_mixer && server.contains(QLatin1String("PipeWire"));
    m_settle_samples =
        settle ? static_cast<size_t>(rate * pipewire_settle.count() / 1000) * spec.channels : 0;
    m_ready = std::chrono::steady_clock::now();
    m_timing = true;
    m_error_reported = false;
    return true;
}

int64_t PulseCaptureBackend::frames_now() const
{
    if (!m_timing)
        return -1;
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::steady_clock::now() - m_ready)
                        .count();
    return us * static_cast<int64_t>(m_rate) / 1000000;
}

void PulseCaptureBackend::stop()
{
    PulseLock lock(m_connection);
    m_timing = false;
    if (!m_stream && !m_mixer)
        return;
    if (m_stream && pa_stream_get_state(m_stream) == PA_STREAM_READY) {
        // Whatever the server sent before this reply is queued locally once it comes.
        m_connection.finish(pa_stream_update_timing_info(m_stream, nullptr, nullptr), 1000);
        if (pa_stream_get_state(m_stream) == PA_STREAM_READY)
            read_available();
    }
    stop_mixing();
    close_stream();
    // One that failed (its device went, or the server restarted) is tried again.
    if (m_standby_wanted && !m_standby_needless &&
        (!m_standby || !PA_STREAM_IS_GOOD(pa_stream_get_state(m_standby))))
        open_standby();
}

void PulseCaptureBackend::keep_ready(const InputLineInfo &line)
{
    PulseLock lock(m_connection);
    const QByteArray wanted = line.source_name.isEmpty() ? QByteArrayLiteral("@DEFAULT_SOURCE@")
                                                         : line.source_name.toUtf8();
    if (m_standby_wanted && wanted == m_standby_source &&
        (m_standby_needless || (m_standby && PA_STREAM_IS_GOOD(pa_stream_get_state(m_standby)))))
        return;
    m_standby_source = wanted;
    m_standby_wanted = true;
    open_standby();
}

void PulseCaptureBackend::open_standby()
{
    close_standby();
    m_standby_needless = false;
    if (!m_connection.ensure_connected())
        return;
    QString server;
    SourceFormat source;
    pa_context *c = m_connection.context();
    if (!m_connection.finish(pa_context_get_server_info(c, on_server_name, &server)) ||
        !m_connection.finish(pa_context_get_source_info_by_name(c, m_standby_source.constData(),
                                                                on_source_format, &source)) ||
        !source.found)
        return; // asked again after the next stop
    // Known for good until another source is asked for: no round trips at every stop.
    m_standby_needless = server.contains(QLatin1String("PipeWire")) || !source.monitor;
    if (m_standby_needless)
        return;
    pa_sample_spec spec = source.spec;
    spec.format = PA_SAMPLE_S16LE;
    if (!pa_sample_spec_valid(&spec) || !pa_channel_map_valid(&source.map))
        return;
    m_standby = pa_stream_new(c, "Velquor standby", &spec, &source.map);
    if (!m_standby)
        return;
    const pa_buffer_attr attr = record_attr(standby_latency, spec);
    const QByteArray name = source.name.toUtf8();
    // Not waited for: the stream only has to exist by the time of a click.
    if (pa_stream_connect_record(m_standby, name.constData(), &attr,
                                 static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED |
                                                                PA_STREAM_ADJUST_LATENCY |
                                                                PA_STREAM_DONT_MOVE)) < 0)
        close_standby();
}

void PulseCaptureBackend::close_standby()
{
    if (!m_standby)
        return;
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(m_standby)))
        pa_stream_disconnect(m_standby);
    pa_stream_unref(m_standby);
    m_standby = nullptr;
}

void PulseCaptureBackend::close_stream()
{
    stop_mixing();
    if (m_stream) {
        pa_stream_set_state_callback(m_stream, nullptr, nullptr);
        pa_stream_set_read_callback(m_stream, nullptr, nullptr);
        pa_stream_set_moved_callback(m_stream, nullptr, nullptr);
        if (PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream)))
            pa_stream_disconnect(m_stream);
        pa_stream_unref(m_stream);
        m_stream = nullptr;
    }
    m_on_data = nullptr;
    m_on_error = nullptr;
}

void PulseCaptureBackend::on_state(pa_stream *s, void *userdata)
{
    auto *self = static_cast<PulseCaptureBackend *>(userdata);
    self->m_connection.signal();
    const auto state = pa_stream_get_state(s);
    if (state != PA_STREAM_FAILED && state != PA_STREAM_TERMINATED)
        return;
    pa_context *c = self->m_connection.context();
    if (c && pa_context_get_state(c) == PA_CONTEXT_READY) {
        // The server is there and took the stream away: its source is gone.
        self->report_error(
            QStringLiteral("The recording device %1 is no longer available.").arg(self->m_device),
            CaptureBackend::device_lost);
        return;
    }
    const int error = c ? pa_context_errno(c) : PA_ERR_CONNECTIONTERMINATED;
    self->report_error(QStringLiteral("The sound server went away (%1).")
                           .arg(QString::fromUtf8(pa_strerror(error))),
                       CaptureBackend::server_lost);
}

void PulseCaptureBackend::on_moved(pa_stream *, void *userdata)
{
    // A server that moves streams anyway would go on with another device's sound.
    auto *self = static_cast<PulseCaptureBackend *>(userdata);
    self->report_error(
        QStringLiteral("The recording device %1 is no longer available.").arg(self->m_device),
        CaptureBackend::device_lost);
}

void PulseCaptureBackend::on_read(pa_stream *, size_t, void *userdata)
{
    auto *self = static_cast<PulseCaptureBackend *>(userdata);
    self->read_available();
    // The server sends a fragment every 20 ms. A fragment that comes after a
    // quiet spell is followed by a nap, so that the next few are taken in one
    // wake-up; those already waiting come in back-to-back rounds, unhindered.
    // Only the thread's hand-over is put off, never the server's latency.
    const auto now = std::chrono::steady_clock::now();
    // Streams laid together are placed by when their data comes: no nap then.
    if (self->m_stream && !self->m_mixer && now - self->m_last_read > std::chrono::milliseconds(10))
        std::this_thread::sleep_for(gather_nap);
    self->m_last_read = std::chrono::steady_clock::now();
}

void PulseCaptureBackend::read_available()
{
    while (m_stream && pa_stream_readable_size(m_stream) > 0) {
        const void *data = nullptr;
        size_t bytes = 0;
        if (pa_stream_peek(m_stream, &data, &bytes) < 0) {
            report_error(QStringLiteral("Reading from the sound server failed."),
                         CaptureBackend::server_lost);
            return;
        }
        if (bytes == 0)
            return;
        const size_t whole = bytes - bytes % m_frame_bytes;
        size_t count = whole / sizeof(int16_t);
        const size_t skip = std::min(count, m_settle_samples);
        m_settle_samples -= skip;
        count -= skip;
        if (m_on_data && count > 0) {
            if (data) {
                deliver(static_cast<const int16_t *>(data) + skip, count);
            } else {
                // A hole: keep the time line with silence.
                m_silence.assign(count, 0);
                deliver(m_silence.data(), m_silence.size());
            }
        }
        pa_stream_drop(m_stream);
    }
}

void PulseCaptureBackend::deliver(const int16_t *samples, size_t count)
{
    if (m_mix_from <= 1) {
        hand_over(samples, count);
        return;
    }
    const size_t from = static_cast<size_t>(m_mix_from);
    m_mixed.resize(count / from);
    for (size_t f = 0; f < m_mixed.size(); ++f) {
        int sum = 0;
        for (size_t c = 0; c < from; ++c)
            sum += samples[f * from + c];
        m_mixed[f] = static_cast<int16_t>(sum / static_cast<int>(from));
    }
    hand_over(m_mixed.data(), m_mixed.size());
}

void PulseCaptureBackend::report_error(const QString &message, int code)
{
    if (m_error_reported || !m_on_error)
        return;
    m_error_reported = true;
    m_timing = false;
    m_on_error(code, message);
}
