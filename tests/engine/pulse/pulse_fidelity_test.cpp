// What a run holds against the clock of the user's clicks, on the private
// sound server (label "pulse"): stop and pause end with the sound of their
// moment, splits join without a lost or doubled sample, one channel is the
// average of the source's, and a source or server that goes away is told.

#include "pulse/audio_record.h"
#include "pulse/pulse_capture.h"
#include "signal_checks.h"
#include "test_support.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <cmath>

using namespace signal_checks;

namespace
{

constexpr double tone_hz = 1000.0;
constexpr double amplitude = 32767 * 0.5;
constexpr int loud = static_cast<int>(amplitude / 4);

// Waits `ms` of wall time with events running, as a user between two clicks.
void hold(int ms)
{
    test_support::wait_until([] { return false; }, ms);
}

// The longest stretch of near-silence in mono[from, to), in samples.
size_t longest_quiet(const SampleArray &mono, size_t from, size_t to)
{
    size_t run = 0, worst = 0;
    for (size_t i = from; i < to && i < mono.size(); ++i) {
        run = std::abs(mono[i]) < 300 ? run + 1 : 0;
        worst = std::max(worst, run);
    }
    return worst;
}

struct Tone {
    qint64 pid;
    ~Tone() { test_support::kill_player(pid); }
};

struct Timing {
    const char *name;
    int player_latency_ms; // 0: paplay's default
    bool pause;
};

} // namespace

class PulseRunTiming : public ::testing::TestWithParam<Timing>
{
};

// Run lengths follow the wall time between the calls within one 200 ms block,
// whatever the latency of the player feeding the sink.
TEST_P(PulseRunTiming, RunsLastAsLongAsTheTimeBetweenTheCalls)
{
    ASSERT_TRUE(test_support::require_pulse());
    const Timing t = GetParam();
    PrivateSink sink;
    ASSERT_TRUE(sink.ok());
    const ServerLogMark server_log;
    const Tone tone{sink.play_tone(tone_hz, 12.0, 0.5, 0.5, t.player_latency_ms)};
    hold(500);
    OwnerLikeRecording r(44100, 2);
    ASSERT_TRUE(r.select_device(sink.device_name()));
    QElapsedTimer clock;
    ASSERT_TRUE(r.start());
    clock.start();
    hold(1500);
    int64_t wall_ms = 0;
    size_t first_run = 0;
    if (t.pause) {
        wall_ms = clock.elapsed();
        r.end(&TAudioRecord2::Pause);
        first_run = r.stream.size();
        EXPECT_NEAR(r.rec.SamplesToMilliseconds(static_cast<int64_t>(first_run)), wall_ms, 200);
        hold(1000);
        r.rec.Start();
        ASSERT_EQ(r.rec.ErrorCode(), 0);
        clock.restart();
        hold(1500);
    } else {
        hold(1000);
    }
    wall_ms += clock.elapsed();
    r.stop();
    const int ms = r.rec.SamplesToMilliseconds(static_cast<int64_t>(r.stream.size()));
    EXPECT_NEAR(ms, wall_ms, 200) << "the run must hold the time between the clicks";

    const SampleArray left = channel(r.stream, 2, 0);
    const Span span = loud_span(left, loud);
    ASSERT_TRUE(span.found());
    // The tone sounded all the time: the run begins with it (not with a server's
    // start-up), nothing lost at the end, and no silence put in at the resume.
    EXPECT_LT(span.first, 441u) << "the run must begin with the sound of the click";
    EXPECT_GE(span.last + 441, left.size());
    EXPECT_LT(longest_quiet(left, span.first, left.size()), 44u)
        << "a hole of silence inside the tone; the server logged: "
        << server_log.since().toStdString();
    if (t.pause) {
        // A resume starts a new piece of the tone: a clean sine either side.
        const size_t join = first_run / 2;
        EXPECT_LT(worst_sine_break(left, span.first + 441, join, tone_hz, 44100, amplitude), 0.1);
        EXPECT_LT(worst_sine_break(left, join + 1, left.size(), tone_hz, 44100, amplitude), 0.1);
    } else {
        EXPECT_LT(worst_sine_break(left, span.first + 441, left.size(), tone_hz, 44100, amplitude),
                  0.1);
    }
}

