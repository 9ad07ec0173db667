#include "pulse/pulse_connection.h"

#include <pulse/pulseaudio.h>

namespace
{

void on_context_state(pa_context *, void *userdata)
{
    static_cast<PulseConnection *>(userdata)->signal();
}

void on_operation_state(pa_operation *, void *userdata)
{
    static_cast<PulseConnection *>(userdata)->signal();
}

struct Deadline {
    PulseConnection *connection;
    bool passed = false;
};

void on_deadline(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *userdata)
{
    auto *d = static_cast<Deadline *>(userdata);
    d->passed = true;
    d->connection->signal();
}

} // namespace

PulseConnection::PulseConnection(QString server, QString client_name)
    : m_server(std::move(server)), m_client_name(std::move(client_name))
{
    m_loop = pa_threaded_mainloop_new();
    if (m_loop && pa_threaded_mainloop_start(m_loop) < 0) {
        pa_threaded_mainloop_free(m_loop);
        m_loop = nullptr;
    }
}

PulseConnection::~PulseConnection()
{
    if (!m_loop)
        return;
    lock();
    drop_context();
    unlock();
    pa_threaded_mainloop_stop(m_loop);
    pa_threaded_mainloop_free(m_loop);
}

void PulseConnection::lock()
{
    if (m_loop)
        pa_threaded_mainloop_lock(m_loop);
}

void PulseConnection::unlock()
{
    if (m_loop)
        pa_threaded_mainloop_unlock(m_loop);
}

void PulseConnection::signal()
{
    if (m_loop)
        pa_threaded_mainloop_signal(m_loop, 0);
}

pa_mainloop_api *PulseConnection::api() const
{
    return m_loop ? pa_threaded_mainloop_get_api(m_loop) : nullptr;
}

bool PulseConnection::in_loop_thread() const
{
    return m_loop && pa_threaded_mainloop_in_thread(m_loop);
}

bool PulseConnection::connected() const
{
    return m_context && pa_context_get_state(m_context) == PA_CONTEXT_READY;
}

void PulseConnection::drop_context()
{
    if (!m_context)
        return;
    pa_context_set_state_callback(m_context, nullptr, nullptr);
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    m_context = nullptr;
}

namespace
{
struct timeval from_now(pa_usec_t after)
{
    struct timeval tv;
    pa_gettimeofday(&tv);
    pa_timeval_add(&tv, after);
    return tv;
}
} // namespace

pa_time_event *PulseConnection::timer(pa_usec_t after, pa_time_event_cb_t callback,
                                      void *userdata) const
{
    const struct timeval tv = from_now(after);
    pa_mainloop_api *a = api();
    return a->time_new(a, &tv, callback, userdata);
}

void PulseConnection::restart_timer(pa_time_event *event, pa_usec_t after) const
{
    const struct timeval tv = from_now(after);
    api()->time_restart(event, &tv);
}

bool PulseConnection::wait(const std::function<bool()> &done, int timeout_ms)
{
    if (!m_loop)
        return done();
    if (done())
        return true;
    Deadline deadline{this};
    pa_time_event *ev =
        timer(static_cast<pa_usec_t>(timeout_ms) * PA_USEC_PER_MSEC, on_deadline, &deadline);
    while (!done() && !deadline.passed)
        pa_threaded_mainloop_wait(m_loop);
    api()->time_free(ev);
    return done();
}

bool PulseConnection::ensure_connected(int timeout_ms)
{
    if (!m_loop)
        return false;
    if (connected())
        return true;
    drop_context();
    // Mixers, the desktop's indicators and Velquor's own lists know its
    // streams by these (a name given here would take the place of the first).
    pa_proplist *props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Velquor");
    pa_proplist_sets(props, PA_PROP_APPLICATION_ID, velquor_application_id);
    pa_proplist_sets(props, PA_PROP_APPLICATION_ICON_NAME, "velquor");
    const QByteArray role = m_client_name.toUtf8();
    pa_proplist_sets(props, "application.velquor.role", role.constData());
    m_context = pa_context_new_with_proplist(api(), nullptr, props);
    pa_proplist_free(props);
    if (!m_context)
        return false;
    pa_context_set_state_callback(m_context, on_context_state, this);
    const QByteArray server = m_server.toUtf8();
    if (pa_context_connect(m_context, m_server.isEmpty() ? nullptr : server.constData(),
                           PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        drop_context();
        return false;
    }
    wait([this] { return !PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context)) || connected(); },
         timeout_ms);
    if (!connected()) {
        drop_context();
        return false;
    }
    return true;
}

bool PulseConnection::finish(pa_operation *op, int timeout_ms)
{
    if (!op)
        return false;
    pa_operation_set_state_callback(op, on_operation_state, this);
    const bool done =
        wait([&] { return pa_operation_get_state(op) != PA_OPERATION_RUNNING || !connected(); },
             timeout_ms);
    const bool ok = done && pa_operation_get_state(op) == PA_OPERATION_DONE;
    if (pa_operation_get_state(op) == PA_OPERATION_RUNNING)
        pa_operation_cancel(op);
    pa_operation_set_state_callback(op, nullptr, nullptr);
    pa_operation_unref(op);
    return ok;
}

bool PulseConnection::wait_stream_ready(pa_stream *stream)
{
    wait([stream] {
        const auto state = pa_stream_get_state(stream);
        return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
    });
    return pa_stream_get_state(stream) == PA_STREAM_READY;
}
