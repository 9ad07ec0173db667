#pragma once
// The sound-server side of TAudioPlayer2: one playback stream. The real
// implementation is over libpulse (pulse_playback.cpp).
//
// Called on the user-interface thread. Once started, the backend pulls data
// through on_pull on its own thread (fill up to `count` samples, return how
// many were filled; 0 means nothing is available right now) and reports each
// sample that has actually been played out through played_samples().
// on_error comes once (any thread) when the stream fails.

#include <QString>
#include <cstdint>
#include <functional>

class PlaybackBackend {
public:
    virtual ~PlaybackBackend() = default;
    using PullCallback = std::function<size_t(int16_t *out, size_t count)>;
    using ErrorCallback = std::function<void(int code, const QString &message)>;
    virtual bool start(uint32_t rate, int channels, PullCallback on_pull, ErrorCallback on_error) = 0;
    virtual void stop() = 0; // drops what is buffered, returns after the last on_pull
    // Interleaved samples played out since start(), as the sound server reports it.
    virtual int64_t played_samples() = 0;
};
