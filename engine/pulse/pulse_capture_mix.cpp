// Recording more than one stream at a time: the line with a second source
// mixed in, or one application's playback alone (each of its streams heard
// through the monitor of that stream only). The streams meet in a
// StreamMixer; everything here runs on the libpulse loop thread or under its
// lock.
#include "pulse/pulse_capture.h"

#include "pulse/pulse_record_attr.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <unistd.h>

namespace
{

constexpr pa_usec_t leg_fragment = 20 * PA_USEC_PER_MSEC;
constexpr pa_usec_t mix_tick = 100 * PA_USEC_PER_MSEC;

int64_t now_ns()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QString prop(const pa_proplist *list, const char *key)
{
    const char *v = list ? pa_proplist_gets(list, key) : nullptr;
    return v ? QString::fromUtf8(v) : QString();
}

bool ours(const pa_proplist *list)
{
    return prop(list, PA_PROP_APPLICATION_ID) == QLatin1String(velquor_application_id) ||
           prop(list, PA_PROP_APPLICATION_PROCESS_ID) == QString::number(getpid());
}

struct LegSink {
    PulseCaptureBackend *backend;
    uint32_t sink_input;
};

} // namespace

void PulseCaptureBackend::set_sources(const CaptureSources &sources)
{
    PulseLock lock(m_connection);
    m_sources = sources;
}

std::vector<QString> PulseCaptureBackend::playing_applications()
{
    PulseLock lock(m_connection);
    if (!m_connection.ensure_connected())
        return {};
    std::vector<QString> names;
    m_connection.finish(pa_context_get_sink_input_info_list(
        m_connection.context(),
        [](pa_context *, const pa_sink_input_info *i, int eol, void *userdata) {
            if (eol || !i || ours(i->proplist))
                return;
            auto *list = static_cast<std::vector<QString> *>(userdata);
            const QString name = prop(i->proplist, PA_PROP_APPLICATION_NAME);
            if (!name.isEmpty() && std::find(list->begin(), list->end(), name) == list->end())
                list->push_back(name);
        },
        &names));
    std::sort(names.begin(), names.end());
    return names;
}

bool PulseCaptureBackend::start_mixing(uint32_t rate, int channels)
{
    m_mix_rate = rate;
    m_mix_channels = channels;
    m_mixer = std::make_unique<StreamMixer>(rate, channels, now_ns());
    if (!m_sources.application.isEmpty()) {
        // The clock makes the timeline: silence while the application is quiet.
        watch_application();
        m_mix_tick = m_connection.timer(
            mix_tick,
            [](pa_mainloop_api *, pa_time_event *e, const struct timeval *, void *userdata) {
                auto *self = static_cast<PulseCaptureBackend *>(userdata);
                self->mix_now(false);
                self->m_connection.restart_timer(e, mix_tick);
            },
            this);
        return true;
    }
    m_main_leg = m_mixer->add(1.0f, true);
    const QByteArray source = m_sources.mix_source.toUtf8();
    return open_leg(source, PA_INVALID_INDEX,
                    static_cast<float>(std::clamp(m_sources.mix_level, 0, 100)) / 100.0f,
                    QString());
}

bool PulseCaptureBackend::open_leg(const QByteArray &source, uint32_t sink_input, float gain,
                                   const QString &device)
{
    pa_context *c = m_connection.context();
    const pa_sample_spec spec{PA_SAMPLE_S16LE, m_mix_rate, static_cast<uint8_t>(m_mix_channels)};
    pa_channel_map map;
    pa_channel_map_init_extend(&map, spec.channels, PA_CHANNEL_MAP_DEFAULT);
    pa_proplist *props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "production");
    pa_stream *s = pa_stream_new_with_proplist(c, "Velquor recording", &spec, &map, props);
    pa_proplist_free(props);
    if (!s)
        return false;
    auto leg = std::make_unique<Leg>();
    leg->stream = s;
    leg->sink_input = sink_input;
    leg->device = device.isEmpty() ? QString::fromUtf8(source) : device;
    leg->owner = this;
    leg->mixer_id = m_mixer->add(gain);
    pa_stream_set_read_callback(s, on_leg_read, leg.get());
    pa_stream_set_state_callback(s, on_leg_state, leg.get());
    if (sink_input != PA_INVALID_INDEX)
        pa_stream_set_monitor_stream(s, sink_input);
    const pa_buffer_attr attr = record_attr(leg_fragment, spec);
    if (pa_stream_connect_record(
            s, source.constData(), &attr,
            static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE)) < 0) {
        close_leg(*leg);
        return false;
    }
    m_legs.push_back(std::move(leg));
    // The second source must be there from the start; an application's
    // streams come and go as they like.
    return sink_input != PA_INVALID_INDEX || m_connection.wait_stream_ready(s);
}

void PulseCaptureBackend::close_leg(Leg &leg)
{
    if (m_mixer && leg.mixer_id)
        m_mixer->end(leg.mixer_id);
    if (!leg.stream)
        return;
    pa_stream_set_read_callback(leg.stream, nullptr, nullptr);
    pa_stream_set_state_callback(leg.stream, nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(leg.stream)))
        pa_stream_disconnect(leg.stream);
    pa_stream_unref(leg.stream);
    leg.stream = nullptr;
}

