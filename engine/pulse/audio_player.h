#pragma once
// TAudioPlayer2: plays queued sample arrays. Counts are interleaved samples.
// Called on the user-interface thread; events are delivered there.
//
// Play starts or resumes output. The player keeps about half a second of
// data queued ahead of the sound server's own half second, and asks for it
// with OnRequestOnLoadArray (one array per event) until it has that much:
// on the loop's turn after Play, and at each OnTimer tick (100 ms), so a
// playing file wakes the owner for nothing else. Every array played to its
// end raises OnEndArrayPlay, at the next tick; an array counts as played once
// all of it has gone into the sound server's output buffer. An empty array
// queued with PlayArray marks the end of the data: once everything before it
// has been heard, OnEndPlay comes once (arrays queued after the mark are
// dropped). Stop drops the queue and what the server holds, and stops output
// at once; PlayedSamples and OnTimer's CurrentSamples count samples heard,
// from 0 again at each Play. ErrorCode is 1 when Play could not open the
// stream, 2 when it failed later; OnEndPlay
// follows in both cases.

#include "audio_types.h"
#include "pulse/playback_backend.h"

#include <QObject>
#include <QTimer>
#include <deque>
#include <memory>
#include <mutex>

class TAudioPlayer2 : public QObject
{
    Q_OBJECT
public:
    explicit TAudioPlayer2(QObject *parent = nullptr,
                           std::unique_ptr<PlaybackBackend> backend = nullptr);
    ~TAudioPlayer2() override;

    void SetWaveFormat(uint32_t sample_rate, int channels); // throws EngineError for a bad format
    void Play();
    void PlayArray(const SampleArray &samples);
    void Stop();
    int PlayedSamples() const;
    int SamplesToMilliseconds(int64_t samples) const;
    SampleArray PeekArray(int count) const;
    int ErrorCode() const { return m_error_code; }

signals:
    void OnRequestOnLoadArray(QObject *Sender);
    void OnEndArrayPlay(QObject *Sender);
    void OnEndPlay(QObject *Sender);
    void OnTimer(QObject *Sender, int CurrentSamples, int LevelLeft, int LevelRight);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    int m_error_code = 0;
};
