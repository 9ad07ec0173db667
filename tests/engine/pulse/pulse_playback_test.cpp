// Playback through the private sound server (label "pulse"): TAudioPlayer2
// plays a generated tone into the null sink while TAudioRecord2 records its
// monitor; what comes out must be the tone, whole and once.

#include "pulse/audio_player.h"
#include "pulse/pulse_playback.h"
#include "signal_checks.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace signal_checks;

namespace
{

constexpr double tone_hz = 660.0;
constexpr double amplitude = 16000;
constexpr int loud = 4000;

// Serves the tone the way the playback controller reads a file: blocks of
// 4410 samples, one per data event, short then empty at the end.
struct ToneSource {
    TAudioPlayer2 *player;
    uint32_t rate;
    int channels;
    int64_t total;        // samples
    int64_t position = 0; // next sample; the owner's Seek sets it
    int requests = 0, array_ends = 0, play_ends = 0;

    ToneSource(TAudioPlayer2 *p, uint32_t r, int c, double seconds)
        : player(p), rate(r), channels(c), total(static_cast<int64_t>(seconds * r) * c)
    {
        QObject::connect(player, &TAudioPlayer2::OnRequestOnLoadArray,
                         [this] { ++requests, feed(); });
        QObject::connect(player, &TAudioPlayer2::OnEndArrayPlay, [this] { ++array_ends, feed(); });
        QObject::connect(player, &TAudioPlayer2::OnEndPlay, [this] { ++play_ends; });
    }
    void feed()
    {
        const int64_t n = std::clamp<int64_t>(total - position, 0, 4410);
        SampleArray block(static_cast<size_t>(n));
        for (int64_t i = 0; i < n; ++i) {
            const int64_t frame = (position + i) / channels;
            block[static_cast<size_t>(i)] = static_cast<int16_t>(std::lround(
                amplitude * std::sin(2 * M_PI * tone_hz * static_cast<double>(frame) / rate)));
        }
        position += n;
        player->PlayArray(block);
    }
    void start()
    {
        player->Play();
        feed();
        feed();
    }
};

struct Format {
    uint32_t rate;
    int channels;
};

} // namespace

class PulsePlayback : public ::testing::TestWithParam<Format>
{
};

TEST_P(PulsePlayback, PlaysTheToneItIsGivenOnceAndWhole)
{
    ASSERT_TRUE(test_support::require_pulse());
    const Format f = GetParam();
    PrivateSink sink;
    ASSERT_TRUE(sink.ok());
    OwnerLikeRecording monitor(44100, 2);
    ASSERT_TRUE(monitor.select_device(sink.device_name()));
    TAudioPlayer2 player(nullptr, std::make_unique<PulsePlaybackBackend>(QString(), sink.sink()));
    player.SetWaveFormat(f.rate, f.channels);
    ToneSource source(&player, f.rate, f.channels, 1.0);
    std::vector<int> positions;
    size_t peeked = 0;
    QObject::connect(&player, &TAudioPlayer2::OnTimer, [&](QObject *, int current, int, int) {
        positions.push_back(current);
        peeked = std::max(peeked, player.PeekArray(1024 * f.channels).size());
    });

    ASSERT_TRUE(monitor.start());
    test_support::wait_until([] { return false; }, 200); // the monitor is running before the tone
    source.start();
    ASSERT_EQ(player.ErrorCode(), 0);
    EXPECT_TRUE(test_support::wait_until([&] { return source.play_ends > 0; }, 10000));
    test_support::wait_until([] { return false; },
                             400); // the rest of the tone, and any extra OnEndPlay
    monitor.stop();

    EXPECT_EQ(source.play_ends, 1);
    EXPECT_EQ(player.ErrorCode(), 0);
    EXPECT_EQ(source.position, source.total);
    EXPECT_EQ(player.PlayedSamples(), source.total); // all of it was heard
    ASSERT_FALSE(positions.empty());
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_LE(positions.back(), source.total);
    EXPECT_EQ(peeked, static_cast<size_t>(1024 * f.channels));

    const SampleArray left = channel(monitor.stream, 2, 0);
    const Span span = loud_span(left, loud);
    ASSERT_TRUE(span.found());
    // 1 s of tone, to within one of the owner's blocks.
    const double block_ms = 4410.0 * 1000 / (f.rate * f.channels);
    EXPECT_NEAR(span.length() * 1000.0 / 44100, 1000.0, block_ms);
    const size_t from = span.first + 441, to = span.last - 441;
    EXPECT_NEAR(crossing_frequency(left, from, to, 44100), tone_hz, 5.0);
    EXPECT_LT(worst_sine_break(left, from, to, tone_hz, 44100, amplitude), 0.1)
        << "the tone has a gap or a repeat";
}

INSTANTIATE_TEST_SUITE_P(Formats, PulsePlayback,
                         ::testing::Values(Format{44100, 2}, Format{22050, 1}, Format{48000, 2}),
                         [](const auto &info) {
                             return std::to_string(info.param.rate) + "x" +
                                    std::to_string(info.param.channels);
                         });

