// Playback from the main window's commands and seek bar, with a playback
// backend that counts samples as heard only when the test says so, and real
// files made by other programs.
#include "app_harness.h"

#include "audio/audio_file.h"
#include "playback_files.h"
#include "recordlist.h"
#include "skin/skin.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

namespace
{

SampleArray decode(const QString &path)
{
    TAudioFile2 file;
    file.OpenFile(path, 0, 1);
    SampleArray all;
    for (SampleArray a = file.ReadArray(4410); !a.empty(); a = file.ReadArray(4410))
        all.insert(all.end(), a.begin(), a.end());
    return all;
}

class Playback : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    std::unique_ptr<AppHarness> app;
    FakePlaybackBackend *out = nullptr;

    void SetUp() override
    {
        reset_settings();
        AppOptions options;
        options.fake_playback = true;
        app = std::make_unique<AppHarness>(options);
        out = app->playback;
    }
    QString tone(const QString &name, const char *seconds)
    {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(playback_files::sox(path, {"synth", seconds, "sine", "440"}));
        return path;
    }
    void open(const QString &path)
    {
        app->dialogs->open_answers.push_back(path);
        app->click(QStringLiteral("Open"));
    }
    // The fake sound card hears `samples` (all, when -1), in small pulls with
    // the player's events delivered between them.
    void hear(int64_t samples = -1)
    {
        for (int i = 0; i < 100000 && app->main->playing && samples != 0; ++i) {
            if (!out->running())
                break;
            const size_t got = out->advance(samples < 0 ? 400 : std::min<int64_t>(samples, 400));
            if (samples > 0)
                samples -= static_cast<int64_t>(got);
            QCoreApplication::processEvents();
        }
    }
    QString time_text() const { return app->label(QStringLiteral("Time")); }
    bool time_becomes(const char *text)
    {
        return test_support::wait_until([&] { return time_text() == QLatin1String(text); }, 3000);
    }
    // A press and release on the bar at a fraction of its width.
    void drag_bar(double from, double to)
    {
        const QRect bar = element_rect(
            QDir(QStringLiteral(VELQUOR_APP_DIR)).filePath(QStringLiteral("mp3dec.dll")),
            QStringLiteral("ZI3Ruzerudi"), QStringLiteral("Play Bar"));
        QWidget *surface = app->main->childAt(bar.center());
        ASSERT_NE(surface, nullptr);
        const auto at = [&](double f) {
            return surface->mapFrom(app->main,
                                    QPoint(bar.left() + int(f * bar.width()), bar.center().y()));
        };
        QTest::mousePress(surface, Qt::LeftButton, {}, at(from));
        QTest::mouseMove(surface, at(to));
        QTest::mouseRelease(surface, Qt::LeftButton, {}, at(to));
    }
};