INSTANTIATE_TEST_SUITE_P(Players, PulseRunTiming,
                         ::testing::Values(Timing{"DefaultPlayer", 0, false},
                                           Timing{"LowLatencyPlayer", 60, false},
                                           Timing{"DefaultPlayerPaused", 0, true},
                                           Timing{"LowLatencyPlayerPaused", 60, true}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(PulseRun, SplitEverySecondJoinsSampleExact)
{
    ASSERT_TRUE(test_support::require_pulse());
    PrivateSink sink;
    ASSERT_TRUE(sink.ok());
    const Tone tone{sink.play_tone(tone_hz, 20.0)};
    hold(500);
    OwnerLikeRecording r(44100, 2);
    ASSERT_TRUE(r.select_device(sink.device_name()));
    QElapsedTimer clock;
    ASSERT_TRUE(r.start());
    clock.start();
    std::vector<size_t> joins;
    int64_t split_ms = 0; // the moment of the previous split
    for (int file = 0; file < 6; ++file) {
        const size_t before = r.stream.size();
        // The next file runs on while the previous one is finished, so a file
        // lasts from one split to the next.
        hold(static_cast<int>(std::max<int64_t>(split_ms + 1000 - clock.elapsed(), 0)));
        const int64_t now_ms = clock.elapsed();
        if (file == 5) {
            r.stop();
        } else {
            r.end(&TAudioRecord2::Split);
            joins.push_back(r.stream.size() / 2);
        }
        const int ms = r.rec.SamplesToMilliseconds(static_cast<int64_t>(r.stream.size() - before));
        EXPECT_NEAR(ms, now_ms - split_ms, 200) << "file " << file;
        split_ms = now_ms;
        if (file < 5) {
            ASSERT_TRUE(r.start());
        }
    }
    const SampleArray left = channel(r.stream, 2, 0);
    const Span span = loud_span(left, loud);
    ASSERT_TRUE(span.found());
    ASSERT_LT(span.first, joins.front());
    EXPECT_GE(span.last + 441, left.size());
    // One sine from the first file to the last: no sample lost or doubled at a join.
    for (const size_t join : joins)
        EXPECT_LT(worst_sine_break(left, join - 200, join + 200, tone_hz, 44100, amplitude), 0.1)
            << "at the join after sample " << join;
    EXPECT_LT(worst_sine_break(left, span.first + 441, left.size(), tone_hz, 44100, amplitude),
              0.1);
}

struct Level {
    const char *name;
    double left, right; // the tone's levels
    double expected;    // of the one recorded channel
};

class PulseMono : public ::testing::TestWithParam<Level>
{
};

TEST_P(PulseMono, OneChannelIsTheAverageOfTheSource)
{
    ASSERT_TRUE(test_support::require_pulse());
    const Level l = GetParam();
    PrivateSink sink;
    ASSERT_TRUE(sink.ok());
    const Tone tone{sink.play_tone(tone_hz, 6.0, l.left, l.right, 0)};
    OwnerLikeRecording r(44100, 1);
    ASSERT_TRUE(r.select_device(sink.device_name()));
    ASSERT_TRUE(r.start());
    const int wanted = r.rec.MillisecondsToSamples(2000);
    EXPECT_TRUE(test_support::wait_until([&] { return r.rec.RecordedSamples() >= wanted; }, 9000));
    r.stop();
    const Span span = loud_span(r.stream, static_cast<int>(32767 * l.expected / 4));
    ASSERT_TRUE(span.found());
    ASSERT_GT(span.length(), 4410u);
    const double got = peak(r.stream, span.first + 441, span.last - 441);
    const double db = 20 * std::log10(got / (32767 * l.expected));
    EXPECT_NEAR(db, 0.0, 0.5) << "peak " << got;
}

INSTANTIATE_TEST_SUITE_P(Levels, PulseMono,
                         ::testing::Values(Level{"BothChannels", 0.5, 0.5, 0.5},
                                           Level{"LeftOnly", 0.5, 0.0, 0.25},
                                           Level{"Opposite", 0.6, 0.2, 0.4}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(PulseLost, AnUnloadedSinkEndsTheRunAsADeviceThatWentAway)
{
    ASSERT_TRUE(test_support::require_pulse());
    PrivateSink sink; // the harness's own sink stays: the server could move the stream there
    ASSERT_TRUE(sink.ok());
    const Tone tone{sink.play_tone(tone_hz, 8.0)};
    OwnerLikeRecording r(44100, 2);
    ASSERT_TRUE(r.select_device(sink.device_name()));
    ASSERT_TRUE(r.start());
    ASSERT_TRUE(test_support::wait_until([&] { return r.block_events >= 2; }, 8000));
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(sink.unload());
    EXPECT_TRUE(test_support::wait_until([&] { return r.error_seen_at_event != 0; }, 5000));
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(r.error_seen_at_event, CaptureBackend::device_lost);
    EXPECT_TRUE(r.rec.ErrorText().contains(QStringLiteral("is no longer available")))
        << r.rec.ErrorText().toStdString();
    EXPECT_TRUE(r.rec.ErrorText().contains(sink.device_name())) << r.rec.ErrorText().toStdString();
    const int before = r.rec.RecordedSamples();
    hold(300);
    EXPECT_EQ(r.rec.RecordedSamples(), before) << "nothing of another device comes in";
    clock.restart();
    r.stop();
    EXPECT_LT(clock.elapsed(), 1500);
    EXPECT_EQ(r.stream.size(), static_cast<size_t>(r.rec.RecordedSamples()));
}

TEST(PulseLost, TheOnlySinkUnloadedEndsTheRunToo)
{
    ASSERT_TRUE(test_support::require_pulse());
    OwnServer server;
    ASSERT_TRUE(server.start());
    OwnerLikeRecording r(44100, 2, std::make_unique<PulseCaptureBackend>(server.address()));
    ASSERT_GE(r.rec.LastDeviceIndex(), 0);
    ASSERT_TRUE(r.start());
    ASSERT_TRUE(test_support::wait_until([&] { return r.block_events >= 1; }, 8000));
    const QString modules =
        server.pactl({QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("modules")});
    QString null_module;
    for (const QString &line : modules.split(QLatin1Char('\n')))
        if (line.section(QLatin1Char('\t'), 1, 1) == QStringLiteral("module-null-sink"))
            null_module = line.section(QLatin1Char('\t'), 0, 0);
    ASSERT_FALSE(null_module.isEmpty()) << modules.toStdString();
    server.pactl({QStringLiteral("unload-module"), null_module});
    EXPECT_TRUE(test_support::wait_until([&] { return r.error_seen_at_event != 0; }, 5000));
    EXPECT_EQ(r.error_seen_at_event, CaptureBackend::device_lost);
    r.stop();
}

TEST(PulseLost, AServerThatComesBackCanBeRecordedAgain)
{
    ASSERT_TRUE(test_support::require_pulse());
    OwnServer server;
    ASSERT_TRUE(server.start());
    OwnerLikeRecording r(44100, 2, std::make_unique<PulseCaptureBackend>(server.address()));
    ASSERT_TRUE(r.start());
    ASSERT_TRUE(test_support::wait_until([&] { return r.block_events >= 1; }, 8000));
    server.kill();
    EXPECT_TRUE(test_support::wait_until([&] { return r.error_seen_at_event != 0; }, 5000));
    EXPECT_EQ(r.error_seen_at_event, CaptureBackend::server_lost);
    EXPECT_TRUE(r.rec.ErrorText().contains(QStringLiteral("sound server")))
        << r.rec.ErrorText().toStdString();
    r.stop();
    ASSERT_TRUE(server.restart());
    EXPECT_TRUE(test_support::wait_until([&] { return r.rec.LastDeviceIndex() >= 0; }, 5000));
    const int events = r.block_events;
    ASSERT_TRUE(r.start());
    EXPECT_TRUE(test_support::wait_until([&] { return r.block_events > events + 1; }, 8000));
    EXPECT_EQ(r.rec.ErrorCode(), 0);
    r.stop();
}