TEST(PulsePlaybackRun, StopThenPlayWithNothingQueuedContinuesThroughDataEvents)
{
    ASSERT_TRUE(test_support::require_pulse());
    PrivateSink sink;
    ASSERT_TRUE(sink.ok());
    OwnerLikeRecording monitor(44100, 2);
    ASSERT_TRUE(monitor.select_device(sink.device_name()));
    TAudioPlayer2 player(nullptr, std::make_unique<PulsePlaybackBackend>(QString(), sink.sink()));
    player.SetWaveFormat(44100, 2);
    ToneSource source(&player, 44100, 2, 2.0);
    ASSERT_TRUE(monitor.start());
    source.start();
    ASSERT_TRUE(test_support::wait_until([&] { return player.PlayedSamples() >= 44100; }, 8000));
    player.Stop(); // the controller's pause or bar press
    const int played_first = player.PlayedSamples();
    EXPECT_GE(played_first, 44100);
    test_support::wait_until([] { return false; }, 300);
    EXPECT_EQ(player.PlayedSamples(), played_first);

    source.position = source.total / 2; // the controller's Seek
    const int requests_before = source.requests;
    player.Play();
    EXPECT_EQ(player.PlayedSamples(), 0);
    EXPECT_TRUE(test_support::wait_until([&] { return source.play_ends > 0; }, 10000));
    test_support::wait_until([] { return false; }, 300);
    monitor.stop();

    // Asked from the seek's position on, through the data events, to the end.
    EXPECT_GT(source.requests, requests_before);
    EXPECT_EQ(source.position, source.total);
    EXPECT_EQ(source.play_ends, 1);
    EXPECT_EQ(player.PlayedSamples(), source.total / 2); // counted from the second Play
    // The monitor heard sound, a pause, then sound again.
    const SampleArray left = channel(monitor.stream, 2, 0);
    const Span span = loud_span(left, loud);
    ASSERT_TRUE(span.found());
    size_t longest_quiet = 0, quiet = 0;
    for (size_t i = span.first; i <= span.last; ++i) {
        quiet = std::abs(left[i]) < 100 ? quiet + 1 : 0;
        longest_quiet = std::max(longest_quiet, quiet);
    }
    EXPECT_GT(longest_quiet, 4410u);                // > 100 ms of silence in the middle
    const size_t tail_from = span.last - 44100 / 2; // the last half second is the second run
    EXPECT_LT(worst_sine_break(left, tail_from, span.last - 441, tone_hz, 44100, amplitude), 0.1);
}

TEST(PulsePlaybackRun, EndMarkOnlyEndsAtOnce)
{
    ASSERT_TRUE(test_support::require_pulse());
    TAudioPlayer2 player;
    player.SetWaveFormat(44100, 2);
    int ends = 0;
    QObject::connect(&player, &TAudioPlayer2::OnEndPlay, [&] { ++ends; });
    player.PlayArray({});
    player.Play();
    EXPECT_TRUE(test_support::wait_until([&] { return ends > 0; }, 5000));
    test_support::wait_until([] { return false; }, 200);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(player.PlayedSamples(), 0);
}

TEST(PulsePlaybackRun, ServerGoneGivesErrorAndOnEndPlay)
{
    ASSERT_TRUE(test_support::require_pulse());
    OwnServer server;
    ASSERT_TRUE(server.start());
    TAudioPlayer2 player(nullptr, std::make_unique<PulsePlaybackBackend>(server.address()));
    player.SetWaveFormat(44100, 2);
    ToneSource source(&player, 44100, 2, 30.0);
    source.start();
    ASSERT_EQ(player.ErrorCode(), 0);
    ASSERT_TRUE(test_support::wait_until([&] { return player.PlayedSamples() > 8820; }, 8000));
    server.kill();
    EXPECT_TRUE(test_support::wait_until([&] { return source.play_ends > 0; }, 5000));
    EXPECT_NE(player.ErrorCode(), 0);
    EXPECT_EQ(source.play_ends, 1);
    player.Play(); // no server now: refused, and the owner still hears the end
    EXPECT_EQ(player.ErrorCode(), 1);
    EXPECT_TRUE(test_support::wait_until([&] { return source.play_ends == 2; }, 5000));
}

TEST(PulsePlaybackRun, NoServerFailsPlayWithoutHanging)
{
    TAudioPlayer2 player(nullptr, std::make_unique<PulsePlaybackBackend>(
                                      QStringLiteral("unix:/nonexistent/velquor/native")));
    int ends = 0;
    QObject::connect(&player, &TAudioPlayer2::OnEndPlay, [&] { ++ends; });
    player.Play();
    EXPECT_EQ(player.ErrorCode(), 1);
    EXPECT_TRUE(test_support::wait_until([&] { return ends == 1; }, 2000));
}
