// The whole program against the private sound server: a tone played into the
// null sink, recorded from its monitor through the skin's commands.
#include "app_harness.h"

#include "option.h"
#include "pulse/audio_record.h"
#include "recordlist.h"
#include "settings_file.h"
#include "test_support.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <map>

namespace
{

struct Analysis {
    double seconds = 0;
    double frequency = 0;
    double rms = 0;
    int gaps = 0; // stretches of 20 ms or more of silence inside the tone
};

Analysis analyse(const QString &path, double skip_start, double skip_end)
{
    uint32_t file_rate = 0;
    const std::vector<double> mono = first_channel(path, &file_rate);
    const double rate = file_rate;
    Analysis r;
    r.seconds = mono.size() / rate;
    const auto from = static_cast<size_t>(skip_start * rate);
    const auto to = mono.size() > static_cast<size_t>(skip_end * rate)
                        ? mono.size() - static_cast<size_t>(skip_end * rate)
                        : 0;
    if (to <= from + 100)
        return r;
    int crossings = 0;
    double sum = 0;
    int quiet = 0;
    for (size_t i = from + 1; i < to; ++i) {
        if ((mono[i - 1] < 0) != (mono[i] < 0))
            ++crossings;
        sum += mono[i] * mono[i];
        quiet = std::abs(mono[i]) < 0.01 ? quiet + 1 : 0;
        if (quiet == static_cast<int>(0.02 * rate))
            ++r.gaps;
    }
    const double span = (to - from) / rate;
    r.frequency = crossings / 2.0 / span;
    r.rms = std::sqrt(sum / (to - from));
    return r;
}

// The tone stops with the test, however the test ends.
struct Tone {
    qint64 pid;
    ~Tone() { test_support::kill_player(pid); }
};

class EndToEnd : public RecordingToFolder<std::pair<int, const char *>>
{
};

TEST_P(EndToEnd, WhatTheSoundCardHearsEndsUpInTheFile)
{
    put_setting(QStringLiteral("format"), QStringLiteral("format"),
                QString::number(GetParam().first));
    AppOptions options;
    options.real_sound_server = true;
    AppHarness app(options);
    ASSERT_GE(app.option->cb_source->count(), 1);
    EXPECT_TRUE(
        app.option->cb_source->itemText(0).contains(QStringLiteral("Velquor_Null_Output")) ||
        app.option->cb_source->itemText(0).contains(QStringLiteral("Monitor")))
        << app.option->cb_source->itemText(0).toStdString();

    const Tone player{test_support::play_sine(1000.0, 10.0)};
    ASSERT_GT(player.pid, 0);
    QTest::qWait(300);
    QElapsedTimer clock;
    app.click(QStringLiteral("Record"));
    clock.start();
    ASSERT_TRUE(app.main->recording);
    QTest::qWait(4000);
    const double between_clicks = clock.elapsed() / 1000.0;
    app.click(QStringLiteral("Stop"));
    ASSERT_FALSE(app.main->recording);

    const QString path = app.list->path_of(0);
    ASSERT_TRUE(path.endsWith(QLatin1String(GetParam().second))) << path.toStdString();
    // The file holds the sound between the clicks, within one 200 ms block,
    // also when the sound is still on its way from the server at the stop.
    const Analysis a = analyse(path, 0.4, 0.3);
    EXPECT_NEAR(a.seconds, between_clicks, 0.2);
    RecordProperty("between_clicks_s", QString::number(between_clicks, 'f', 3).toStdString());
    RecordProperty("file_s", QString::number(a.seconds, 'f', 3).toStdString());
    EXPECT_NEAR(a.frequency, 1000.0, 15.0);
    EXPECT_NEAR(a.rms, 0.5 / std::sqrt(2.0), 0.08);
    EXPECT_EQ(a.gaps, 0);
    EXPECT_EQ(app.list->length_text_of(0), QStringLiteral("00:00:04"));
    const QString shown = app.label(QStringLiteral("Time"));
    EXPECT_TRUE(shown == QStringLiteral("00:00:00/00:00:03") ||
                shown == QStringLiteral("00:00:00/00:00:04"))
        << shown.toStdString();

    // Other programs read it as long as Velquor does, and its own checker passes it.
    const auto probe = test_support::run_tool(
        QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"),
                                    QStringLiteral("-show_entries"),
                                    QStringLiteral("format=duration"), QStringLiteral("-of"),
                                    QStringLiteral("csv=p=0"), path});
    EXPECT_NEAR(probe.out.trimmed().toDouble(), a.seconds, 0.2) << probe.err.toStdString();
    const std::map<QString, QStringList> checkers = {
        {QStringLiteral(".flac"), {QStringLiteral("flac"), QStringLiteral("-t")}},
        {QStringLiteral(".opus"), {QStringLiteral("opusinfo")}},
        {QStringLiteral(".ogg"), {QStringLiteral("ogginfo")}},
    };
    if (const auto c = checkers.find(QLatin1String(GetParam().second)); c != checkers.end()) {
        const auto checked = test_support::run_tool(c->second[0], c->second.mid(1) << path);
        EXPECT_EQ(checked.exit_code, 0) << (checked.out + checked.err).toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, EndToEnd,
                         ::testing::Values(std::pair{0, ".mp3"}, std::pair{1, ".wma"},
                                           std::pair{2, ".wav"}, std::pair{3, ".ogg"},
                                           std::pair{4, ".flac"}, std::pair{5, ".opus"}),
                         [](const auto &info) { return std::string(info.param.second + 1); });

TEST(EndToEndSchedule, AWindowAFewSecondsAheadRecordsByItself)
{
    ASSERT_TRUE(test_support::require_pulse());
    reset_settings();
    QTemporaryDir out;
    put_setting(QStringLiteral("format"), QStringLiteral("path"), out.path());
    put_setting(QStringLiteral("format"), QStringLiteral("format"), QStringLiteral("2"));
    const QTime now = QTime::currentTime();
    SettingsFile s(QStringLiteral("velquor.ini"));
    s.write_integer(QStringLiteral("schedule"), QStringLiteral("schedule"), 1);
    s.write_time(QStringLiteral("schedule"), QStringLiteral("begin time"), now.addSecs(2));
    s.write_time(QStringLiteral("schedule"), QStringLiteral("end time"), now.addSecs(5));
    if (now.addSecs(5) < now)
        GTEST_SKIP() << "too close to midnight";

    AppOptions options;
    options.real_sound_server = true;
    AppHarness app(options);
    // The program's own timer ticks; the clock follows the real one.
    QTimer follow;
    QObject::connect(&follow, &QTimer::timeout,
                     [&] { app.clock->time = QDateTime::currentDateTime(); });
    follow.start(50);
    const Tone player{test_support::play_sine(500.0, 12.0)};
    ASSERT_TRUE(test_support::wait_until([&] { return app.main->recording; }, 6000));
    EXPECT_TRUE(app.main->scheduled_run);
    const int length = app.main->scheduled_length_s;
    EXPECT_GE(length, 2);
    EXPECT_LE(length, 3);
    ASSERT_TRUE(test_support::wait_until([&] { return !app.main->recording; }, 10000));
    EXPECT_TRUE(app.main->Timer.isActive()) << "every day waits for tomorrow's window";
    const Analysis a = analyse(app.list->path_of(0), 0.3, 0.2);
    EXPECT_NEAR(a.seconds, length, 0.35);
    EXPECT_EQ(app.list->length_text_of(0), QStringLiteral("00:00:0%1").arg(length));
}

TEST(EndToEndLimit, ARollOverEveryTwoSecondsJoinsWithoutAGap)
{
    ASSERT_TRUE(test_support::require_pulse());
    reset_settings();
    QTemporaryDir out;
    put_setting(QStringLiteral("format"), QStringLiteral("path"), out.path());
    put_setting(QStringLiteral("format"), QStringLiteral("format"), QStringLiteral("2"));
    put_setting(QStringLiteral("limit"), QStringLiteral("enable limit"), QStringLiteral("1"));
    put_setting(QStringLiteral("limit"), QStringLiteral("time"), QStringLiteral("2"));
    put_setting(QStringLiteral("limit"), QStringLiteral("new"), QStringLiteral("1"));
    AppOptions options;
    options.real_sound_server = true;
    AppHarness app(options);
    const Tone player{test_support::play_sine(1000.0, 15.0)};
    QTest::qWait(500);
    QElapsedTimer clock;
    app.click(QStringLiteral("Record"));
    clock.start();
    QTest::qWait(9000);
    const double between_clicks = clock.elapsed() / 1000.0;
    app.click(QStringLiteral("Stop"));
    ASSERT_FALSE(app.main->recording);
    ASSERT_GE(app.list->count(), 4);

    // The files one after the other are one unbroken sine.
    std::vector<double> left;
    std::vector<size_t> joins;
    for (int row = 0; row < app.list->count(); ++row) {
        const std::vector<double> part = first_channel(app.list->path_of(row));
        left.insert(left.end(), part.begin(), part.end());
        joins.push_back(left.size());
    }
    joins.pop_back();
    EXPECT_NEAR(left.size() / 44100.0, between_clicks, 0.3);
    ::testing::Test::RecordProperty("between_clicks_s",
                                    QString::number(between_clicks, 'f', 3).toStdString());
    ::testing::Test::RecordProperty("files_s",
                                    QString::number(left.size() / 44100.0, 'f', 3).toStdString());
    ::testing::Test::RecordProperty("files", app.list->count());
    const double c = 2 * std::cos(2 * M_PI * 1000.0 / 44100);
    for (const size_t join : joins) {
        ASSERT_GT(join, 200u);
        double worst = 0;
        for (size_t n = join - 200; n + 1 < left.size() && n < join + 200; ++n)
            worst = std::max(worst, std::abs(left[n + 1] + left[n - 1] - c * left[n]));
        EXPECT_LT(worst / 0.5, 0.1) << "a sample lost or doubled where a file ends";
    }
}

} // namespace