TEST_F(Playback, PlayPauseSeekResumeEndAndStop)
{
    const QString path = tone(QStringLiteral("tone.wav"), "5");
    const SampleArray file = decode(path);
    open(path);
    Tfm_main &m = *app->main;
    ASSERT_TRUE(m.playing);
    EXPECT_EQ(app->list->length_text_of(0), QStringLiteral("00:00:05"));
    EXPECT_EQ(app->list->image_of(0), image_playing);
    EXPECT_EQ(app->list->selected_index(), 0);
    EXPECT_EQ(app->label(QStringLiteral("File Name")), QStringLiteral("tone.wav"));
    EXPECT_EQ(app->label(QStringLiteral("Format")), QStringLiteral("WAV  8000 Hz  Mono  16 BIT"));

    hear(8000);
    EXPECT_TRUE(time_becomes("00:00:01/00:00:05"));
    EXPECT_EQ(m.play_bar->GetPosition(), 200);
    app->click(QStringLiteral("Pause"));
    EXPECT_EQ(app->list->image_of(0), image_paused);
    app->click(QStringLiteral("Record"));
    EXPECT_FALSE(m.recording);
    EXPECT_EQ(app->dialogs->shown.back().text, QStringLiteral("Please stop playing first."));
    // Paused, the drag previews the time and the release only moves the place.
    drag_bar(0.3, 0.6);
    EXPECT_EQ(time_text(), QStringLiteral("00:00:03/00:00:05"));
    EXPECT_TRUE(m.play_paused);
    const int64_t seek = (int64_t(m.play_bar->GetPosition()) * int64_t(file.size()) + 500) / 1000;
    app->click(QStringLiteral("Play"));
    EXPECT_EQ(app->list->image_of(0), image_playing);
    hear();
    EXPECT_FALSE(m.playing);
    // Everything heard once, in order: the first second, then from the new place.
    SampleArray expected(file.begin(), file.begin() + 8000);
    expected.insert(expected.end(), file.begin() + seek, file.end());
    EXPECT_EQ(out->output, expected);
    EXPECT_EQ(app->list->image_of(0), image_idle);
    EXPECT_FALSE(m.play_bar->Enabled());
    EXPECT_NE(time_text(), QStringLiteral("00:00:00/00:00:05")) << "the end keeps the last time";

    // Not paused: pressing stops the output, the release plays from there.
    app->click(QStringLiteral("Play"));
    hear(8000);
    out->output.clear();
    drag_bar(0.9, 0.9);
    const int64_t place = (int64_t(m.play_bar->GetPosition()) * int64_t(file.size()) + 500) / 1000;
    hear(800);
    EXPECT_EQ(out->output, SampleArray(file.begin() + place, file.begin() + place + 800));
    app->click(QStringLiteral("Stop"));
    EXPECT_EQ(time_text(), QStringLiteral("00:00:00/00:00:05"));
    EXPECT_FALSE(m.AudioFilePlay->IsOpen());
    // Released at the far end: the same as Stop.
    app->click(QStringLiteral("Play"));
    drag_bar(0.5, 0.999);
    EXPECT_FALSE(m.playing);
    EXPECT_EQ(app->dialogs->count(QStringLiteral("question")), 0);
}

TEST_F(Playback, PlayOnAnotherEntryStopsTheFirstButAPausedFileResumes)
{
    const QString a = tone(QStringLiteral("a.wav"), "2"), b = tone(QStringLiteral("b.wav"), "4");
    open(a);
    open(b);
    Tfm_main &m = *app->main;
    EXPECT_EQ(app->list->image_of(0), image_idle);
    app->click(QStringLiteral("Pause"));
    app->list->select(0);
    app->click(QStringLiteral("Play"));
    EXPECT_EQ(m.play_file, b);
    app->click(QStringLiteral("Play"));
    EXPECT_EQ(m.play_file, a);
    EXPECT_EQ(app->list->image_of(1), image_idle);
    EXPECT_EQ(app->list->image_of(0), image_playing);
    m.recording = true;
    app->click(QStringLiteral("Play"));
    app->click(QStringLiteral("Open"));
    m.recording = false;
    EXPECT_EQ(app->dialogs->shown.back().text, QStringLiteral("Please stop recording first."));
    EXPECT_EQ(app->dialogs->count(QStringLiteral("information")), 2);
    // The dialog opened where the last file was picked.
    app->click(QStringLiteral("Open"));
    EXPECT_EQ(app->dialogs->shown.back().text, dir.path());
    // Deleted while it plays: a pause has to read it again and says so.
    hear(800);
    ASSERT_TRUE(QFile::remove(a));
    app->click(QStringLiteral("Pause"));
    EXPECT_FALSE(m.playing);
    EXPECT_EQ(app->dialogs->shown.back().text, a + QStringLiteral(" has been removed."));
    EXPECT_EQ(app->list->image_of(0), image_idle);
    EXPECT_EQ(app->dialogs->count(QStringLiteral("question")), 0);
}

struct Odd {
    const char *what;
    const char *play_message; // "" when it plays
    const char *open_message; // "" when it plays
};

class OddFiles : public Playback, public ::testing::WithParamInterface<Odd>
{
};

