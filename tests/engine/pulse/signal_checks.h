#pragma once
// Checks on captured sound for the end-to-end tests, and a second private
// sound server that a test may kill.

#include "audio_types.h"
#include "pulse/audio_record.h"

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>

namespace signal_checks
{

// One channel of interleaved samples.
SampleArray channel(const SampleArray &interleaved, int channels, int which = 0);

struct Span {
    size_t first = 0; // first sample above the threshold
    size_t last = 0;  // last one; first > last when there is none
    bool found() const { return first <= last; }
    size_t length() const { return found() ? last - first + 1 : 0; }
};
Span loud_span(const SampleArray &mono, int threshold);

// Frequency from the zero crossings of mono[from, to).
double crossing_frequency(const SampleArray &mono, size_t from, size_t to, uint32_t rate);

// Largest |x[n+1] + x[n-1] - 2 cos(w) x[n]| over mono[from, to), relative to
// the amplitude: near 0 for a clean sine of `frequency`, large wherever
// samples are missing or repeated.
double worst_sine_break(const SampleArray &mono, size_t from, size_t to, double frequency,
                        uint32_t rate, double amplitude);

// Peak absolute sample of mono[from, to).
int peak(const SampleArray &mono, size_t from, size_t to);

// A TAudioRecord2 driven the way the recording controller drives it: every
// block event pumps events twice and takes one array; stop() drains the rest.
struct OwnerLikeRecording {
    explicit OwnerLikeRecording(uint32_t rate, int channels,
                                std::unique_ptr<CaptureBackend> backend = nullptr);
    // Picks the device of that name (and its first line) through the device API.
    bool select_device(const QString &name);
    bool start();
    void stop();
    // Pause, Split or Stop, then everything of the run into `stream`.
    void end(void (TAudioRecord2::*how)());
    TAudioRecord2 rec;
    SampleArray stream;
    int block_events = 0;
    int error_seen_at_event = 0;
    int sleep_ms_in_first_event = 0;      // a busy user-interface thread
    std::function<void()> on_first_event; // runs before that sleep
};

// A null sink of the test's own in the harness's server, so that tests that
// run side by side (ctest -j) never hear each other.
class PrivateSink
{
public:
    PrivateSink();
    ~PrivateSink();
    PrivateSink(const PrivateSink &) = delete;
    PrivateSink &operator=(const PrivateSink &) = delete;
    bool ok() const { return m_module >= 0; }
    QString sink() const { return m_name; }
    QString monitor() const { return m_name + QStringLiteral(".monitor"); }
    QString device_name() const { return QStringLiteral("Monitor of ") + m_description; }
    // A sine of 44100 Hz stereo into this sink through paplay; returns its pid.
    qint64 play_tone(double frequency, double seconds, double amplitude = 0.5) const;
    // The same with its own level on the right channel, and the player's
    // latency in ms (0: paplay's default).
    qint64 play_tone(double frequency, double seconds, double left, double right,
                     int latency_ms) const;
    // Takes the sink away, as unplugging a sound card does.
    bool unload();

private:
    void settle();
    QString m_name;
    QString m_description;
    int m_module = -1;
    QProcess m_keeper;
    QTemporaryDir m_dir;
};

// The streams that ran dry or overfull, as the harness's pipewire-pulse logged
// them (VELQUOR_SERVER_LOG) since this was made: tells in a failing test whether
// a player was late or the sound was lost after the streams.
class ServerLogMark
{
public:
    ServerLogMark();
    QString since() const; // the matching lines, or "none logged"

private:
    QString m_path;
    qint64 m_from = 0;
};

// Runs pactl; its standard output, empty on failure.
QString pactl(const QStringList &args);

// A pulseaudio of the test's own with a null sink, on its own socket; or,
// with `pipewire_pulse`, a pipewire-pulse of its own beside the session's
// PipeWire, whose devices outlive it as on a desktop.
class OwnServer
{
public:
    explicit OwnServer(bool pipewire_pulse = false);
    ~OwnServer();
    bool start();             // false when it did not come up in ~5 s
    QString address() const;  // "unix:/…/native"
    void kill();              // SIGKILL, as a crash would
    void freeze(bool frozen); // SIGSTOP / SIGCONT: a server that stops answering
    bool running() const;
    // Killed, then started again on the same socket.
    bool restart();
    // pactl against this server.
    QString pactl(const QStringList &args) const;
    // The source of its null sink.
    QString monitor() const { return m_sink + QStringLiteral(".monitor"); }

private:
    bool start_pipewire_pulse();
    QTemporaryDir m_dir;
    QProcess m_process;
    bool m_pipewire_pulse = false;
    QString m_sink = QStringLiteral("own_null");
};

} // namespace signal_checks
