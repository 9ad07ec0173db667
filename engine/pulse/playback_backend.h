#pragma once
// The sound-server side of TAudioPlayer2: one playback stream. The real
// implementation is over libpulse (pulse_playback.cpp); tests that need to
// decide when samples count as played use a fake.
//
// All methods are called on the user-interface thread; start() and stop()
// block for a server round trip at most (bounded, ~2 s). Once started, the
// backend pulls interleaved samples through on_pull on its own thread: fill
// up to `count` samples, return how many were filled; fewer means nothing
// more is available right now (the backend asks again at the server's next
// request, or at once after more_data()). The callback sets
// `end_of_data` when the data is over: the backend then pulls no more, plays
// out what it holds and calls on_drained once (any thread) when all of it has
// been heard. on_error comes once (any thread) when the stream fails.

#include <QString>
#include <cstdint>
#include <functional>

class PlaybackBackend
{
public:
    virtual ~PlaybackBackend() = default;
    using PullCallback = std::function<size_t(int16_t *out, size_t count, bool &end_of_data)>;
    using DrainedCallback = std::function<void()>;
    using ErrorCallback = std::function<void(int code, const QString &message)>;
    // False (and nothing started) when the stream cannot be opened.
    virtual bool start(uint32_t rate, int channels, PullCallback on_pull,
                       DrainedCallback on_drained, ErrorCallback on_error) = 0;
    virtual void stop() = 0; // drops what is buffered, returns after the last callback
    // The owner has data again after a pull that came up short: the stream
    // takes it now rather than at the server's next request.
    virtual void more_data() {}
    // Interleaved samples played out since start(), as the sound server
    // reports it; after on_drained, all samples pulled.
    virtual int64_t played_samples() = 0;
};
