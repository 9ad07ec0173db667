#pragma once
// A PlaybackBackend for tests: nothing plays by itself. advance(n) pulls up to
// n samples from the player and counts them as heard at once; when the player
// marks the end of its data, the drain completes on the next advance (or
// right away with drain_at_once). fail() breaks the stream. Everything runs on
// the test's thread, so events follow exactly what the test did.

#include "pulse/playback_backend.h"

#include <utility>
#include <vector>

class FakePlaybackBackend : public PlaybackBackend
{
public:
    // set up by the test
    bool start_succeeds = true;

    // seen by the test
    int starts = 0;
    int stops = 0;
    uint32_t rate = 0;
    int channels = 0;
    std::vector<int16_t> output; // everything pulled, over all starts
    bool end_seen = false;
    bool running() const { return m_running; }

    // Pulls up to n samples; returns how many came.
    size_t advance(size_t n)
    {
        if (!m_running)
            return 0;
        if (end_seen) {
            finish_drain();
            return 0;
        }
        std::vector<int16_t> buffer(n);
        bool end = false;
        const size_t got = m_on_pull(buffer.data(), n, end);
        output.insert(output.end(), buffer.begin(),
                      buffer.begin() + static_cast<std::ptrdiff_t>(got));
        m_played += static_cast<int64_t>(got);
        if (end)
            end_seen = true;
        return got;
    }
    void finish_drain()
    {
        if (m_running && end_seen && !m_drained) {
            m_drained = true;
            m_on_drained();
        }
    }
    void fail(int code = 2)
    {
        if (m_running && m_on_error)
            m_on_error(code, QStringLiteral("fake failure"));
    }

    bool start(uint32_t r, int c, PullCallback on_pull, DrainedCallback on_drained,
               ErrorCallback on_error) override
    {
        if (!start_succeeds)
            return false;
        ++starts;
        rate = r;
        channels = c;
        m_on_pull = std::move(on_pull);
        m_on_drained = std::move(on_drained);
        m_on_error = std::move(on_error);
        m_running = true;
        m_played = 0;
        m_drained = false;
        end_seen = false;
        return true;
    }
    void stop() override
    {
        ++stops;
        m_running = false;
        m_on_pull = nullptr;
        m_on_drained = nullptr;
        m_on_error = nullptr;
    }
    int64_t played_samples() override { return m_played; }

private:
    bool m_running = false;
    bool m_drained = false;
    int64_t m_played = 0;
    PullCallback m_on_pull;
    DrainedCallback m_on_drained;
    ErrorCallback m_on_error;
};