// The real program with its clock moved on a day by libfaketime: a daily
// window records on both days, and once on each.
TEST(EndToEndSchedule, TheRealProgramRecordsEveryDayOncePerDay)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "libfaketime cannot be preloaded ahead of the sanitizer runtime";
#endif
    const QString faketime = QStringLiteral("/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1");
    if (!QFile::exists(faketime))
        GTEST_SKIP() << "libfaketime is not installed";
    ASSERT_TRUE(test_support::require_pulse());
    reset_settings();
    QTemporaryDir out, clock_dir;
    put_setting(keys::format::path, out.path());
    put_setting(keys::format::format, QStringLiteral("2"));
    const QDateTime begin = QDateTime::currentDateTime().addSecs(3);
    if (begin.date() != begin.addSecs(30).date())
        GTEST_SKIP() << "too close to midnight";
    SettingsFile s(QStringLiteral("velquor.ini"));
    s.set_integer(keys::schedule::mode, 1);
    s.set_time(keys::schedule::begin_time, begin.time());
    s.set_time(keys::schedule::end_time, begin.time().addSecs(3));

    const QString offset_file = clock_dir.filePath(QStringLiteral("offset"));
    const auto set_offset = [&](qint64 seconds) {
        QFile f(offset_file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray("+") + QByteArray::number(seconds) + '\n');
    };
    set_offset(0);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LD_PRELOAD"), faketime);
    env.insert(QStringLiteral("FAKETIME_TIMESTAMP_FILE"), offset_file);
    env.insert(QStringLiteral("FAKETIME_NO_CACHE"), QStringLiteral("1"));
    // Timers and the sound server's clocks keep real time; only the wall clock moves.
    env.insert(QStringLiteral("FAKETIME_DONT_FAKE_MONOTONIC"), QStringLiteral("1"));
    QProcess velquor;
    velquor.setProcessEnvironment(env);
    velquor.start(QStringLiteral(VELQUOR_APP_DIR "/velquor"), {});
    ASSERT_TRUE(velquor.waitForStarted(10000));

    const auto files = [&] {
        return QDir(out.path()).entryList({QStringLiteral("*.wav")}, QDir::Files, QDir::Name);
    };
    // A file is done when the next window could come: a few seconds after its end.
    const auto wait_for_files = [&](int n) {
        return test_support::wait_until([&] { return files().size() >= n; }, 15000);
    };
    EXPECT_TRUE(wait_for_files(1));
    QTest::qWait(6000);
    EXPECT_EQ(files().size(), 1) << "the window recorded twice on its day";
    // Tomorrow, two seconds before the window.
    set_offset(QDateTime::currentDateTime().secsTo(begin.addDays(1)) - 2);
    EXPECT_TRUE(wait_for_files(2));
    QTest::qWait(6000);
    velquor.terminate();
    velquor.waitForFinished(10000);

    const QStringList made = files();
    ASSERT_EQ(made.size(), 2);
    EXPECT_EQ(made[0].left(10), begin.date().toString(Qt::ISODate));
    EXPECT_EQ(made[1].left(10), begin.date().addDays(1).toString(Qt::ISODate));
    for (const QString &name : made)
        EXPECT_GE(first_channel(out.filePath(name)).size(), 44100u) << name.toStdString();
}
