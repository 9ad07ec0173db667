#pragma once
// The libpulse capture backend: devices from the server's cards and sources,
// source volumes and ports, and one record stream at a time.
//
// Called on the user-interface thread (see capture_backend.h); every call is
// bounded: ~2 s to connect, ~2 s per server round trip. on_data runs on the
// libpulse loop thread with whole frames of s16 samples; holes the server
// reports are filled with silence so the sample count keeps the time.
//
// The stream records the source at the source's own channel count when one
// channel is asked for and mixes down here: the average of the channels, the
// same level on every server. It may not be moved to another device: a
// source that goes away ends it with device_lost.
//
// Between recordings, a sink's monitor that is to be recorded next has a
// corked stream of ours on it (keep_ready). PulseAudio renders a sink as far
// ahead as its players allow (2 s for most) and a new stream on the monitor
// gets nothing of that, so a start would begin up to that much late; a
// stream with a small latency on the monitor, even corked, keeps the sink
// rendering in small steps. A corked stream carries no data. PipeWire
// renders in small steps anyway and gets none.

#include "pulse/capture_backend.h"
#include "pulse/pulse_connection.h"
#include "pulse/pulse_device_watch.h"

#include <memory>

#include <atomic>
#include <chrono>
#include <vector>

struct pa_stream;

class PulseCaptureBackend : public CaptureBackend
{
public:
    // `server` empty: the default sound server.
    explicit PulseCaptureBackend(QString server = {});
    ~PulseCaptureBackend() override;

    std::vector<CaptureDeviceInfo> devices() override;
    int volume(const InputLineInfo &line) override;
    bool set_volume(const InputLineInfo &line, int volume) override;
    bool select_line(const InputLineInfo &line) override;
    QString default_source_name() override;
    void watch_devices(std::function<void()> changed) override;
    bool start(const InputLineInfo &line, uint32_t rate, int channels, DataCallback on_data,
               ErrorCallback on_error) override;
    void stop() override;
    int64_t frames_now() const override;
    QString start_error() const override { return m_start_error; }
    void keep_ready(const InputLineInfo &line) override;

private:
    static void on_state(pa_stream *s, void *userdata);
    static void on_read(pa_stream *s, size_t nbytes, void *userdata);
    static void on_moved(pa_stream *s, void *userdata);
    void deliver(const int16_t *samples, size_t count);
    void read_available();
    void report_error(const QString &message, int code);
    void close_stream();
    void open_standby();  // lock held
    void close_standby(); // lock held

    QString m_server;
    PulseConnection m_connection;
    std::unique_ptr<PulseDeviceWatch> m_watch; // device events, on a connection of its own
    pa_stream *m_stream = nullptr;
    DataCallback m_on_data;
    ErrorCallback m_on_error;
    bool m_error_reported = false;
    size_t m_frame_bytes = 4;
    std::vector<int16_t> m_silence;
    std::vector<int16_t> m_mixed;
    int m_mix_from = 0; // channels of the stream when mixing down to one, else 0
    uint32_t m_rate = 0;
    std::atomic<bool> m_timing{false}; // frames_now() has a clock
    std::chrono::steady_clock::time_point m_ready;
    std::chrono::steady_clock::time_point m_last_read; // end of the last on_read
    QString m_device;                                  // what the user knows the source as
    QString m_start_error;
    pa_stream *m_standby = nullptr; // corked, on the monitor to be recorded next
    QByteArray m_standby_source;    // what keep_ready asked for
    bool m_standby_wanted = false;
    bool m_standby_needless = false; // the source asked for needs none
};
