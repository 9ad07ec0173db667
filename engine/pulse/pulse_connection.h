#pragma once
// One connection to the sound server: a libpulse threaded main loop and a
// context on it. Shared by the capture and playback backends (each owns one).
//
// Thread: any thread may use it, always between lock() and unlock() (or with
// a PulseLock). Callbacks of libpulse run on the loop's own thread with the
// lock already held; they must not call lock(). ensure_connected() and wait()
// block for at most their timeout; nothing here autospawns a server.
// Errors: ensure_connected() returns false when there is no server.

#include <QString>
#include <functional>

#include <pulse/mainloop-api.h>
#include <pulse/sample.h>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_operation;
struct pa_stream;
struct pa_mainloop_api;

// The application id every stream of Velquor carries (and by which it knows
// its own streams from other programs').
inline constexpr const char *velquor_application_id = "com.tenvique.velquor";

class PulseConnection
{
public:
    // `server` empty: the default server (PULSE_SERVER, client.conf, the
    // per-user socket).
    explicit PulseConnection(QString server = {}, QString client_name = QStringLiteral("Velquor"));
    ~PulseConnection();
    PulseConnection(const PulseConnection &) = delete;
    PulseConnection &operator=(const PulseConnection &) = delete;

    void lock();
    void unlock();

    // Lock held. Connects when there is no working context yet.
    bool ensure_connected(int timeout_ms = 2000);
    // Lock held. Runs the loop until done() holds or timeout_ms passes.
    bool wait(const std::function<bool()> &done, int timeout_ms = 2000);
    // Lock held. Waits for an operation to finish, then unrefs it. False on
    // timeout (the operation is cancelled), on a null operation, or when the
    // connection broke meanwhile.
    bool finish(pa_operation *op, int timeout_ms = 2000);
    // Lock held. Waits until a stream just connected is ready or has failed;
    // true when it is ready.
    bool wait_stream_ready(pa_stream *stream);
    // Wakes wait(); callable from libpulse callbacks.
    void signal();

    pa_context *context() const { return m_context; }
    pa_mainloop_api *api() const;
    // Lock held. A timer event `after` from now on the loop; restart it with
    // restart_timer(), free it with api()->time_free().
    pa_time_event *timer(pa_usec_t after, pa_time_event_cb_t callback, void *userdata) const;
    void restart_timer(pa_time_event *event, pa_usec_t after) const;
    bool connected() const; // lock held
    bool in_loop_thread() const;

private:
    void drop_context();

    QString m_server;
    QString m_client_name;
    pa_threaded_mainloop *m_loop = nullptr;
    pa_context *m_context = nullptr;
};

class PulseLock
{
public:
    explicit PulseLock(PulseConnection &c) : m_c(c) { m_c.lock(); }
    ~PulseLock() { m_c.unlock(); }
    PulseLock(const PulseLock &) = delete;
    PulseLock &operator=(const PulseLock &) = delete;

private:
    PulseConnection &m_c;
};
