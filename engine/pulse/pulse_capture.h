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
#include "pulse/stream_mixer.h"

#include <memory>

#include <atomic>
#include <chrono>
#include <vector>

#include <pulse/def.h>

struct pa_stream;
struct pa_time_event;
struct pa_context;
struct pa_sink_input_info;

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
    void set_sources(const CaptureSources &sources) override;
    std::vector<QString> playing_applications() override;

private:
    // A stream besides the main one: the second source, or one of the
    // application's streams (pulse_capture_mix.cpp).
    struct Leg {
        pa_stream *stream = nullptr;
        int mixer_id = 0;
        uint32_t sink_input = UINT32_MAX; // of an application, the stream it listens to
        QString device;                   // the second source, as the user knows it
        PulseCaptureBackend *owner = nullptr;
    };
    bool start_mixing(uint32_t rate, int channels); // lock held
    void stop_mixing();                             // lock held
    bool open_leg(const QByteArray &source, uint32_t sink_input, float gain, const QString &device);
    void close_leg(Leg &leg);
    void mix_now(bool final);
    void watch_application();
    static void on_leg_read(pa_stream *s, size_t nbytes, void *userdata);
    static void on_leg_state(pa_stream *s, void *userdata);
    void hand_over(const int16_t *samples, size_t count);
    static void on_sink_input_event(pa_context *c, pa_subscription_event_type_t type,
                                    uint32_t index, void *userdata);
    static void on_application_stream(pa_context *c, const pa_sink_input_info *info, int eol,
                                      void *userdata);
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
    size_t m_settle_samples = 0; // of a new stream, still to be left out
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

    CaptureSources m_sources;             // for the next start()
    std::unique_ptr<StreamMixer> m_mixer; // while more than one stream is recorded
    int m_main_leg = 0;                   // the main stream's id in the mixer
    std::vector<std::unique_ptr<Leg>> m_legs;
    pa_time_event *m_mix_tick = nullptr; // an application alone: mixes by the clock
    uint32_t m_mix_rate = 0;
    int m_mix_channels = 0;
    std::vector<int16_t> m_mix_out;
};
