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
// 2 when it failed or the sound server went away.

#include "audio_types.h"
#include "pulse/capture_backend.h"

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

    // capture
    void SetWaveFormat(uint32_t sample_rate, int channels);
    int MillisecondsToSamples(int ms) const;
    int SamplesToMilliseconds(int64_t samples) const;
    int BlockSize() const { return m_block_size; }
    void setBlockSize(int samples) { m_block_size = samples; }
    void Start();
    void Stop();
    SampleArray GetArray();
    SampleArray PeekArray(int count) const;
    int RecordedSamples() const;
    int SamplePosition() const;
    // The same count without the 32-bit cap (which a stereo run reaches after
    // about six and a half hours), for clocks that must keep running.
    int64_t CapturedSamples() const;
    int ErrorCode() const { return m_error_code; }

signals:
    void OnEndArrayRecord(QObject *Sender, int nBlock);
    void OnTimer(QObject *Sender, int CurrentSamples, int LevelLeft, int LevelRight);
    // The server's devices changed; LastDeviceIndex() reads the new list.
    // Bursts of server events come as one.
    void OnDevicesChanged(QObject *Sender);

private:
    void on_data(const int16_t *samples, size_t count); // any thread
    void on_error(int code);                            // any thread
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
    bool m_running = false;
    int64_t m_blocks_sent = 0; // block events of this run
    bool m_error_event_owed = false;

    mutable std::mutex m_mutex; // guards the members below
    SampleArray m_pending;      // captured, not yet taken by GetArray
    SampleArray m_recent;       // ring of the latest samples for PeekArray
    size_t m_recent_pos = 0;
    size_t m_recent_fill = 0;
    int64_t m_captured = 0; // since the last Start
    int m_peak_left = 0;    // since the last timer tick
    int m_peak_right = 0;
    bool m_notify_queued = false;
    // The user-interface thread is woken once per block, not per fragment.
    int64_t m_wake_block = 0; // block size of this run
    int64_t m_woken_blocks = 0;
    int m_thread_error = 0;
    uint64_t m_run = 0; // errors of an earlier stream are ignored

    QTimer m_timer;
};
