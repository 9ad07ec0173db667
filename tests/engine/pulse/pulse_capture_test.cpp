// Capture through the private sound server (label "pulse"): a known sine is
// played into the null sink and recorded from its monitor.

#include "pulse/audio_record.h"
#include "pulse/pulse_capture.h"
#include "signal_checks.h"
#include "test_support.h"

#include <QThread>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>

using namespace signal_checks;

namespace
{

constexpr double tone_hz = 1000.0;
constexpr double tone_amplitude = 0.5;
constexpr int loud = static_cast<int>(32767 * tone_amplitude / 4);
constexpr double amplitude = 32767 * tone_amplitude;

struct Format {
    uint32_t rate;
    int channels;
};

void expect_clean_tone(const SampleArray &mono, const Span &span, uint32_t rate)
{
    ASSERT_TRUE(span.found()) << "the tone never reached the monitor";
    const size_t margin = rate / 100; // 10 ms off each edge of the tone
    ASSERT_GT(span.length(), 4 * margin);
    const size_t from = span.first + margin, to = span.last - margin;
    EXPECT_NEAR(crossing_frequency(mono, from, to, rate), tone_hz, 5.0);
    EXPECT_LT(worst_sine_break(mono, from, to, tone_hz, rate, amplitude), 0.1)
        << "samples were lost or repeated inside the tone";
    EXPECT_NEAR(peak(mono, from, to), amplitude, amplitude * 0.1);
}

} // namespace

class PulseCapture : public ::testing::TestWithParam<Format>
{
};

