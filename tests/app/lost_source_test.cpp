// The whole program recording from a sound server of the test's own, which
// then loses its only sink or dies (and may come back on the same socket).
#include "app_harness.h"

#include "audio/audio_file.h"
#include "recordlist.h"
#include "signal_checks.h"
#include "test_support.h"

#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

namespace
{

using signal_checks::OwnServer;

// The program talks to `server` for as long as it lives.
struct ServerEnvironment {
    QByteArray old = qgetenv("PULSE_SERVER");
    explicit ServerEnvironment(const OwnServer &server)
    {
        qputenv("PULSE_SERVER", server.address().toUtf8());
    }
    ~ServerEnvironment() { qputenv("PULSE_SERVER", old); }
};

int playable_ms(const QString &path)
{
    TAudioFile2 file;
    file.OpenFile(path, 0, 1);
    const int ms = file.TotalSamples() > 0 ? file.Duration() : 0;
    file.CloseFile();
    return ms;
}

enum class Loss {
    sink_unloaded,
    server_killed,
    server_restarted,
    // The session's PipeWire stays, its pulse server goes (and comes back).
    pipewire_pulse_killed,
    pipewire_pulse_restarted
};

class LostSource : public RecordingToFolder<Loss>
{
protected:
    void SetUp() override
    {
        RecordingToFolder::SetUp();
        put_setting(QStringLiteral("format"), QStringLiteral("format"), QStringLiteral("2"));
    }
};

TEST_P(LostSource, TheFileIsFinishedAndTheUserTold)
{
    const bool pipewire_pulse =
        GetParam() == Loss::pipewire_pulse_killed || GetParam() == Loss::pipewire_pulse_restarted;
    if (pipewire_pulse && qgetenv("VELQUOR_TEST_SERVER") != "pipewire")
        GTEST_SKIP() << "needs the PipeWire session of scripts/with-pipewire.sh";
    OwnServer server(pipewire_pulse);
    ASSERT_TRUE(server.start());
    const ServerEnvironment env(server);
    put_setting(QStringLiteral("source"), QStringLiteral("device name"), server.monitor());
    AppOptions options;
    options.real_sound_server = true;
    AppHarness app(options);
    app.click(QStringLiteral("Record"));
    ASSERT_TRUE(app.main->recording);
    const QString file = app.main->recording_file();
    auto *record = app.main->AudioRecord;
    ASSERT_TRUE(test_support::wait_until(
        [&] { return record->CapturedSamples() >= record->MillisecondsToSamples(1000); }, 8000));

    QElapsedTimer clock;
    clock.start();
    switch (GetParam()) {
    case Loss::sink_unloaded: {
        const QString modules = server.pactl(
            {QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("modules")});
        for (const QString &line : modules.split(QLatin1Char('\n')))
            if (line.section(QLatin1Char('\t'), 1, 1) == QStringLiteral("module-null-sink"))
                server.pactl(
                    {QStringLiteral("unload-module"), line.section(QLatin1Char('\t'), 0, 0)});
        break;
    }
    case Loss::server_killed:
    case Loss::server_restarted:
    case Loss::pipewire_pulse_killed:
    case Loss::pipewire_pulse_restarted:
        server.kill();
        break;
    }
    ASSERT_TRUE(test_support::wait_until([&] { return !app.main->recording; }, 5000));
    EXPECT_LT(clock.elapsed(), 3000);
    // Finished as by a stop: playable, with its length, idle.
    EXPECT_GT(playable_ms(file), 900);
    EXPECT_NE(app.list->length_text_of(0), QStringLiteral("__:__:__"));
    EXPECT_EQ(app.list->image_of(0), image_idle);
    const QString time_shown = app.label(QStringLiteral("Time"));

    if (GetParam() == Loss::server_restarted || GetParam() == Loss::pipewire_pulse_restarted) {
        ASSERT_TRUE(server.restart());
        ASSERT_TRUE(test_support::wait_until([&] { return app.main->recording; }, 12000))
            << "the recording goes on once the server is back";
        EXPECT_EQ(app.list->count(), 2);
        EXPECT_NE(app.main->recording_file(), file);
        EXPECT_EQ(app.dialogs->count(QStringLiteral("box")), 0);
        app.click(QStringLiteral("Stop"));
        return;
    }
    // Told within 3 s for a device, after the 10 s wait for a server.
    const int bound = GetParam() == Loss::sink_unloaded ? 3000 : 14000;
    ASSERT_TRUE(test_support::wait_until(
        [&] { return app.dialogs->count(QStringLiteral("box")) > 0; }, bound));
    const QString text = app.dialogs->shown.back().text;
    EXPECT_TRUE(text.contains(file)) << text.toStdString();
    if (GetParam() == Loss::sink_unloaded)
        EXPECT_TRUE(text.contains(QStringLiteral("is no longer available"))) << text.toStdString();
    else
        EXPECT_TRUE(text.contains(QStringLiteral("sound server"))) << text.toStdString();
    EXPECT_FALSE(app.main->recording);
    EXPECT_EQ(app.label(QStringLiteral("Time")), time_shown) << "the time display stopped";
}

INSTANTIATE_TEST_SUITE_P(Losses, LostSource,
                         ::testing::Values(Loss::sink_unloaded, Loss::server_killed,
                                           Loss::server_restarted, Loss::pipewire_pulse_killed,
                                           Loss::pipewire_pulse_restarted),
                         [](const auto &info) {
                             switch (info.param) {
                             case Loss::sink_unloaded:
                                 return std::string("SinkUnloaded");
                             case Loss::server_killed:
                                 return std::string("ServerKilled");
                             case Loss::server_restarted:
                                 return std::string("ServerRestarted");
                             case Loss::pipewire_pulse_killed:
                                 return std::string("PipewirePulseKilled");
                             default:
                                 return std::string("PipewirePulseRestarted");
                             }
                         });

} // namespace
