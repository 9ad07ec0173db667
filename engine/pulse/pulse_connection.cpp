#include "pulse/pulse_connection.h"

#include <pulse/pulseaudio.h>

#include <poll.h>
#include <pthread.h>
#include <signal.h>

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

PulseConnection::PulseConnection(QString server, QString client_name, Loop loop)
    : m_server(std::move(server)), m_client_name(std::move(client_name))
{
    if (loop == Loop::threaded) {
        m_threaded = pa_threaded_mainloop_new();
        if (m_threaded && pa_threaded_mainloop_start(m_threaded) < 0) {
            pa_threaded_mainloop_free(m_threaded);
            m_threaded = nullptr;
        }
        return;
    }
    m_loop = pa_mainloop_new();
    if (!m_loop)
        return;
    pa_mainloop_set_poll_func(m_loop, poll_func, this);
    m_thread = std::thread([this] { run(); });
}

PulseConnection::~PulseConnection()
{
    if (m_threaded) {
        lock();
        drop_context();
        unlock();
        pa_threaded_mainloop_stop(m_threaded);
        pa_threaded_mainloop_free(m_threaded);
        return;
    }
    if (!m_loop)
        return;
    lock();
    drop_context();
    m_quit = true;
    pa_mainloop_quit(m_loop, 0);
    unlock();
    {
        std::lock_guard nap(m_nap_mutex);
        m_nap.notify_all();
    }
    m_thread.join();
    pa_mainloop_free(m_loop);
}

void PulseConnection::run()
{
    // Signals belong to the program's own threads, as on libpulse's loop thread.
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
    std::lock_guard lock(m_mutex);
    while (!m_quit && pa_mainloop_iterate(m_loop, 1, nullptr) >= 0) {
    }
}

int PulseConnection::poll_func(struct pollfd *fds, unsigned long count, int timeout, void *userdata)
{
    auto *self = static_cast<PulseConnection *>(userdata);
    self->m_mutex.unlock();
    // What is pending is taken at once (a socket gives one packet a round);
    // only a wait for new input is put off.
    int ready = ::poll(fds, count, 0);
    if (ready == 0 && timeout != 0) {
        self->gather();
        ready = ::poll(fds, count, timeout);
        self->m_batch_start = std::chrono::steady_clock::now();
    }
    self->m_mutex.lock();
    return ready;
}

void PulseConnection::gather()
{
    const int ms = m_gather_ms;
    if (ms <= 0 || m_waiters > 0)
        return;
    std::unique_lock nap(m_nap_mutex);
    m_nap.wait_until(nap, m_batch_start + std::chrono::milliseconds(ms),
                     [this] { return m_waiters > 0 || m_quit || m_gather_ms <= 0; });
}

void PulseConnection::set_gather_ms(int ms)
{
    std::lock_guard nap(m_nap_mutex);
    m_gather_ms = ms;
    m_nap.notify_all();
}

void PulseConnection::lock()
{
    if (m_threaded)
        pa_threaded_mainloop_lock(m_threaded);
    else if (m_loop)
        m_mutex.lock();
}

void PulseConnection::unlock()
{
    if (m_threaded)
        pa_threaded_mainloop_unlock(m_threaded);
    else if (m_loop)
        m_mutex.unlock();
}

void PulseConnection::signal()
{
    if (m_threaded)
        pa_threaded_mainloop_signal(m_threaded, 0);
    else
        m_signal.notify_all();
}

pa_mainloop_api *PulseConnection::api() const
{
    if (m_threaded)
        return pa_threaded_mainloop_get_api(m_threaded);
    return m_loop ? pa_mainloop_get_api(m_loop) : nullptr;
}

bool PulseConnection::in_loop_thread() const
{
    if (m_threaded)
        return pa_threaded_mainloop_in_thread(m_threaded);
    return m_loop && std::this_thread::get_id() == m_thread.get_id();
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

bool PulseConnection::wait(const std::function<bool()> &done, int timeout_ms)
{
    if (!m_threaded && !m_loop)
        return done();
    if (done())
        return true;
    Deadline deadline{this};
    struct timeval tv;
    pa_gettimeofday(&tv);
    pa_timeval_add(&tv, static_cast<pa_usec_t>(timeout_ms) * PA_USEC_PER_MSEC);
    pa_mainloop_api *a = api();
    pa_time_event *ev = a->time_new(a, &tv, on_deadline, &deadline);
    {
        std::lock_guard nap(m_nap_mutex);
        ++m_waiters;
        m_nap.notify_all(); // the reply is not held back for company
    }
    while (!done() && !deadline.passed) {
        if (m_threaded)
            pa_threaded_mainloop_wait(m_threaded);
        else
            m_signal.wait(m_mutex);
    }
    --m_waiters;
    a->time_free(ev);
    return done();
}

bool PulseConnection::ensure_connected(int timeout_ms)
{
    if (!m_threaded && !m_loop)
        return false;
    if (connected())
        return true;
    drop_context();
    const QByteArray name = m_client_name.toUtf8();
    m_context = pa_context_new(api(), name.constData());
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
