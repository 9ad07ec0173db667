// Which part of the sound a recording holds: a tone that steps to a new
// frequency every half second plays into a null sink of the test's own, and
// "Record" and "Stop" are clicked at measured moments; each file must begin
// and end with the step that was playing at its click, within one block.
#include "app_harness.h"

#include "recordlist.h"
#include "signal_checks.h"
#include "test_support.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace
{

constexpr int rate = 44100;
constexpr double step_s = 0.5;
constexpr int steps = 24;
constexpr double block_s = 0.2;

double step_frequency(int k)
{
    return 400.0 + 60.0 * k;
}

// The stepped tone, stereo 16 bit, phase continuous across the steps.
QByteArray stepped_tone()
{
    const auto frames = static_cast<int64_t>(steps * step_s * rate);
    QByteArray data(static_cast<qsizetype>(frames * 4), Qt::Uninitialized);
    auto *out = reinterpret_cast<int16_t *>(data.data());
    double phase = 0;
    for (int64_t i = 0; i < frames; ++i) {
        const int k = static_cast<int>(static_cast<double>(i) / (step_s * rate));
        phase += 2 * M_PI * step_frequency(k) / rate;
        const auto v = static_cast<int16_t>(std::lround(0.5 * 32767 * std::sin(phase)));
        out[2 * i] = out[2 * i + 1] = v;
    }
    return data;
}

// The step index of each 20 ms window (10 ms apart) of `mono`, -1 where no
// step's frequency dominates.
std::vector<int> classify(const std::vector<double> &mono, uint32_t file_rate)
{
    const size_t window = file_rate / 50, hop = file_rate / 100;
    std::vector<int> out;
    for (size_t at = 0; at + window <= mono.size(); at += hop) {
        double energy = 0;
        for (size_t i = at; i < at + window; ++i)
            energy += mono[i] * mono[i];
        int best = -1;
        double best_power = 0;
        for (int k = 0; k < steps; ++k) {
            const double c = 2 * std::cos(2 * M_PI * step_frequency(k) / file_rate);
            double s1 = 0, s2 = 0;
            for (size_t i = at; i < at + window; ++i) {
                const double s0 = mono[i] + c * s1 - s2;
                s2 = s1;
                s1 = s0;
            }
            const double power = (s1 * s1 + s2 * s2 - c * s1 * s2) * 2 / window;
            if (power > best_power) {
                best_power = power;
                best = k;
            }
        }
        out.push_back(best_power > 0.5 * energy && energy > 0 ? best : -1);
    }
    return out;
}

struct Placement {
    bool found = false;
    double begin_s = 0;  // the signal's time at the file's first sample
    double length_s = 0; // of the file
    double spread_s = 0; // how far the step changes disagree about begin_s
    int changes = 0;
    int tonal_windows = 0; // of `windows`
    int windows = 0;
};

// Where in the stepped tone a file lies, from the step changes inside it.
Placement place(const QString &path)
{
    uint32_t file_rate = 0;
    const std::vector<double> mono = first_channel(path, &file_rate);
    Placement p;
    if (file_rate == 0)
        return p;
    p.length_s = static_cast<double>(mono.size()) / file_rate;
    const std::vector<int> k = classify(mono, file_rate);
    p.windows = static_cast<int>(k.size());
    p.tonal_windows =
        static_cast<int>(std::count_if(k.begin(), k.end(), [](int i) { return i >= 0; }));
    std::vector<double> begins;
    // A change from step j to j + 1, perhaps through a window or two that
    // hold both: the boundary lies halfway between the windows' middles.
    int last = -1;
    size_t last_at = 0;
    for (size_t w = 0; w < k.size(); ++w) {
        if (k[w] < 0)
            continue;
        if (last >= 0 && k[w] == last + 1 && w - last_at <= 3) {
            const double in_file = (w + last_at) * 0.5 * 0.01 + 0.01;
            begins.push_back(k[w] * step_s - in_file);
        }
        last = k[w];
        last_at = w;
    }
    if (begins.empty())
        return p;
    std::sort(begins.begin(), begins.end());
    p.found = true;
    p.changes = static_cast<int>(begins.size());
    p.begin_s = begins[begins.size() / 2];
    p.spread_s = std::max(p.begin_s - begins.front(), begins.back() - p.begin_s);
    return p;
}

class SteppedSignal : public RecordingToFolder<std::tuple<std::pair<int, const char *>, int>>
{
};

TEST_P(SteppedSignal, TheFileBeginsAndEndsWithTheSoundOfTheClicks)
{
    const auto [format, latency_ms] = GetParam();
    signal_checks::PrivateSink sink; // none of the other tests plays into it
    ASSERT_TRUE(sink.ok());
    put_setting(QStringLiteral("format"), QStringLiteral("format"), QString::number(format.first));
    put_setting(QStringLiteral("source"), QStringLiteral("device name"), sink.monitor());
    QFile tone(out.filePath(QStringLiteral("steps.raw")));
    ASSERT_TRUE(tone.open(QIODevice::WriteOnly));
    tone.write(stepped_tone());
    tone.close();

    AppOptions options;
    options.real_sound_server = true;
    AppHarness app(options);

    // A listener of the test's own on the monitor tells when the tone's first
    // sample had arrived at the latest; the player's start is the earliest.
    QProcess listener;
    listener.start(QStringLiteral("parec"),
                   {QStringLiteral("--raw"), QStringLiteral("--latency-msec=10"),
                    QStringLiteral("--device=") + sink.monitor(), QStringLiteral("--rate=44100"),
                    QStringLiteral("--channels=2"), QStringLiteral("--format=s16le")});
    ASSERT_TRUE(listener.waitForStarted(5000));
    for (QElapsedTimer w; !w.isValid() || w.elapsed() < 2500;) {
        if (!w.isValid())
            w.start();
        if (listener.waitForReadyRead(100) && !listener.readAllStandardOutput().isEmpty())
            break;
    }
    QStringList args{QStringLiteral("--raw"), QStringLiteral("--device=") + sink.sink(),
                     QStringLiteral("--format=s16le"), QStringLiteral("--rate=44100"),
                     QStringLiteral("--channels=2")};
    if (latency_ms > 0)
        args << QStringLiteral("--latency-msec=%1").arg(latency_ms);
    QElapsedTimer clock;
    qint64 pid = -1;
    clock.start();
    ASSERT_TRUE(QProcess::startDetached(QStringLiteral("paplay"), args << tone.fileName(),
                                        QString(), &pid));
    struct Player {
        qint64 pid;
        ~Player() { test_support::kill_player(pid); }
    } const player{pid};
    double onset_latest = -1;
    while (onset_latest < 0 && clock.elapsed() < 5000) {
        if (!listener.waitForReadyRead(50))
            continue;
        const double now = clock.elapsed() / 1000.0;
        const QByteArray bytes = listener.readAllStandardOutput();
        const auto *s = reinterpret_cast<const int16_t *>(bytes.constData());
        for (qsizetype i = 0; i < bytes.size() / 2; ++i)
            if (std::abs(s[i]) > 4000) {
                onset_latest = now;
                break;
            }
    }
    listener.kill();
    listener.waitForFinished(2000);
    ASSERT_GE(onset_latest, 0) << "the tone never reached the monitor";

    // Both clicks inside the tone, each some way from a step change.
    QTest::qWait(1200);
    const double record_at = clock.elapsed() / 1000.0;
    app.click(QStringLiteral("Record"));
    ASSERT_TRUE(app.main->recording);
    QTest::qWait(3100);
    const double stop_at = clock.elapsed() / 1000.0;
    app.click(QStringLiteral("Stop"));
    ASSERT_FALSE(app.main->recording);
    ASSERT_LT(stop_at + 1, steps * step_s) << "the machine is too slow for the tone's length";

    const QString path = app.list->path_of(0);
    ASSERT_TRUE(path.endsWith(QLatin1String(format.second))) << path.toStdString();
    const Placement p = place(path);
    ASSERT_TRUE(p.found) << "no step change recognised in " << path.toStdString() << ": "
                         << p.length_s << " s, " << p.tonal_windows << " of " << p.windows
                         << " windows tonal";
    // One unbroken piece of the tone: every change agrees where the file starts.
    EXPECT_GE(p.changes, 5);
    EXPECT_LT(p.spread_s, 0.05);
    // The tone's time at a wall moment t lies in [t - onset_latest, t - 0].
    const double begin_low = record_at - onset_latest - block_s;
    const double begin_high = record_at + block_s;
    EXPECT_GE(p.begin_s, begin_low) << "the file begins with sound from before the click";
    EXPECT_LE(p.begin_s, begin_high) << "the file misses the sound of the click";
    const double end_s = p.begin_s + p.length_s;
    EXPECT_GE(end_s, stop_at - onset_latest - block_s) << "the file ends before the stop";
    EXPECT_LE(end_s, stop_at + block_s) << "the file runs on past the stop";
    RecordProperty("onset_latest_s", QString::number(onset_latest, 'f', 3).toStdString());
    RecordProperty("record_at_s", QString::number(record_at, 'f', 3).toStdString());
    RecordProperty("stop_at_s", QString::number(stop_at, 'f', 3).toStdString());
    RecordProperty("file_begin_s", QString::number(p.begin_s, 'f', 3).toStdString());
    RecordProperty("file_end_s", QString::number(end_s, 'f', 3).toStdString());
}

INSTANTIATE_TEST_SUITE_P(
    FormatsAndPlayers, SteppedSignal,
    ::testing::Combine(::testing::Values(std::pair{0, ".mp3"}, std::pair{1, ".wma"},
                                         std::pair{2, ".wav"}, std::pair{3, ".ogg"}),
                       ::testing::Values(0, 20)),
    [](const auto &info) {
        return std::string(std::get<0>(info.param).second + 1) +
               (std::get<1>(info.param) == 0 ? "DefaultPlayer" : "LowLatencyPlayer");
    });

} // namespace
