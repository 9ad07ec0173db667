#pragma once
// The libpulse playback backend: one stream to the default sink, pulling its
// data from the owner as the server asks for it (see playback_backend.h).
// Half a second is buffered at the server and asked for a fifth of a second
// at a time, so the stream's thread wakes a few times a second. Stop corks
// the stream and drops what the server holds, so it is heard at once; the
// stream waits five seconds for the Play after a pause or seek, then closes.

#include "pulse/playback_backend.h"
#include "pulse/pulse_connection.h"

#include <QElapsedTimer>
#include <pulse/sample.h>
#include <vector>

struct pa_stream;
struct pa_operation;
struct pa_time_event;

class PulsePlaybackBackend : public PlaybackBackend
{
public:
    // `server` empty: the default sound server; `sink` empty: its default sink.
    explicit PulsePlaybackBackend(QString server = {}, QString sink = {});
    ~PulsePlaybackBackend() override;

    bool start(uint32_t rate, int channels, PullCallback on_pull, DrainedCallback on_drained,
               ErrorCallback on_error) override;
    void stop() override;
    void more_data() override;
    int64_t played_samples() override;

private:
    static void on_state(pa_stream *s, void *userdata);
    static void on_write(pa_stream *s, size_t nbytes, void *userdata);
    static void on_drain_done(pa_stream *s, int success, void *userdata);
    static void on_timing_turn(pa_stream *s, void *userdata);
    void fill();
    int64_t played_samples_locked();
    void report_error(const QString &message);
    void refresh_timing();
    bool open_stream(const pa_sample_spec &spec);
    void cancel_close();
    void close_stream();

    PulseConnection m_connection;
    QString m_sink;
    pa_stream *m_stream = nullptr;
    pa_operation *m_drain = nullptr;
    pa_time_event *m_close_timer = nullptr; // closes a stopped stream
    pa_usec_t m_base_usec = 0;              // the stream's time at this run's start
    pa_sample_spec m_spec{};
    PullCallback m_on_pull;
    DrainedCallback m_on_drained;
    ErrorCallback m_on_error;
    bool m_error_reported = false;
    bool m_end = false;
    bool m_drained = false;
    bool m_starving = false;      // the last pull came up short
    QElapsedTimer m_timing_clock; // since the last timing update was asked for
    int64_t m_written = 0;        // samples handed to the server since start()
    int64_t m_played = 0;         // never goes back
    size_t m_carry = 0;           // samples of a partial frame kept for the next write
    std::vector<int16_t> m_buffer;
};
