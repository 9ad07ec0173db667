#include "pulse/pulse_device_watch.h"

#include "pulse/pulse_capture.h"

#include <pulse/pulseaudio.h>

namespace
{

void on_success(pa_context *, int success, void *userdata)
{
    *static_cast<int *>(userdata) = success;
}

void on_server_info(pa_context *, const pa_server_info *i, void *userdata)
{
    if (i && i->default_source_name)
        *static_cast<QString *>(userdata) = QString::fromUtf8(i->default_source_name);
}

} // namespace

PulseDeviceWatch::PulseDeviceWatch(QString server)
    : m_connection(std::move(server), QStringLiteral("Velquor device watch"))
{
}

PulseDeviceWatch::~PulseDeviceWatch()
{
    stop();
}

bool PulseDeviceWatch::start(std::function<void()> changed)
{
    PulseLock lock(m_connection);
    m_changed = std::move(changed);
    if (!m_connection.ensure_connected())
        return false;
    pa_context *c = m_connection.context();
    pa_context_set_subscribe_callback(
        c,
        [](pa_context *, pa_subscription_event_type_t, uint32_t, void *userdata) {
            auto *self = static_cast<PulseDeviceWatch *>(userdata);
            if (self->m_changed)
                self->m_changed();
        },
        this);
    int success = 0;
    const auto mask = static_cast<pa_subscription_mask_t>(
        PA_SUBSCRIPTION_MASK_CARD | PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SINK |
        PA_SUBSCRIPTION_MASK_SERVER | PA_SUBSCRIPTION_MASK_SINK_INPUT);
    return m_connection.finish(pa_context_subscribe(c, mask, on_success, &success)) && success;
}

void PulseDeviceWatch::stop()
{
    PulseLock lock(m_connection);
    m_changed = nullptr;
}

// ---- the capture backend's side of it ----

QString PulseCaptureBackend::default_source_name()
{
    PulseLock lock(m_connection);
    if (!m_connection.ensure_connected())
        return {};
    QString name;
    if (!m_connection.finish(
            pa_context_get_server_info(m_connection.context(), on_server_info, &name)))
        return {};
    return name;
}

void PulseCaptureBackend::watch_devices(std::function<void()> changed)
{
    if (!changed) {
        if (m_watch)
            m_watch->stop();
        return;
    }
    if (!m_watch)
        m_watch = std::make_unique<PulseDeviceWatch>(m_server);
    m_watch->start(std::move(changed));
}
