#pragma once
// TAudioRecord2: devices, input lines, recording volume and capture.
// Counts are interleaved samples (audio_types.h). Called on the
// user-interface thread; its events are delivered there too, and every
// operation may be called from inside its own event handlers.
//
// Captured samples are kept until GetArray takes them: nothing is dropped
// while the user-interface thread is busy. OnEndArrayRecord comes once per
// BlockSize samples captured; OnTimer every 100 ms while capturing.
// ErrorCode is 0 while capture works; 1 when the stream could not be opened,
// 2 when it failed or the sound server went away, 3 when the recorded device
// went away; ErrorText says so in words.
//
// A run (Start to Stop, Pause or Split) holds the sound from the moment of
// Start to the moment of the end call, by the stream's clock: audio of that
// moment still on its way is waited for (Drained) and anything captured past
// it is left out. Pause and Split keep the stream running, so a resume or the
// next file of a split loses nothing and gets nothing inserted.

#include "audio_types.h"
#include "pulse/capture_backend.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

class TAudioRecord2 : public QObject
{
    Q_OBJECT
public:
    // Without a backend, the real libpulse one is used.
    explicit TAudioRecord2(QObject *parent = nullptr,
                           std::unique_ptr<CaptureBackend> backend = nullptr);
    ~TAudioRecord2() override;

    // devices and input lines
    int16_t LastDeviceIndex(); // re-reads the sound server's devices
    void setDeviceIndex(int16_t index);
    int16_t DeviceIndex() const { return m_device_index; }
    bool DeviceUsable() const;
    QString DeviceName() const;
    int16_t InputLineCount() const;
    void setInputLineIndex(int16_t line); // 1..InputLineCount
    QString InputLineName() const;
    int InputLineVolume() const; // 0..65535
    void setInputLineVolume(int volume);
    void setInputLineSelected(bool selected);
    // Names that find a device and a line again after the list changed.
    QString DeviceServerName() const;
    QString InputLineServerName() const;
    // The device number and line number (1-based) of the server's default
    // source in the list last read; false when it is in none.
    bool FindDefaultSource(int16_t &device, int16_t &line) const;

    // What the next Start records besides the line, or instead of it: a
    // second source mixed in, or one application's playback alone.
    void setSources(const CaptureSources &sources);
    const CaptureSources &Sources() const { return m_sources; }
    // The applications playing now, by name; Velquor is never among them.
    std::vector<QString> PlayingApplications() { return m_backend->playing_applications(); }
    // Every source of every device, once: its server name and its line's name.
    std::vector<std::pair<QString, QString>> SourceNames() const;

    // capture
    void SetWaveFormat(uint32_t sample_rate, int channels);
    int MillisecondsToSamples(int ms) const;
    int SamplesToMilliseconds(int64_t samples) const;
    int BlockSize() const { return m_block_size; }
    void setBlockSize(int samples) { m_block_size = samples; }
    void Start();
    void Stop();
    // Ends the run like Stop and keeps the stream: the next Start resumes
    // with the sound of its own moment.
    void Pause();
    // Ends the run like Stop and keeps the stream for a few seconds: the next
    // Start goes on with the very sample after this run's last one.
    void Split();
    // Where the stream is now, for a later StopAt; -1 without a stream.
    int64_t StreamPosition() const;
    // Stop with the run ending at an earlier StreamPosition (a stop asked
    // for while the previous file was still being finished).
    void StopAt(int64_t position);
    // After Stop, Pause or Split: true once the run's last sample has arrived
    // (or ~2.5 s went by without it, up to 5 s while data still comes in, or
    // the stream failed). Until then
    // GetArray may still return more of the run.
    bool Drained();
    SampleArray GetArray();
    SampleArray PeekArray(int count) const;
    int RecordedSamples() const;
    int SamplePosition() const;
    // The same count without the 32-bit cap (which a stereo run reaches after
    // about six and a half hours), for clocks that must keep running.
    int64_t CapturedSamples() const;
    // The run's length by the stream's clock: what the source has captured
    // since Start, some of it maybe still on its way (a monitor can be more
    // than a second behind), and none of what came ahead of the clock, which
    // the run's end leaves out. After the run's end and its drain, the same
    // as CapturedSamples.
    int64_t RunSamples() const;
    int ErrorCode() const { return m_error_code; }
    QString ErrorText() const { return m_error_text; }

signals:
    void OnEndArrayRecord(QObject *Sender, int nBlock);
    void OnTimer(QObject *Sender, int CurrentSamples, int LevelLeft, int LevelRight);
    // The server's devices changed; LastDeviceIndex() reads the new list.
    // Bursts of server events come as one.
    void OnDevicesChanged(QObject *Sender);

private:
    enum class Hold { none, pause, split };
    void end_run(Hold hold, int64_t at = -1);
    bool check_drain();
    void open_stream(const InputLineInfo &line);
    void close_stream();
    int64_t position_now() const;                       // stream sample index of this moment
    void on_data(const int16_t *samples, size_t count); // any thread
    void on_error(int code, const QString &text);       // any thread, m_mutex held
    void post_delivery();                               // m_mutex held
    void deliver();                                     // UI thread
    void timer_tick();
    void load_devices() const;
    const CaptureDeviceInfo *current_device() const;
    const InputLineInfo *current_line() const;