// Each is listed while good, then spoilt, then played and opened again.
TEST_P(OddFiles, AreToldAboutOrPlayedWhole)
{
    const QString what = QLatin1String(GetParam().what);
    const QString path = dir.filePath(QStringLiteral("file.mp3"));
    const QString wav = tone(QStringLiteral("src.wav"), "2.5");
    ASSERT_TRUE(playback_files::run(QStringLiteral("lame"), {"--quiet", "-b", "64", wav, path}));
    open(path);
    app->click(QStringLiteral("Stop"));
    QFile f(path);
    if (what == QLatin1String("removed"))
        f.remove();
    else if (what == QLatin1String("text") && f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write("no sound in here\n");
    else if (what == QLatin1String("empty"))
        f.resize(0);
    else if (what == QLatin1String("cut in a frame"))
        f.resize(f.size() / 2 + 111);
    f.close();
    for (const bool by_open : {false, true}) {
        const size_t shown = app->dialogs->shown.size();
        if (by_open)
            open(path);
        else
            app->click(QStringLiteral("Play"));
        const QString message =
            QLatin1String(by_open ? GetParam().open_message : GetParam().play_message);
        if (message.isEmpty()) {
            ASSERT_TRUE(app->main->playing);
            hear();
            EXPECT_FALSE(app->main->playing) << "ends normally";
            continue;
        }
        EXPECT_FALSE(app->main->playing);
        EXPECT_FALSE(app->main->AudioFilePlay->IsOpen() || app->main->AudioFileRecord->IsOpen());
        ASSERT_EQ(app->dialogs->shown.size(), shown + (by_open ? 2 : 1));
        EXPECT_EQ(app->dialogs->shown.back().text, path + message);
        EXPECT_EQ(app->dialogs->shown.back().caption,
                  by_open ? QStringLiteral("Information") : QString());
    }
    EXPECT_EQ(app->list->count(), GetParam().open_message[0] ? 1 : 2);
    EXPECT_EQ(app->list->image_of(0), image_idle);
    EXPECT_EQ(app->dialogs->count(QStringLiteral("question")), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, OddFiles,
    ::testing::Values(Odd{"removed", " has been removed.", " is an invalid audio file!"},
                      Odd{"text", " is an invalid file.", " is an invalid audio file!"},
                      Odd{"empty", " is an invalid file.", " is an invalid audio file!"},
                      Odd{"cut in a frame", "", ""}),
    [](const auto &info) { return std::string(info.param.what).substr(0, 3); });

TEST_F(Playback, ShortAndVariableBitRateFilesShowTheirTrueLength)
{
    // Under a second: the bar runs by milliseconds to its end instead of
    // standing at -1.
    open(tone(QStringLiteral("blip.wav"), "0.6"));
    hear(4800);
    EXPECT_TRUE(
        test_support::wait_until([&] { return app->main->play_bar->GetPosition() == 1000; }));
    EXPECT_EQ(time_text(), QStringLiteral("00:00:00/00:00:00"));
    app->click(QStringLiteral("Stop"));
    // A quiet start makes the first frame small: a length guessed from it
    // (without a Xing header) would be a second too long.
    const QString wav = dir.filePath(QStringLiteral("src.wav"));
    ASSERT_TRUE(playback_files::sox(wav,
                                    {"synth", "2.5", "sine", "1000", "gain", "-6", ":", "synth",
                                     "2.5", "whitenoise", "gain", "-6"},
                                    44100, 2));
    const QString mp3 = dir.filePath(QStringLiteral("vbr.mp3"));
    ASSERT_TRUE(
        playback_files::run(QStringLiteral("lame"), {"--quiet", "-V", "2", "-t", wav, mp3}));
    ASSERT_NEAR(playback_files::ffprobe_seconds(mp3), 5.1, 0.1);
    open(mp3);
    EXPECT_EQ(app->list->length_text_of(1), QStringLiteral("00:00:05"));
    const auto total = static_cast<size_t>(app->main->AudioFilePlay->TotalSamples());
    out->output.clear();
    hear();
    EXPECT_EQ(out->output.size(), total);
}

} // namespace
