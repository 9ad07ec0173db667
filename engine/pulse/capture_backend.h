#pragma once
// The sound-server side of TAudioRecord2: devices, input lines, volumes and a
// capture stream. One real implementation over libpulse (pulse_capture.cpp);
// tests that need blocks at exact moments hand TAudioRecord2 a fake.
//
// All methods are called on the user-interface thread and may block briefly
// (a round trip to the sound server). start() delivers captured data through
// on_data on the backend's own thread, in the format asked for, never
// dropping any; on_error is called (on any thread) once when the stream fails,
// its device goes away or the server does (codes below). stop() returns after
// the last on_data call.

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

struct InputLineInfo {
    QString name;        // shown to the user
    QString source_name; // the sound server's source to record from
    QString port_name;   // the source's port to activate, empty for none
    bool active = true;  // false for a port the source is not using now

    // What names the line across runs and list changes.
    QString server_name() const
    {
        return port_name.isEmpty() ? source_name : source_name + QLatin1Char('#') + port_name;
    }
};

struct CaptureDeviceInfo {
    QString name;
    bool usable = true;
    std::vector<InputLineInfo> lines;
    QString server_name{}; // the card's (or lone source's) name on the server
};

// What is recorded besides the line, or instead of it: a second source mixed
// in at its level, or the playback of one application alone.
struct CaptureSources {
    QString mix_source;  // the server's name of a source; empty: none
    int mix_level = 100; // percent
    QString application; // its application.name; empty: the line as chosen
    bool operator==(const CaptureSources &) const = default;
};

class CaptureBackend
{
public:
    virtual ~CaptureBackend() = default;

    // An empty list when there is no sound server.
    virtual std::vector<CaptureDeviceInfo> devices() = 0;
    // 0..65535 for silence..normal volume; -1 when it cannot be read.
    virtual int volume(const InputLineInfo &line) = 0;
    virtual bool set_volume(const InputLineInfo &line, int volume) = 0;
    // Makes the line the one that is recorded (activates its port).
    virtual bool select_line(const InputLineInfo &line) = 0;
    // The server's default source; empty when unknown.
    virtual QString default_source_name() { return {}; }
    // `changed` runs, on any thread, whenever devices come, go or change, or
    // a program starts or stops playing; an empty function stops it (and has
    // returned once this returns).
    virtual void watch_devices(std::function<void()> changed) { (void)changed; }

    // on_error codes
    static constexpr int server_lost = 2; // the stream or the sound server failed
    static constexpr int device_lost = 3; // the recorded device went away

    using DataCallback = std::function<void(const int16_t *samples, size_t count)>;
    using ErrorCallback = std::function<void(int code, const QString &message)>;
    // Returns false (and starts nothing) when the stream cannot be opened.
    virtual bool start(const InputLineInfo &line, uint32_t rate, int channels, DataCallback on_data,
                       ErrorCallback on_error) = 0;
    virtual void stop() = 0;
    // Frames the source has captured for the running stream up to this
    // moment, by the stream's clock (some of them may still be on their way);
    // -1 when unknown, for a stream whose data arrives as it is captured.
    virtual int64_t frames_now() const { return -1; }
    // Why the last start() failed, for the user; empty when unknown.
    virtual QString start_error() const { return {}; }
    // `line` is the one the next start() will record (an empty source name:
    // the default source). A backend may prepare it between recordings so
    // that a start's first sound is the sound of its moment.
    virtual void keep_ready(const InputLineInfo &line) { (void)line; }
    // What the next start() records besides or instead of its line.
    virtual void set_sources(const CaptureSources &sources) { (void)sources; }
    // The names of the applications playing now, Velquor never among them.
    virtual std::vector<QString> playing_applications() { return {}; }
};
