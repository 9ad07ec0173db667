// Desktop players and media keys: playerctl against the real program, which
// plays a file it recorded; the sound is listened for on the null sink's
// monitor and PropertiesChanged watched with dbus-monitor.
#include "desktop_session.h"

#include "test_support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <QUrl>
#include <cmath>
#include <gtest/gtest.h>

namespace
{

struct PlayerRow {
    const char *name;
    const char *from; // the status brought about first
    std::vector<const char *> command;
    const char *status;
    bool heard;
    double position_from = -1, position_to = -1; // seconds, after the command
    bool metadata = false;                       // the command prints url|length|title
};

class Mpris : public ::testing::TestWithParam<PlayerRow>
{
protected:
    static inline std::unique_ptr<DesktopSession> session;
    static inline QProcess *monitor = nullptr;
    static inline QProcess *listener = nullptr;
    static inline QString file;

    static void SetUpTestSuite()
    {
        if (!test_support::require_pulse())
            return;
        session = std::make_unique<DesktopSession>(false);
        session->write_settings();
        if (!session->start_velquor())
            return;
        // A file in the list: four seconds of a tone another program plays, recorded.
        const QString tone = session->path(QStringLiteral("tone.wav"));
        session->run(QStringLiteral("sox"),
                     {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"),
                      QStringLiteral("-c"), QStringLiteral("2"), tone, QStringLiteral("synth"),
                      QStringLiteral("6"), QStringLiteral("sine"), QStringLiteral("440"),
                      QStringLiteral("vol"), QStringLiteral("0.5")});
        QProcess *player = session->start(
            QStringLiteral("paplay"), {QStringLiteral("-d"), QStringLiteral("velquor_null"), tone});
        QThread::msleep(500);
        session->velquor({QStringLiteral("--record")});
        QThread::msleep(4000);
        session->velquor({QStringLiteral("--stop")});
        player->waitForFinished(10000);
        const QStringList files = QDir(session->out_folder()).entryList(QDir::Files);
        if (files.size() == 1)
            file = QDir(session->out_folder()).filePath(files.first());
        monitor = session->start(
            QStringLiteral("dbus-monitor"),
            {QStringLiteral("--address"), session->bus_address,
             QStringLiteral("type='signal',interface='org.freedesktop.DBus.Properties',"
                            "member='PropertiesChanged',path='/org/mpris/MediaPlayer2'")});
        listener =
            session->start(QStringLiteral("parec"),
                           {QStringLiteral("-d"), QStringLiteral("velquor_null.monitor"),
                            QStringLiteral("--format=s16le"), QStringLiteral("--rate=8000"),
                            QStringLiteral("--channels=1"), QStringLiteral("--latency-msec=50")});
    }
    static void TearDownTestSuite() { session.reset(); }

    static QString playerctl(const QStringList &args)
    {
        return session
            ->run(QStringLiteral("playerctl"),
                  QStringList{QStringLiteral("-p"), QStringLiteral("velquor")} + args)
            .out.trimmed();
    }
    static bool status_becomes(const QString &status)
    {
        return test_support::wait_until(
            [&] { return playerctl({QStringLiteral("status")}) == status; }, 5000);
    }
    // The loudest 100 ms of the next half second on the sink, in dB of full scale.
    // What the pipe holds from before: the listener is read only here.
    static void drain()
    {
        for (int i = 0; i < 200 && listener->waitForReadyRead(20); ++i)
            listener->readAllStandardOutput();
        listener->readAllStandardOutput();
    }
    static double loudness()
    {
        drain();
        QThread::msleep(400); // what was on its way at the command
        drain();
        QByteArray heard;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 500) {
            listener->waitForReadyRead(100);
            heard += listener->readAllStandardOutput();
        }
        const auto *samples = reinterpret_cast<const int16_t *>(heard.constData());
        const qsizetype count = heard.size() / 2;
        double loudest = -200;
        for (qsizetype start = 0; start + 800 <= count; start += 800) {
            double sum = 0;
            for (qsizetype i = start; i < start + 800; ++i)
                sum += double(samples[i]) * samples[i];
            loudest = std::max(loudest, 10 * std::log10(sum / 800 / (32768.0 * 32768.0) + 1e-20));
        }
        return loudest;
    }
};

TEST_P(Mpris, PlayerctlDrivesThePlaybackOfTheListedFile)
{
    const PlayerRow &row = GetParam();
    ASSERT_TRUE(session && !file.isEmpty()) << "no recording to play";
    const QString from = QString::fromLatin1(row.from);
    if (from == QLatin1String("Stopped")) {
        playerctl({QStringLiteral("stop")});
    } else {
        playerctl({QStringLiteral("play")});
        ASSERT_TRUE(status_becomes(QStringLiteral("Playing")));
        playerctl({QStringLiteral("position"), QStringLiteral("0")});
        if (from == QLatin1String("Paused"))
            playerctl({QStringLiteral("pause")});
    }
    ASSERT_TRUE(status_becomes(from));
    monitor->readAllStandardOutput();

    QStringList args;
    for (const char *a : row.command)
        args << QString::fromLatin1(a);
    const QString out = playerctl(args);
    ASSERT_TRUE(status_becomes(QString::fromLatin1(row.status)));
    const double db = loudness();
    EXPECT_EQ(db > -40, row.heard) << db << " dB";
    if (row.position_from >= 0) {
        const double at = playerctl({QStringLiteral("position")}).toDouble();
        EXPECT_GE(at, row.position_from);
        EXPECT_LE(at, row.position_to);
    }
    if (row.metadata) {
        const QStringList parts = out.split(QLatin1Char('|'));
        ASSERT_EQ(parts.size(), 3) << out.toStdString();
        EXPECT_EQ(parts[0], QUrl::fromLocalFile(file).toString());
        EXPECT_NEAR(parts[1].toDouble() / 1e6, 4.0, 0.4);
        EXPECT_EQ(parts[2], QFileInfo(file).fileName());
    }
    if (from != QLatin1String(row.status)) {
        monitor->waitForReadyRead(1000);
        const QString seen = QString::fromUtf8(monitor->readAllStandardOutput());
        EXPECT_TRUE(seen.contains(QStringLiteral("\"PlaybackStatus\"")) &&
                    seen.contains(QStringLiteral("\"%1\"").arg(QLatin1String(row.status))))
            << seen.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Steps, Mpris,
    ::testing::Values(
        PlayerRow{"PlayPauseWhenStoppedPlays", "Stopped", {"play-pause"}, "Playing", true},
        PlayerRow{"PlayPauseWhilePlayingPauses", "Playing", {"play-pause"}, "Paused", false},
        PlayerRow{"PlayWhilePausedResumes", "Paused", {"play"}, "Playing", true},
        PlayerRow{"StopWhilePlayingStops", "Playing", {"stop"}, "Stopped", false},
        PlayerRow{
            "PositionJumpsWithinTheFile", "Playing", {"position", "2"}, "Playing", true, 2.0, 3.6},
        PlayerRow{"MetadataNamesTheListedFile",
                  "Stopped",
                  {"metadata", "--format", "{{xesam:url}}|{{mpris:length}}|{{xesam:title}}"},
                  "Stopped",
                  false,
                  -1,
                  -1,
                  true}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
