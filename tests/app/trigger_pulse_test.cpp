// Sound-activated recording against the sound server: silence, a 700 Hz
// burst, a long silence and a 1100 Hz burst played into the null sink while
// Velquor waits for sound on its monitor.
#include "app_harness.h"

#include "recordlist.h"
#include "signal_checks.h"
#include "test_support.h"

#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

namespace
{

using namespace signal_checks;

struct Burst {
    double frequency;
    double start_s; // in the file
    double length_s;
};

struct TriggerRun {
    const char *name;
    int on_silence;
    std::vector<std::vector<Burst>> files; // the bursts each file must hold, where
};

class TriggeredRecording : public RecordingToFolder<TriggerRun>
{
};

// Where the first stretch of `frequency` begins in mono, in seconds; -1 if nowhere.
double tone_starts(const SampleArray &mono, uint32_t rate, double frequency)
{
    const size_t window = rate / 20;
    for (size_t at = 0; at + window <= mono.size(); at += window / 5)
        if (peak(mono, at, at + window) > 3000 &&
            std::abs(crossing_frequency(mono, at, at + window, rate) - frequency) < 20)
            return static_cast<double>(at) / rate;
    return -1;
}

TEST_P(TriggeredRecording, EachBurstBeginsWithTheKeptSecondsAndTheSilenceIsCut)
{
    put_setting(keys::format::format, QStringLiteral("2"));
    put_setting(keys::trigger::enable, QStringLiteral("1"));
    put_setting(keys::trigger::on_silence, QString::number(GetParam().on_silence));
    const QString signal = out.filePath(QStringLiteral("bursts.wav"));
    ASSERT_EQ(test_support::run_tool(
                  QStringLiteral("sox"),
                  {QStringLiteral("-n"),    QStringLiteral("-r"),    QStringLiteral("44100"),
                   QStringLiteral("-c"),    QStringLiteral("2"),     signal,
                   QStringLiteral("synth"), QStringLiteral("3"),     QStringLiteral("sine"),
                   QStringLiteral("700"),   QStringLiteral("vol"),   QStringLiteral("0"),
                   QStringLiteral(":"),     QStringLiteral("synth"), QStringLiteral("4"),
                   QStringLiteral("sine"),  QStringLiteral("700"),   QStringLiteral("vol"),
                   QStringLiteral("0.5"),   QStringLiteral(":"),     QStringLiteral("synth"),
                   QStringLiteral("8"),     QStringLiteral("sine"),  QStringLiteral("700"),
                   QStringLiteral("vol"),   QStringLiteral("0"),     QStringLiteral(":"),
                   QStringLiteral("synth"), QStringLiteral("3"),     QStringLiteral("sine"),
                   QStringLiteral("1100"),  QStringLiteral("vol"),   QStringLiteral("0.5")})
                  .exit_code,
              0);
    AppOptions options;
    options.real_sound_server = true;
    AppHarness app(options);
    app.click(QStringLiteral("Record"));
    ASSERT_TRUE(app.main->recording);
    EXPECT_EQ(app.label(QStringLiteral("File Name")), QStringLiteral("Waiting for sound"));
    EXPECT_EQ(app.list->count(), 0) << "a file before any sound";
    QProcess player;
    player.start(QStringLiteral("paplay"), {QStringLiteral("--device=velquor_null"), signal});
    ASSERT_TRUE(player.waitForStarted(5000));
    QTest::qWait(1000);
    EXPECT_EQ(app.list->count(), 0);
    ASSERT_TRUE(
        test_support::wait_until([&] { return player.state() == QProcess::NotRunning; }, 30000));
    QTest::qWait(1000);
    app.click(QStringLiteral("Stop"));
    ASSERT_FALSE(app.main->recording);

    const auto &files = GetParam().files;
    ASSERT_EQ(app.list->count(), static_cast<int>(files.size()));
    for (size_t f = 0; f < files.size(); ++f) {
        uint32_t rate = 0;
        std::vector<double> decoded = first_channel(app.list->path_of(static_cast<int>(f)), &rate);
        SampleArray mono(decoded.size());
        for (size_t i = 0; i < decoded.size(); ++i)
            mono[i] = static_cast<int16_t>(std::lround(decoded[i] * 32767));
        for (const Burst &b : files[f]) {
            const double starts = tone_starts(mono, rate, b.frequency);
            EXPECT_NEAR(starts, b.start_s, 0.2) << "file " << f << ", " << b.frequency << " Hz";
            RecordProperty("file" + std::to_string(f) + "_" + std::to_string(int(b.frequency)) +
                               "_starts_s",
                           std::to_string(starts));
            // Kept and live sound join without a missing or doubled sample.
            const auto from = static_cast<size_t>((starts + 0.05) * rate);
            const auto to = static_cast<size_t>((starts + b.length_s - 0.05) * rate);
            ASSERT_LT(to, mono.size()) << "file " << f << " ends inside its burst";
            EXPECT_LT(worst_sine_break(mono, from, to, b.frequency, rate, peak(mono, from, to)),
                      0.3)
                << "file " << f << ", " << b.frequency << " Hz";
        }
    }
}

// Bursts at 3 s (4 s long) and at 15 s (3 s long); 2 s kept, 5 s of silence.
INSTANTIATE_TEST_SUITE_P(
    Modes, TriggeredRecording,
    ::testing::Values(TriggerRun{"next_file", 2, {{{700, 2.0, 4.0}}, {{1100, 2.0, 3.0}}}},
                      // 4 s of sound, then the 8 s silence cut to the 2 s kept.
                      TriggerRun{"pause", 0, {{{700, 2.0, 4.0}, {1100, 8.0, 3.0}}}}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
