#pragma once
// One connection to the sound server: a libpulse main loop on a thread of its
// own and a context on it. The capture and playback backends own one each.
//
// Thread: any thread may use it, always between lock() and unlock() (or with
// a PulseLock). Callbacks of libpulse run on the loop's own thread with the
// lock already held; they must not call lock(). ensure_connected() and wait()
// block for at most their timeout; nothing here autospawns a server.
// Errors: ensure_connected() returns false when there is no server.
//
// A connection made with Loop::gathering may gather its wake-ups
// (set_gather_ms): when nothing is pending, its loop thread sleeps until that
// long has passed since it last woke before it waits for input, so a stream's
// small fragments are taken several at a time. The server's timing is
// unchanged; only the hand-over to this process is later. A thread waiting in
// wait() or finish() is never held up by it.

#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

struct pa_mainloop;
struct pa_threaded_mainloop;
struct pollfd;
struct pa_context;
struct pa_operation;
struct pa_stream;
struct pa_mainloop_api;

class PulseConnection
{
public:
    // `server` empty: the default server (PULSE_SERVER, client.conf, the
    // per-user socket).
    enum class Loop { threaded, gathering };
    explicit PulseConnection(QString server = {}, QString client_name = QStringLiteral("Velquor"),
                             Loop loop = Loop::threaded);
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
    bool connected() const; // lock held
    bool in_loop_thread() const;
    // Any thread; Loop::gathering only. 0 (the default) takes input as it comes.
    void set_gather_ms(int ms);

private:
    void drop_context();
    void run();
    static int poll_func(struct pollfd *fds, unsigned long count, int timeout, void *userdata);
    void gather();

    QString m_server;
    QString m_client_name;
    pa_threaded_mainloop *m_threaded = nullptr;
    pa_mainloop *m_loop = nullptr; // Loop::gathering: run on m_thread
    pa_context *m_context = nullptr;

    std::recursive_mutex m_mutex; // what libpulse's objects of this connection are guarded by
    std::condition_variable_any m_signal;
    std::thread m_thread;
    std::atomic<bool> m_quit{false};

    std::mutex m_nap_mutex;
    std::condition_variable m_nap;
    std::atomic<int> m_gather_ms{0};
    std::atomic<int> m_waiters{0};
    std::chrono::steady_clock::time_point m_batch_start; // loop thread only
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