    std::unique_ptr<CaptureBackend> m_backend;
    mutable std::vector<CaptureDeviceInfo> m_devices;
    mutable bool m_devices_loaded = false;
    bool m_watching = false;
    std::shared_ptr<std::atomic<bool>> m_change_queued = std::make_shared<std::atomic<bool>>(false);
    int16_t m_device_index = 0;
    int16_t m_line_index = 1;
    std::optional<InputLineInfo> m_selected_line; // recorded by Start; none: the default source

    uint32_t m_rate = 44100;
    int m_channels = 2;
    int m_block_size = 0;
    int m_error_code = 0;
    QString m_error_text;
    bool m_running = false;     // a run is on: block and timer events
    bool m_stream_open = false; // the backend's stream runs (also between runs)
    InputLineInfo m_stream_line;
    CaptureSources m_sources;        // for the next stream
    CaptureSources m_stream_sources; // of the stream open now
    uint32_t m_stream_rate = 0;
    int m_stream_channels = 0;
    Hold m_hold = Hold::none;
    int64_t m_split_at = 0;   // where the run after a split begins
    int64_t m_hold_until = 0; // ms of m_clock: a split's stream closes then
    bool m_draining = false;
    int64_t m_drain_until = 0;
    int64_t m_drain_progress_at = 0; // when the stream last delivered during the drain
    int64_t m_drain_count = -1;
    QTimer m_drain_timer;
    QElapsedTimer m_clock;
    int64_t m_blocks_sent = 0; // block events of this run
    bool m_error_event_owed = false;

    mutable std::mutex m_mutex; // guards the members below
    SampleArray m_pending;      // captured, not yet taken by GetArray
    SampleArray m_recent;       // ring of the latest samples for PeekArray
    size_t m_recent_pos = 0;
    size_t m_recent_fill = 0;
    int64_t m_captured = 0;     // of this run
    int64_t m_stream_count = 0; // samples received since the stream opened
    int64_t m_run_start = 0;    // stream index of the run's first sample
    int64_t m_run_end = 0;      // one past its last one; INT64_MAX while running
    bool m_accepting = false;   // samples inside the run go to m_pending
    int64_t m_pending_end = 0;  // stream index one past m_pending's last sample
    int m_peak_left = 0;        // since the last timer tick
    int m_peak_right = 0;
    bool m_notify_queued = false;
    int64_t m_post_block = 0; // the run's block size, for the capture thread
    int64_t m_next_post = 0;  // captured count that completes the next block
    int m_thread_error = 0;
    QString m_thread_error_text;
    int m_stream_error = 0; // the open stream failed (code), it must be opened anew
    uint64_t m_run = 0;     // errors of an earlier stream are ignored

    QTimer m_timer;
};