void PulseCaptureBackend::stop_mixing()
{
    if (!m_mixer)
        return;
    for (auto &leg : m_legs)
        if (leg->stream && pa_stream_get_state(leg->stream) == PA_STREAM_READY)
            on_leg_read(leg->stream, 0, leg.get());
    mix_now(true);
    for (auto &leg : m_legs)
        close_leg(*leg);
    m_legs.clear();
    if (m_mix_tick) {
        m_connection.api()->time_free(m_mix_tick);
        m_mix_tick = nullptr;
    }
    if (pa_context *c = m_connection.context()) {
        pa_context_set_subscribe_callback(c, nullptr, nullptr);
        if (pa_operation *o = pa_context_subscribe(c, PA_SUBSCRIPTION_MASK_NULL, nullptr, nullptr))
            pa_operation_unref(o);
    }
    m_mixer.reset();
    m_main_leg = 0;
}

void PulseCaptureBackend::hand_over(const int16_t *samples, size_t count)
{
    if (!m_mixer) {
        m_on_data(samples, count);
        return;
    }
    m_mixer->push(m_main_leg, now_ns(), samples, count);
    mix_now(false);
}

void PulseCaptureBackend::mix_now(bool final)
{
    if (!m_mixer)
        return;
    m_mix_out.clear();
    m_mixer->mix(now_ns(), m_mix_out, final);
    if (!m_mix_out.empty() && m_on_data)
        m_on_data(m_mix_out.data(), m_mix_out.size());
}

void PulseCaptureBackend::on_leg_read(pa_stream *s, size_t, void *userdata)
{
    auto *leg = static_cast<Leg *>(userdata);
    PulseCaptureBackend *self = leg->owner;
    while (self->m_mixer && pa_stream_readable_size(s) > 0) {
        const void *data = nullptr;
        size_t bytes = 0;
        if (pa_stream_peek(s, &data, &bytes) < 0 || bytes == 0)
            return;
        const size_t count = bytes / sizeof(int16_t);
        if (data) {
            self->m_mixer->push(leg->mixer_id, now_ns(), static_cast<const int16_t *>(data), count);
        } else {
            self->m_silence.assign(count, 0);
            self->m_mixer->push(leg->mixer_id, now_ns(), self->m_silence.data(), count);
        }
        pa_stream_drop(s);
    }
}

void PulseCaptureBackend::on_leg_state(pa_stream *s, void *userdata)
{
    auto *leg = static_cast<Leg *>(userdata);
    PulseCaptureBackend *self = leg->owner;
    self->m_connection.signal();
    const auto state = pa_stream_get_state(s);
    if (state != PA_STREAM_FAILED && state != PA_STREAM_TERMINATED)
        return;
    if (leg->sink_input == PA_INVALID_INDEX) {
        // The second source went: the recording ends as for the line's own.
        self->report_error(
            QStringLiteral("The recording device %1 is no longer available.").arg(leg->device),
            CaptureBackend::device_lost);
        return;
    }
    self->close_leg(*leg); // the application's stream ended
}

void PulseCaptureBackend::watch_application()
{
    pa_context *c = m_connection.context();
    pa_context_set_subscribe_callback(c, on_sink_input_event, this);
    if (pa_operation *o =
            pa_context_subscribe(c, PA_SUBSCRIPTION_MASK_SINK_INPUT, nullptr, nullptr))
        pa_operation_unref(o);
    if (pa_operation *o = pa_context_get_sink_input_info_list(c, on_application_stream, this))
        pa_operation_unref(o);
}

void PulseCaptureBackend::on_sink_input_event(pa_context *c, pa_subscription_event_type_t type,
                                              uint32_t index, void *userdata)
{
    auto *self = static_cast<PulseCaptureBackend *>(userdata);
    if (!self->m_mixer)
        return;
    const auto what = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
    if (what == PA_SUBSCRIPTION_EVENT_REMOVE) {
        for (auto &leg : self->m_legs)
            if (leg->sink_input == index)
                self->close_leg(*leg);
        return;
    }
    if (pa_operation *o = pa_context_get_sink_input_info(c, index, on_application_stream, self))
        pa_operation_unref(o);
}

void PulseCaptureBackend::on_application_stream(pa_context *c, const pa_sink_input_info *i, int eol,
                                                void *userdata)
{
    auto *self = static_cast<PulseCaptureBackend *>(userdata);
    if (eol || !i || !self->m_mixer || ours(i->proplist) ||
        prop(i->proplist, PA_PROP_APPLICATION_NAME) != self->m_sources.application)
        return;
    // Streams that ended leave their places.
    std::erase_if(self->m_legs, [](const auto &leg) { return !leg->stream; });
    for (const auto &leg : self->m_legs)
        if (leg->sink_input == i->index)
            return;
    // Heard where it plays: through the monitor of its sink, that stream alone.
    auto *wanted = new LegSink{self, i->index};
    pa_operation *o = pa_context_get_sink_info_by_index(
        c, i->sink,
        [](pa_context *, const pa_sink_info *sink, int eol, void *userdata) {
            auto *w = static_cast<LegSink *>(userdata);
            if (eol) {
                delete w;
                return;
            }
            if (sink && sink->monitor_source_name && w->backend->m_mixer)
                w->backend->open_leg(sink->monitor_source_name, w->sink_input, 1.0f, QString());
        },
        wanted);
    if (o)
        pa_operation_unref(o);
    else
        delete wanted;
}