TEST_P(PulseCapture, RecordsAPlayedToneWholeAndInTime)
{
    ASSERT_TRUE(test_support::require_pulse());
    const Format f = GetParam();
    PrivateSink sink;
    ASSERT_TRUE(sink.ok());
    OwnerLikeRecording r(f.rate, f.channels);
    ASSERT_TRUE(r.select_device(sink.device_name()));
    int level_left = 0, level_right = 0;
    QObject::connect(&r.rec, &TAudioRecord2::OnTimer, [&](QObject *, int, int left, int right) {
        level_left = std::max(level_left, left);
        level_right = std::max(level_right, right);
    });
    ASSERT_TRUE(r.start());
    const qint64 player = sink.play_tone(tone_hz, 1.0, tone_amplitude);
    const int wanted = r.rec.MillisecondsToSamples(2500);
    EXPECT_TRUE(test_support::wait_until([&] { return r.rec.RecordedSamples() >= wanted; }, 12000));
    test_support::kill_player(player);
    const int before_stop = r.block_events;
    const int arrived = r.rec.RecordedSamples();
    r.stop();

    const int recorded = r.rec.RecordedSamples();
    EXPECT_EQ(r.stream.size(), static_cast<size_t>(recorded)); // every sample reached GetArray once
    EXPECT_EQ(r.stream.size() % static_cast<size_t>(f.channels), 0u);
    // One event per whole block that had arrived; the last one may still have
    // been queued at Stop. (The rest of the run came after it.)
    const int blocks = arrived / r.rec.BlockSize();
    EXPECT_LE(before_stop, blocks);
    EXPECT_GE(before_stop, blocks - 1);
    EXPECT_EQ(r.error_seen_at_event, 0);

    // The level display sees the tail of the very stream GetArray gave out.
    const size_t view = 1024 * static_cast<size_t>(f.channels);
    ASSERT_GE(r.stream.size(), view);
    EXPECT_EQ(r.rec.PeekArray(static_cast<int>(view)),
              SampleArray(r.stream.end() - view, r.stream.end()));
    EXPECT_NEAR(level_left, amplitude, amplitude * 0.1);
    EXPECT_NEAR(level_right, amplitude, amplitude * 0.1);

    const SampleArray left = channel(r.stream, f.channels, 0);
    const Span span = loud_span(left, loud);
    expect_clean_tone(left, span, f.rate);
    // The tone lasts 1 s: the same length in ms whatever the channel count.
    EXPECT_NEAR(r.rec.SamplesToMilliseconds(static_cast<int64_t>(span.length()) * f.channels), 1000,
                25);
    if (f.channels == 2) {
        const SampleArray right = channel(r.stream, 2, 1);
        EXPECT_NEAR(peak(right, span.first, span.last), amplitude, amplitude * 0.1);
        int worst = 0;
        for (size_t i = span.first; i <= span.last; ++i)
            worst = std::max(worst, std::abs(left[i] - right[i]));
        EXPECT_LT(worst, 200) << "the channels should carry the same tone";
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, PulseCapture,
                         ::testing::Values(Format{8000, 1}, Format{22050, 2}, Format{44100, 2},
                                           Format{48000, 2}, Format{44100, 1}),
                         [](const auto &info) {
                             return std::to_string(info.param.rate) + "x" +
                                    std::to_string(info.param.channels);
                         });

TEST(PulseCaptureRun, BusyUserInterfaceLosesNothing)
{
    ASSERT_TRUE(test_support::require_pulse());
    PrivateSink sink;
    ASSERT_TRUE(sink.ok());
    OwnerLikeRecording r(44100, 2);
    qint64 player = -1;
    // The tone starts in the first block event, which then keeps the thread busy for 1 s.
    r.on_first_event = [&] { player = sink.play_tone(tone_hz, 1.5, tone_amplitude); };
    r.sleep_ms_in_first_event = 1000;
    ASSERT_TRUE(r.select_device(sink.device_name()));
    ASSERT_TRUE(r.start());
    ASSERT_TRUE(test_support::wait_until([&] { return r.block_events > 0; }, 8000));
    const int wanted = r.rec.MillisecondsToSamples(3000);
    EXPECT_TRUE(test_support::wait_until([&] { return r.rec.RecordedSamples() >= wanted; }, 12000));
    test_support::kill_player(player);
    const int arrived = r.rec.RecordedSamples();
    r.stop();
    EXPECT_EQ(r.stream.size(), static_cast<size_t>(r.rec.RecordedSamples()));
    EXPECT_GE(r.block_events, arrived / r.rec.BlockSize() - 1);
    const SampleArray left = channel(r.stream, 2, 0);
    const Span span = loud_span(left, loud);
    expect_clean_tone(left, span, 44100);
    EXPECT_NEAR(r.rec.SamplesToMilliseconds(static_cast<int64_t>(span.length()) * 2), 1500, 25);
}

TEST(PulseCaptureRun, StopWhileSoundingKeepsTheTail)
{
    ASSERT_TRUE(test_support::require_pulse());
    PrivateSink sink;
    ASSERT_TRUE(sink.ok());
    OwnerLikeRecording r(48000, 2);
    ASSERT_TRUE(r.select_device(sink.device_name()));
    ASSERT_TRUE(r.start());
    const qint64 player = sink.play_tone(tone_hz, 5.0, tone_amplitude);
    const int wanted = r.rec.MillisecondsToSamples(1500);
    EXPECT_TRUE(test_support::wait_until(
        [&] { return r.rec.RecordedSamples() >= wanted && !r.stream.empty(); }, 12000));
    QThread::msleep(300); // samples arrive, nobody looks at them
    r.stop();
    test_support::kill_player(player);
    const int recorded = r.rec.RecordedSamples();
    EXPECT_EQ(r.stream.size(), static_cast<size_t>(recorded));
    const SampleArray left = channel(r.stream, 2, 0);
    const Span span = loud_span(left, loud);
    ASSERT_TRUE(span.found());
    // Still sounding when capture stopped: the tone runs to the very end.
    EXPECT_GE(span.last + 48 + 1, left.size());
    EXPECT_LT(worst_sine_break(left, span.first + 480, left.size(), tone_hz, 48000, amplitude),
              0.1);
    // Counters keep their value after Stop, until the next Start.
    QThread::msleep(100);
    EXPECT_EQ(r.rec.RecordedSamples(), recorded);
    EXPECT_EQ(r.rec.SamplePosition(), recorded);
    EXPECT_EQ(r.rec.PeekArray(2048).size(), 2048u);
}

TEST(PulseCaptureRun, PauseAndResumeContinueTheSameStream)
{
    ASSERT_TRUE(test_support::require_pulse());
    PrivateSink sink;
    ASSERT_TRUE(sink.ok());
    OwnerLikeRecording r(44100, 2);
    ASSERT_TRUE(r.select_device(sink.device_name()));
    int timer_events = 0;
    QObject::connect(&r.rec, &TAudioRecord2::OnTimer, [&](QObject *, int current, int, int) {
        ++timer_events;
        EXPECT_LE(current, r.rec.RecordedSamples());
    });
    ASSERT_TRUE(r.start());
    ASSERT_TRUE(test_support::wait_until([&] { return r.rec.RecordedSamples() > 20000; }, 8000));
    r.end(&TAudioRecord2::Pause);
    const int first_run = r.rec.RecordedSamples();
    test_support::wait_until([] { return false; }, 300);
    EXPECT_EQ(r.rec.RecordedSamples(), first_run);
    const int timer_events_paused = timer_events;
    r.rec.Start();
    ASSERT_EQ(r.rec.ErrorCode(), 0);
    EXPECT_LT(r.rec.RecordedSamples(), first_run);
    ASSERT_TRUE(test_support::wait_until([&] { return r.rec.RecordedSamples() > 20000; }, 8000));
    r.stop();
    EXPECT_EQ(r.stream.size(), static_cast<size_t>(first_run + r.rec.RecordedSamples()));
    EXPECT_GT(timer_events_paused, 0);
    EXPECT_GT(timer_events, timer_events_paused);
}

TEST(PulseCaptureRun, WithoutASelectionRecordsTheDefaultSource)
{
    ASSERT_TRUE(test_support::require_pulse());
    const QString sources =
        pactl({QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sources")});
    QString monitor_index;
    for (const QString &line : sources.split(QLatin1Char('\n')))
        if (line.section(QLatin1Char('\t'), 1, 1) == test_support::null_monitor_source())
            monitor_index = line.section(QLatin1Char('\t'), 0, 0);
    ASSERT_FALSE(monitor_index.isEmpty());

    OwnerLikeRecording r(44100, 2);
    r.rec.LastDeviceIndex(); // browsing devices selects nothing
    r.rec.setDeviceIndex(0);
    ASSERT_TRUE(r.start());
    // Our stream is one of the source outputs on the default source.
    const QString outputs = pactl({QStringLiteral("list"), QStringLiteral("source-outputs")});
    bool found = false;
    for (const QString &block : outputs.split(QStringLiteral("Source Output #"))) {
        if (block.contains(QStringLiteral("\"Velquor recorder\"")) &&
            block.contains(QStringLiteral("Source: ") + monitor_index + QLatin1Char('\n')))
            found = true;
    }
    EXPECT_TRUE(found) << outputs.toStdString();
    r.stop();
}

TEST(PulseCaptureRun, ServerKilledMidCaptureGivesErrorTwoWithoutHanging)
{
    ASSERT_TRUE(test_support::require_pulse());
    OwnServer server;
    ASSERT_TRUE(server.start());
    OwnerLikeRecording r(44100, 2, std::make_unique<PulseCaptureBackend>(server.address()));
    ASSERT_GE(r.rec.LastDeviceIndex(), 0);
    ASSERT_TRUE(r.start());
    ASSERT_TRUE(test_support::wait_until([&] { return r.block_events >= 2; }, 8000));
    const int events_before = r.block_events;
    server.kill();
    EXPECT_TRUE(test_support::wait_until([&] { return r.rec.ErrorCode() == 2; }, 5000));
    // The owner hears of it through its block handler, as it checks ErrorCode there.
    EXPECT_TRUE(test_support::wait_until([&] { return r.error_seen_at_event == 2; }, 5000));
    EXPECT_GT(r.block_events, events_before);
    r.stop();
    EXPECT_EQ(r.stream.size() % 2, 0u);
    EXPECT_LT(r.rec.LastDeviceIndex(), 0);
    r.rec.Start();
    EXPECT_EQ(r.rec.ErrorCode(), 1);
}

TEST(PulseCaptureRun, ServerThatStopsAnsweringNeverHangsTheRecorder)
{
    ASSERT_TRUE(test_support::require_pulse());
    OwnServer server;
    ASSERT_TRUE(server.start());
    OwnerLikeRecording r(44100, 2, std::make_unique<PulseCaptureBackend>(server.address()));
    ASSERT_TRUE(r.start());
    ASSERT_TRUE(test_support::wait_until([&] { return r.block_events >= 1; }, 8000));
    server.freeze(true);
    r.stop(); // its round trip to the server is bounded
    EXPECT_EQ(r.stream.size(), static_cast<size_t>(r.rec.RecordedSamples()));

    // A new connection to the frozen server gives up instead of waiting for ever.
    TAudioRecord2 late(nullptr, std::make_unique<PulseCaptureBackend>(server.address()));
    EXPECT_LT(late.LastDeviceIndex(), 0);
    late.Start();
    EXPECT_EQ(late.ErrorCode(), 1);
    server.freeze(false);
}

TEST(PulseCaptureRun, TakesItsFragmentsAFewAtATimeAndKeepsUpWithTheClock)
{
    ASSERT_TRUE(test_support::require_pulse());
    PrivateSink sink;
    ASSERT_TRUE(sink.ok());
    const qint64 player = sink.play_tone(tone_hz, 8.0, tone_amplitude);
    PulseCaptureBackend backend;
    InputLineInfo line;
    line.source_name = sink.monitor();
    std::atomic<int64_t> frames{0};
    std::atomic<int> rounds{0};
    std::chrono::steady_clock::time_point last{};
    ASSERT_TRUE(backend.start(
        line, 44100, 2,
        [&](const int16_t *, size_t count) {
            // Deliveries within a few ms of each other came in one wake-up.
            const auto now = std::chrono::steady_clock::now();
            if (now - last > std::chrono::milliseconds(5))
                ++rounds;
            last = now;
            frames += static_cast<int64_t>(count / 2);
        },
        [](int, const QString &) {}));
    // A null sink's monitor may give its first sound late; count from there.
    ASSERT_TRUE(test_support::wait_until([&] { return frames > 0; }, 5000));
    const int64_t clock0 = backend.frames_now(), frames0 = frames, rounds0 = rounds;
    ASSERT_TRUE(
        test_support::wait_until([&] { return backend.frames_now() >= clock0 + 3 * 44100; }, 8000));
    const int64_t behind = (backend.frames_now() - clock0) - (frames - frames0);
    const int woken = rounds - rounds0;
    backend.stop();
    test_support::kill_player(player);
    // Every fragment still comes in, a few at a time (20 ms each, 150 in 3 s).
    EXPECT_LT(behind, 44100 / 5) << "the hand-over falls behind the clock";
    EXPECT_LE(woken, 3 * 30) << "woken for every fragment";
    EXPECT_GE(woken, 3 * 5);
}
