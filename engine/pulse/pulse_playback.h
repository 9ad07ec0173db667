#pragma once
// The libpulse playback backend: one stream to the default sink, pulling its
// data from the owner as the server asks for it (see playback_backend.h).
// Latency target ~200 ms, so Stop is heard quickly and the owner's blocks of
// a few tens of ms keep the stream fed.

#include "pulse/playback_backend.h"
#include "pulse/pulse_connection.h"

#include <pulse/sample.h>
#include <vector>

struct pa_stream;
struct pa_time_event;
struct pa_operation;

class PulsePlaybackBackend : public PlaybackBackend
{
public:
    // `server` empty: the default sound server; `sink` empty: its default sink.
    explicit PulsePlaybackBackend(QString server = {}, QString sink = {});
    ~PulsePlaybackBackend() override;

    bool start(uint32_t rate, int channels, PullCallback on_pull, DrainedCallback on_drained,
               ErrorCallback on_error) override;
    void stop() override;
    int64_t played_samples() override;

private:
    static void on_state(pa_stream *s, void *userdata);
    static void on_write(pa_stream *s, size_t nbytes, void *userdata);
    static void on_drain_done(pa_stream *s, int success, void *userdata);
    void fill();
    int64_t played_samples_locked();
    void arm_retry();
    void report_error(const QString &message);
    void close_stream();

    PulseConnection m_connection;
    QString m_sink;
    pa_stream *m_stream = nullptr;
    pa_time_event *m_retry = nullptr;
    pa_operation *m_drain = nullptr;
    pa_sample_spec m_spec{};
    PullCallback m_on_pull;
    DrainedCallback m_on_drained;
    ErrorCallback m_on_error;
    bool m_error_reported = false;
    bool m_end = false;
    bool m_drained = false;
    int64_t m_written = 0; // samples handed to the server since start()
    int64_t m_played = 0;  // never goes back
    size_t m_carry = 0;    // samples of a partial frame kept for the next write
    std::vector<int16_t> m_buffer;
};
