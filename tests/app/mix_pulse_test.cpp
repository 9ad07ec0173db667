// Recording more than the line: a second source mixed in, and one
// application's playback alone, against the real sound server.
#include "app_harness.h"

#include "pulse/audio_player.h"
#include "recordlist.h"
#include "signal_checks.h"
#include "test_support.h"

#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace
{

using namespace signal_checks;

// A tone's strength over mono[from, from + n), as the amplitude of a sine (Goertzel).
double strength(const std::vector<double> &mono, size_t from, size_t n, double hz, uint32_t rate)
{
    const double w = 2 * M_PI * hz / rate;
    double s1 = 0, s2 = 0;
    for (size_t i = from; i < from + n && i < mono.size(); ++i) {
        const double s0 = mono[i] + 2 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return 2 * std::sqrt(std::max(0.0, s1 * s1 + s2 * s2 - 2 * std::cos(w) * s1 * s2)) /
           static_cast<double>(n);
}

// Where `hz` first reaches half its strength in the middle of the file, in seconds.
double onset(const std::vector<double> &mono, double hz, uint32_t rate, double steady)
{
    const size_t window = rate / 200;
    for (size_t at = 0; at + window < mono.size(); at += window / 4)
        if (strength(mono, at, window, hz, rate) > steady / 2)
            return (static_cast<double>(at) + window / 2.0) / rate;
    return -1;
}

// A player that starts when its sound is written: two of them, written at
// once, start within a millisecond or two of each other.
struct Pacat {
    QProcess process;
    explicit Pacat(const QString &sink)
    {
        process.start(QStringLiteral("pacat"),
                      {QStringLiteral("--raw"), QStringLiteral("--device=") + sink,
                       QStringLiteral("--latency-msec=10"), QStringLiteral("--rate=44100"),
                       QStringLiteral("--channels=2")});
        process.waitForStarted(5000);
    }
    static QByteArray tone(double hz, double amplitude)
    {
        // Half a second of silence, two seconds of tone, half a second of silence.
        QByteArray out(static_cast<qsizetype>(3 * 44100 * 4), 0);
        auto *s = reinterpret_cast<int16_t *>(out.data());
        for (int i = 22050; i < 22050 + 88200; ++i)
            s[2 * i] = s[2 * i + 1] = static_cast<int16_t>(
                std::lround(32767 * amplitude * std::sin(2 * M_PI * hz * i / 44100)));
        return out;
    }
};

struct MixRow {
    const char *name;
    double line_amplitude, second_amplitude;
    int mix_level;
    bool at_levels; // else loud enough for the limiter
};

class MixedRecording : public RecordingToFolder<MixRow>
{
};

TEST_P(MixedRecording, BothSourcesAtTheirLevelsInStepAndNeverClipped)
{
    const MixRow &row = GetParam();
    PrivateSink second;
    ASSERT_TRUE(second.ok());
    put_setting(keys::format::format, QStringLiteral("2"));
    put_setting(keys::source::mix, QStringLiteral("1"));
    put_setting(keys::source::mix_device, second.monitor());
    put_setting(keys::source::mix_level, QString::number(row.mix_level));
    AppOptions options;
    options.real_sound_server = true;
    AppHarness app(options);
    // A null sink renders up to two seconds ahead until a stream with a short
    // latency listens to its monitor, and then in blocks of that latency: 10 ms
    // listeners on both keep the two sinks' blocks within a few ms of each other.
    QProcess listener, listener2;
    listener.setStandardOutputFile(QProcess::nullDevice());
    listener.start(QStringLiteral("parec"),
                   {QStringLiteral("--device=") + second.monitor(),
                    QStringLiteral("--latency-msec=10"), QStringLiteral("--raw")});
    listener2.setStandardOutputFile(QProcess::nullDevice());
    listener2.start(QStringLiteral("parec"),
                    {QStringLiteral("--device=velquor_null.monitor"),
                     QStringLiteral("--latency-msec=10"), QStringLiteral("--raw")});
    QTest::qWait(2500);
    Pacat line(QStringLiteral("velquor_null")), other(second.sink());
    app.click(QStringLiteral("Record"));
    ASSERT_TRUE(app.main->recording);
    EXPECT_TRUE(app.label(QStringLiteral("Format")).contains(QStringLiteral(" + ")));
    QTest::qWait(300);
    const QByteArray a = Pacat::tone(500, row.line_amplitude);
    const QByteArray b = Pacat::tone(1300, row.second_amplitude);
    line.process.write(a);
    other.process.write(b);
    line.process.closeWriteChannel();
    other.process.closeWriteChannel();
    // The event loop feeds both pipes; waiting on one process would starve the other.
    const auto done = [](QProcess &p) { return p.state() == QProcess::NotRunning; };
    ASSERT_TRUE(QTest::qWaitFor([&] { return done(line.process) && done(other.process); }, 10000));
    QTest::qWait(500);
    app.click(QStringLiteral("Stop"));
    listener.kill();
    listener.waitForFinished(3000);
    listener2.kill();
    listener2.waitForFinished(3000);
    ASSERT_EQ(app.list->count(), 1);

    uint32_t rate = 0;
    const std::vector<double> mono = first_channel(app.list->path_of(0), &rate);
    ASSERT_GT(mono.size(), rate * 3u);
    // The middle of the tones: a second after the first's onset.
    const double rough = onset(mono, 500, rate, 0.02);
    ASSERT_GT(rough, 0);
    const auto middle = static_cast<size_t>((rough + 0.5) * rate);
    // Levels as the median of short windows: a slow correction of the second
    // source's pace bends a long window's phase, not what is heard.
    const auto level = [&](double hz) {
        std::vector<double> parts;
        for (size_t at = middle; at < middle + rate; at += rate / 20)
            parts.push_back(strength(mono, at, rate / 20, hz, rate));
        std::nth_element(parts.begin(), parts.begin() + parts.size() / 2, parts.end());
        return parts[parts.size() / 2];
    };
    const double low = level(500), high = level(1300);
    const double in_step = onset(mono, 1300, rate, high) - onset(mono, 500, rate, low);
    RecordProperty("onset_difference_ms", std::to_string(in_step * 1000));
    // PipeWire runs each null sink's graph on a cycle of its own, a quantum
    // (1024 frames at 48 kHz) apart at most.
    const bool pipewire = pactl({QStringLiteral("info")}).contains(QStringLiteral("PipeWire"));
    EXPECT_LT(std::abs(in_step), pipewire ? 0.0215 : 0.010) << "the sources are out of step";
    double loudest = 0;
    for (const double v : mono)
        loudest = std::max(loudest, std::abs(v));
    EXPECT_LT(loudest, 32767.0 / 32768) << "clipped";
    if (row.at_levels) {
        const auto db = [](double x, double ref) { return 20 * std::log10(x / ref); };
        EXPECT_NEAR(db(low, row.line_amplitude), 0, 1.0);
        EXPECT_NEAR(db(high, row.second_amplitude * row.mix_level / 100), 0, 1.0);
    } else {
        // The limiter held the sum: both tones there, the loudest sample inside.
        EXPECT_GT(low, 0.2);
        EXPECT_GT(high, 0.2);
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, MixedRecording,
                         ::testing::Values(MixRow{"at_their_levels", 0.4, 0.5, 60, true},
                                           MixRow{"louder_than_full_scale", 0.8, 0.8, 100, false}),
                         [](const auto &info) { return std::string(info.param.name); });

class MixedRecordingLost : public RecordingToFolder<int>
{
};

class OneApplication : public RecordingToFolder<int>
{
};

// Two programs play at once; only the one chosen is heard, also when it stops
// and starts again, with silence while it is quiet. Velquor's own playback is
// never one of the programs.
TEST_F(OneApplication, OnlyItsStreamsAreRecordedAndFollowedWhenTheyComeBack)
{
    const QString chosen = QStringLiteral("velquor-test-chosen");
    put_setting(keys::format::format, QStringLiteral("2"));
    put_setting(keys::source::application, chosen);
    AppOptions options;
    options.real_sound_server = true;
    AppHarness app(options);
    const QString a = out.filePath(QStringLiteral("a.wav")),
                  b = out.filePath(QStringLiteral("b.wav"));
    const auto make_tone = [](const QString &path, const char *seconds, const char *hz) {
        return test_support::run_tool(
                   QStringLiteral("sox"),
                   {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"),
                    QStringLiteral("-c"), QStringLiteral("2"), path, QStringLiteral("synth"),
                    QLatin1String(seconds), QStringLiteral("sine"), QLatin1String(hz),
                    QStringLiteral("vol"), QStringLiteral("0.5")})
            .exit_code;
    };
    ASSERT_EQ(make_tone(a, "1.5", "700"), 0);
    ASSERT_EQ(make_tone(b, "5", "1500"), 0);
    const auto play = [](const QString &file, const QString &name) {
        auto *p = new QProcess;
        p->start(QStringLiteral("paplay"), {QStringLiteral("--client-name=") + name,
                                            QStringLiteral("--device=velquor_null"), file});
        return std::unique_ptr<QProcess>(p);
    };
    // Not playing yet when the recording starts: silence until it does.
    app.click(QStringLiteral("Record"));
    ASSERT_TRUE(app.main->recording);
    EXPECT_TRUE(
        app.label(QStringLiteral("Format")).endsWith(QLatin1Char('(') + chosen + QLatin1Char(')')));
    QTest::qWait(500);
    auto other = play(b, QStringLiteral("velquor-test-other"));
    auto first = play(a, chosen);
    // Velquor playing too: its own streams are never a program to choose.
    TAudioPlayer2 own;
    own.SetWaveFormat(44100, 2);
    own.PlayArray(SampleArray(44100 * 2, 0));
    own.PlayArray({});
    own.Play();
    QTest::qWait(400);
    const std::vector<QString> playing = app.main->AudioRecord->PlayingApplications();
    EXPECT_NE(std::find(playing.begin(), playing.end(), chosen), playing.end());
    EXPECT_EQ(std::find(playing.begin(), playing.end(), QStringLiteral("Velquor")), playing.end());
    ASSERT_TRUE(first->waitForFinished(10000));
    QTest::qWait(1000);
    auto again = play(a, chosen); // the next track: a new stream of the same program
    ASSERT_TRUE(again->waitForFinished(10000));
    other->waitForFinished(10000);
    QTest::qWait(300);
    app.click(QStringLiteral("Stop"));
    ASSERT_EQ(app.list->count(), 1);

    uint32_t rate = 0;
    const std::vector<double> mono = first_channel(app.list->path_of(0), &rate);
    const double starts = onset(mono, 700, rate, 0.5);
    EXPECT_GT(starts, 0.4) << "the silence before the program played is missing";
    // Its tone twice, a second of silence between; the other program never.
    const auto at = [&](double s) { return static_cast<size_t>(s * rate); };
    // In tenths of a second: the mixer may steer the pace by up to 0.1 % while
    // it places the stream, which over a whole second moves the phase enough
    // to weaken one long measurement, though nothing is heard.
    double tone = 1;
    for (double s = 0.2; s < 1.2; s += 0.1)
        tone = std::min(tone, strength(mono, at(starts + s), rate / 10, 700, rate));
    EXPECT_GT(tone, 0.4);
    const double between = strength(mono, at(starts + 1.7), rate / 2, 700, rate);
    EXPECT_LT(between, 0.05) << "no silence while the program was quiet";
    const double back =
        onset(std::vector<double>(mono.begin() + at(starts + 1.6), mono.end()), 700, rate, 0.5);
    EXPECT_NEAR(back, 1.0, 0.3) << "not followed when it came back";
    const double leak = strength(mono, at(starts + 0.2), rate, 1500, rate);
    RecordProperty("other_program_db",
                   std::to_string(20 * std::log10(std::max(leak, 1e-9) / tone)));
    EXPECT_LT(20 * std::log10(std::max(leak, 1e-9) / tone), -50.0) << "another program is heard";
}

// The second source unplugged: the recording ends as when the line goes.
TEST_F(MixedRecordingLost, TheSecondSourceGoingEndsTheFileWithItsName)
{
    PrivateSink second;
    ASSERT_TRUE(second.ok());
    put_setting(keys::format::format, QStringLiteral("2"));
    put_setting(keys::source::mix, QStringLiteral("1"));
    put_setting(keys::source::mix_device, second.monitor());
    AppOptions options;
    options.real_sound_server = true;
    AppHarness app(options);
    const signal_checks::ServerLogMark server_log;
    app.click(QStringLiteral("Record"));
    ASSERT_TRUE(app.main->recording);
    auto *record = app.main->AudioRecord;
    ASSERT_TRUE(test_support::wait_until(
        [&] { return record->CapturedSamples() >= record->MillisecondsToSamples(1000); }, 8000))
        << "captured " << record->SamplesToMilliseconds(record->CapturedSamples())
        << " ms; the server logged: " << server_log.since().toStdString();
    ASSERT_TRUE(second.unload());
    ASSERT_TRUE(test_support::wait_until([&] { return !app.main->recording; }, 3000));
    ASSERT_TRUE(test_support::wait_until(
        [&] { return app.dialogs->count(QStringLiteral("box")) > 0; }, 3000));
    const QString text = app.dialogs->shown.back().text;
    EXPECT_TRUE(text.contains(second.monitor())) << text.toStdString();
    uint32_t rate = 0;
    EXPECT_GT(first_channel(app.list->path_of(0), &rate).size(), rate * 9 / 10) << "not finished";
}

} // namespace
