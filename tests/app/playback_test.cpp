// Playback from the main window's commands and seek bar, with a playback
// backend that counts samples as heard only when the test says so, and real
// files made by other programs.
#include "app_harness.h"

#include "audio/audio_file.h"
#include "fake_playback_backend.h"
#include "playback_files.h"
#include "recordlist.h"
#include "skin/skin.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

namespace
{

SampleArray decode_all(const QString &path)
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
    QString make(const QString &name, const QStringList &sox_effects, int rate = 8000,
                 int channels = 1, int bits = 16)
    {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(playback_files::sox(path, sox_effects, rate, channels, bits))
            << name.toStdString();
        return path;
    }
    void open(const QString &path)
    {
        app->dialogs->open_answers.push_back(path);
        app->click(QStringLiteral("Open"));
    }
    // Lets the fake sound card hear `samples`, in small pulls with the
    // player's events delivered between them.
    void hear(int64_t samples)
    {
        while (samples > 0 && out->running()) {
            const size_t got = out->advance(static_cast<size_t>(std::min<int64_t>(samples, 400)));
            QCoreApplication::processEvents();
            if (got == 0 && !out->end_seen)
                break;
            samples -= static_cast<int64_t>(got);
        }
    }
    // Plays on to the end of the file; true when the end of play came.
    bool hear_to_end()
    {
        for (int i = 0; i < 100000 && app->main->playing; ++i) {
            if (out->running() && !out->end_seen)
                out->advance(400);
            else
                out->finish_drain();
            QCoreApplication::processEvents();
        }
        return !app->main->playing;
    }
    QString time_text() const { return app->label(QStringLiteral("Time")); }
    bool time_becomes(const QString &text)
    {
        return test_support::wait_until([&] { return time_text() == text; }, 3000);
    }
};

TEST_F(Playback, PlayPauseResumeAndTheEndHearEveryFrameOnceInOrder)
{
    const QString path = make(QStringLiteral("tone.wav"), {"synth", "3", "sine", "440"});
    const SampleArray file = decode_all(path);
    open(path);
    Tfm_main &m = *app->main;
    ASSERT_TRUE(m.playing);
    EXPECT_EQ(m.current_item_index, 0);
    EXPECT_EQ(app->list->length_text_of(0), QStringLiteral("00:00:03"));
    EXPECT_EQ(app->list->image_of(0), image_playing);
    EXPECT_EQ(app->list->selected_index(), 0);
    EXPECT_EQ(app->label(QStringLiteral("File Name")), QStringLiteral("tone.wav"));
    EXPECT_EQ(app->label(QStringLiteral("Format")), QStringLiteral("WAV  8000 Hz  Mono  16 BIT"));
    EXPECT_TRUE(m.play_bar->Enabled());
    EXPECT_EQ(out->rate, 8000u);
    EXPECT_EQ(out->channels, 1);

    hear(8000);
    EXPECT_TRUE(time_becomes(QStringLiteral("00:00:01/00:00:03")));
    EXPECT_EQ(m.play_bar->GetPosition(), 333);

    app->click(QStringLiteral("Pause"));
    EXPECT_TRUE(m.play_paused);
    EXPECT_EQ(app->list->image_of(0), image_paused);
    app->click(QStringLiteral("Record"));
    EXPECT_FALSE(m.recording);
    ASSERT_EQ(app->dialogs->count(QStringLiteral("information")), 1);
    EXPECT_EQ(app->dialogs->shown.back().text, QStringLiteral("Please stop playing first."));

    app->click(QStringLiteral("Play"));
    EXPECT_FALSE(m.play_paused);
    EXPECT_EQ(app->list->image_of(0), image_playing);
    hear(4000);
    EXPECT_TRUE(time_becomes(QStringLiteral("00:00:01/00:00:03")) ||
                time_becomes(QStringLiteral("00:00:02/00:00:03")));
    ASSERT_TRUE(hear_to_end());
    // What was queued but not heard at the pause is played after it, not lost.
    EXPECT_EQ(out->output, file);
    EXPECT_EQ(app->list->image_of(0), image_idle);
    EXPECT_FALSE(m.play_bar->Enabled());
    EXPECT_EQ(m.play_bar->GetPosition(), 0);
    EXPECT_TRUE(time_text().startsWith(QStringLiteral("00:00:0"))) << time_text().toStdString();
    EXPECT_NE(time_text(), QStringLiteral("00:00:00/00:00:03"));
    EXPECT_EQ(m.play_offset, 0);

    // Played again, then stopped: the time goes back to zero of the total.
    app->click(QStringLiteral("Play"));
    ASSERT_TRUE(m.playing);
    hear(8000);
    app->click(QStringLiteral("Stop"));
    EXPECT_FALSE(m.playing);
    EXPECT_EQ(time_text(), QStringLiteral("00:00:00/00:00:03"));
    EXPECT_EQ(app->list->image_of(0), image_idle);
    EXPECT_FALSE(m.AudioFilePlay->IsOpen());
    EXPECT_EQ(app->dialogs->count(QStringLiteral("question")), 0);
}

TEST_F(Playback, TheBarSeeksWhilePlayingAndWhilePausedAndStopsAtItsEnd)
{
    const QString path = make(QStringLiteral("ramp.wav"), {"synth", "5", "sine", "300"});
    const SampleArray file = decode_all(path);
    open(path);
    Tfm_main &m = *app->main;
    ASSERT_TRUE(m.playing);
    hear(4000);

    const QRect bar =
        element_rect(QDir(QStringLiteral(VELQUOR_APP_DIR)).filePath(QStringLiteral("mp3dec.dll")),
                     QStringLiteral("ZI3Ruzerudi"), QStringLiteral("Play Bar"));
    QWidget *surface = m.childAt(bar.center());
    ASSERT_NE(surface, nullptr);
    auto at = [&](double fraction) {
        return surface->mapFrom(&m,
                                QPoint(bar.left() + int(fraction * bar.width()), bar.center().y()));
    };
    // Pressed: the output stops until the release.
    QTest::mousePress(surface, Qt::LeftButton, {}, at(0.8));
    EXPECT_FALSE(out->running());
    EXPECT_TRUE(time_text().startsWith(QStringLiteral("00:00:04/"))) << time_text().toStdString();
    QTest::mouseRelease(surface, Qt::LeftButton, {}, at(0.8));
    const int p = m.play_bar->GetPosition();
    EXPECT_NEAR(p, 800, 15);
    ASSERT_TRUE(out->running());
    const size_t heard_before = out->output.size();
    const int64_t from = (static_cast<int64_t>(p) * int64_t(file.size()) + 500) / 1000;
    ASSERT_TRUE(hear_to_end());
    const SampleArray tail(out->output.begin() + static_cast<ptrdiff_t>(heard_before),
                           out->output.end());
    EXPECT_EQ(tail, SampleArray(file.begin() + from, file.end()));

    // Paused, a drag previews and a release seeks; the resume plays from there.
    app->click(QStringLiteral("Play"));
    hear(8000);
    app->click(QStringLiteral("Pause"));
    QTest::mousePress(surface, Qt::LeftButton, {}, at(0.4));
    QTest::mouseMove(surface, at(0.6));
    EXPECT_EQ(time_text(), QStringLiteral("00:00:03/00:00:05"));
    QTest::mouseRelease(surface, Qt::LeftButton, {}, at(0.6));
    EXPECT_TRUE(m.play_paused);
    EXPECT_FALSE(out->running());
    const int q = m.play_bar->GetPosition();
    app->click(QStringLiteral("Play"));
    const size_t resumed_at = out->output.size();
    hear(800);
    const int64_t seek = (static_cast<int64_t>(q) * int64_t(file.size()) + 500) / 1000;
    EXPECT_EQ(
        SampleArray(out->output.begin() + static_cast<ptrdiff_t>(resumed_at), out->output.end()),
        SampleArray(file.begin() + seek, file.begin() + seek + 800));
    EXPECT_TRUE(time_becomes(QStringLiteral("00:00:03/00:00:05")));

    // Released at the very end: the same as Stop.
    QTest::mousePress(surface, Qt::LeftButton, {}, at(0.999));
    QTest::mouseRelease(surface, Qt::LeftButton, {}, at(0.999));
    EXPECT_FALSE(m.playing);
    EXPECT_EQ(time_text(), QStringLiteral("00:00:00/00:00:05"));
    EXPECT_EQ(app->list->image_of(0), image_idle);
}

TEST_F(Playback, PlayOnAnotherEntryStopsTheFirstAndPausedPlayResumesTheSameFile)
{
    const QString a = make(QStringLiteral("a.wav"), {"synth", "2", "sine", "440"});
    const QString b = make(QStringLiteral("b.wav"), {"synth", "4", "sine", "880"});
    open(a);
    open(b);
    Tfm_main &m = *app->main;
    EXPECT_EQ(app->list->image_of(0), image_idle);
    EXPECT_EQ(app->list->image_of(1), image_playing);
    hear(2000);
    app->click(QStringLiteral("Pause"));
    app->list->select(0);
    EXPECT_EQ(m.current_file, a);
    app->click(QStringLiteral("Play"));
    // Resumed: still b.
    EXPECT_EQ(m.play_file, b);
    EXPECT_EQ(app->list->image_of(1), image_playing);
    EXPECT_EQ(app->list->image_of(0), image_idle);
    app->click(QStringLiteral("Play")); // playing: the current file a replaces b
    EXPECT_EQ(m.play_file, a);
    EXPECT_EQ(app->list->image_of(1), image_idle);
    EXPECT_EQ(app->list->image_of(0), image_playing);
    EXPECT_EQ(m.play_length_text, QStringLiteral("00:00:02"));
    EXPECT_EQ(app->label(QStringLiteral("File Name")), QStringLiteral("a.wav"));
    // Recording and playback exclude each other at the commands.
    m.recording = true;
    app->click(QStringLiteral("Play"));
    app->click(QStringLiteral("Open"));
    m.recording = false;
    EXPECT_EQ(app->dialogs->count(QStringLiteral("information")), 2);
    EXPECT_EQ(app->dialogs->shown.back().text, QStringLiteral("Please stop recording first."));
    EXPECT_EQ(app->dialogs->count(QStringLiteral("open")), 2);
}

TEST_F(Playback, AFileUnderASecondMovesTheBarToItsEnd)
{
    const QString path = make(QStringLiteral("blip.wav"), {"synth", "0.6", "sine", "500"});
    open(path);
    Tfm_main &m = *app->main;
    ASSERT_TRUE(m.playing);
    EXPECT_EQ(m.play_length_s, 0);
    hear(2400);
    EXPECT_TRUE(test_support::wait_until([&] { return m.play_bar->GetPosition() == 500; }, 3000))
        << m.play_bar->GetPosition();
    hear(2400);
    EXPECT_TRUE(test_support::wait_until([&] { return m.play_bar->GetPosition() == 1000; }, 3000))
        << m.play_bar->GetPosition();
    EXPECT_EQ(time_text(), QStringLiteral("00:00:00/00:00:00"));
}

struct SummaryCase {
    const char *name;
    int rate, channels, bits;
    const char *summary_start;
    const char *summary_end;
};

class Summaries : public Playback, public ::testing::WithParamInterface<SummaryCase>
{
};

TEST_P(Summaries, TheFormatTextNamesTheFile)
{
    const SummaryCase &c = GetParam();
    QString path = dir.filePath(QString::fromLatin1(c.name));
    const QString ext = QFileInfo(path).suffix().toLower();
    const bool renamed = ext != QLatin1String("wav") && ext != QLatin1String("aiff") &&
                         ext != QLatin1String("au") && ext != QLatin1String("ogg");
    const QString made = renamed ? path + QStringLiteral(".wav") : path;
    ASSERT_TRUE(
        playback_files::sox(made, {"synth", "1.5", "sine", "440"}, c.rate, c.channels, c.bits));
    if (renamed) {
        ASSERT_TRUE(QFile::rename(made, path));
    }
    open(path);
    ASSERT_TRUE(app->main->playing);
    const QString summary = app->label(QStringLiteral("Format"));
    EXPECT_TRUE(summary.startsWith(QLatin1String(c.summary_start))) << summary.toStdString();
    EXPECT_TRUE(summary.endsWith(QLatin1String(c.summary_end))) << summary.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Names, Summaries,
    ::testing::Values(SummaryCase{"take.wav", 22050, 2, 16, "WAV  22050 Hz  Stereo  16 BIT", ""},
                      SummaryCase{"TAKE.WAV", 8000, 1, 8, "WAV  8000 Hz  Mono  8 BIT", ""},
                      SummaryCase{"clip.aiff", 11025, 1, 16, "AIF  11025 Hz  Mono  ", "176 KBPS"},
                      SummaryCase{"four.wav", 8000, 4, 16, "WAV  8000 Hz  4 ch  16 BIT", ""},
                      SummaryCase{"short.au", 8000, 1, 16, "AU  8000 Hz  Mono  ", "128 KBPS"},
                      SummaryCase{"noextension", 8000, 2, 16, "WAV  8000 Hz  Stereo  16 BIT", ""}),
    [](const auto &info) {
        std::string n = info.param.name;
        std::replace(n.begin(), n.end(), '.', '_');
        return n;
    });

struct BadCase {
    const char *name;
    const char *what;         // how the file is spoilt
    const char *open_message; // after "Open": the box's text after the path, "" none
    const char *play_message; // after "Play" on the listed entry
};

class BadFiles : public Playback, public ::testing::WithParamInterface<BadCase>
{
};

TEST_P(BadFiles, AreToldAboutAndLeavePlaybackIdle)
{
    const BadCase &c = GetParam();
    const QString path = dir.filePath(QString::fromLatin1(c.name));
    const QString what = QString::fromLatin1(c.what);
    // Listed while it was good, spoilt before it is played.
    ASSERT_TRUE(playback_files::sox(dir.filePath(QStringLiteral("good.wav")),
                                    {"synth", "2", "sine", "440"}));
    ASSERT_TRUE(QFile::copy(dir.filePath(QStringLiteral("good.wav")), path));
    open(path);
    app->click(QStringLiteral("Stop"));
    ASSERT_EQ(app->list->count(), 1);
    if (what == QLatin1String("removed")) {
        QFile::remove(path);
    } else if (what == QLatin1String("text")) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("this is not sound at all\n");
    } else if (what == QLatin1String("empty")) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    } else if (what == QLatin1String("unreadable")) {
        if (geteuid() == 0)
            GTEST_SKIP() << "permissions do not stop root";
        QFile::setPermissions(path, QFileDevice::WriteOwner);
    }
    const auto informations = app->dialogs->count(QStringLiteral("information"));
    app->click(QStringLiteral("Play"));
    EXPECT_FALSE(app->main->playing);
    EXPECT_FALSE(app->main->AudioFilePlay->IsOpen());
    EXPECT_EQ(app->list->image_of(0), image_idle);
    ASSERT_EQ(app->dialogs->count(QStringLiteral("information")), informations + 1);
    EXPECT_EQ(app->dialogs->shown.back().text, path + QLatin1String(c.play_message));

    // Picked with "Open" as it is now.
    const auto boxes = app->dialogs->count(QStringLiteral("box"));
    open(path);
    EXPECT_EQ(app->list->count(), 1);
    EXPECT_EQ(app->main->current_file, path);
    if (*c.open_message) {
        ASSERT_EQ(app->dialogs->count(QStringLiteral("box")), boxes + 1);
        EXPECT_EQ(app->dialogs->shown.back().text, path + QLatin1String(c.open_message));
        EXPECT_EQ(app->dialogs->shown.back().caption, QStringLiteral("Information"));
    }
    EXPECT_FALSE(app->main->AudioFileRecord->IsOpen());
    EXPECT_EQ(app->dialogs->count(QStringLiteral("question")), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, BadFiles,
    ::testing::Values(
        BadCase{"gone.wav", "removed", " is an invalid audio file!", " has been removed."},
        BadCase{"words.mp3", "text", " is an invalid audio file!", " is an invalid file."},
        BadCase{"empty.wav", "empty", " is an invalid audio file!", " is an invalid file."},
        BadCase{"locked.wav", "unreadable", " is an invalid audio file!", " is an invalid file."}),
    [](const auto &info) { return std::string(info.param.what); });

TEST_F(Playback, AFileCutInTheMiddleOfAFramePlaysWhatItHasAndEnds)
{
    const QString wav = make(QStringLiteral("src.wav"), {"synth", "3", "sine", "440"}, 44100, 2);
    const QString mp3 = dir.filePath(QStringLiteral("cut.mp3"));
    ASSERT_TRUE(playback_files::run(QStringLiteral("lame"), {"--quiet", "-b", "128", wav, mp3}));
    QFile f(mp3);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.resize(f.size() / 2 + 211)); // inside a frame
    f.close();
    open(mp3);
    ASSERT_TRUE(app->main->playing);
    EXPECT_TRUE(hear_to_end());
    EXPECT_GT(out->output.size(), size_t(44100 * 2));
    EXPECT_EQ(app->dialogs->count(QStringLiteral("question")), 0);
}

TEST_F(Playback, AVariableBitRateMp3WithoutXingHeaderShowsItsTrueLength)
{
    // A quiet start makes the first frame small: a length guessed from it is
    // a second too long.
    const QString wav = make(QStringLiteral("src.wav"),
                             {"synth", "2.5", "sine", "1000", "gain", "-6", ":", "synth", "2.5",
                              "whitenoise", "gain", "-6"},
                             44100, 2);
    const QString mp3 = dir.filePath(QStringLiteral("vbr.mp3"));
    ASSERT_TRUE(
        playback_files::run(QStringLiteral("lame"), {"--quiet", "-V", "2", "-t", wav, mp3}));
    const double seconds = playback_files::ffprobe_seconds(mp3);
    ASSERT_GE(seconds, 5.0);
    ASSERT_LT(seconds, 5.2);
    open(mp3);
    ASSERT_TRUE(app->main->playing);
    EXPECT_EQ(app->list->length_text_of(0), QStringLiteral("00:00:05"));
    EXPECT_EQ(app->main->play_length_s, 5);
    const int total = app->main->AudioFilePlay->TotalSamples();
    EXPECT_NEAR(total / 88200.0, seconds, 0.03);
    ASSERT_TRUE(hear_to_end());
    EXPECT_EQ(out->output.size(), static_cast<size_t>(total));
}

TEST_F(Playback, OpenStartsInTheRememberedFolderAndRemembersTheNext)
{
    const QString path = make(QStringLiteral("x.wav"), {"synth", "1", "sine", "440"});
    app->click(QStringLiteral("Open")); // cancelled
    ASSERT_EQ(app->dialogs->shown.back().kind, QStringLiteral("open"));
    EXPECT_EQ(app->dialogs->shown.back().text, QDir::cleanPath(QStringLiteral(VELQUOR_APP_DIR)));
    EXPECT_EQ(app->list->count(), 0);
    open(path);
    EXPECT_EQ(read_setting(QStringLiteral("basic"), QStringLiteral("path")), dir.path());
    app->click(QStringLiteral("Open"));
    EXPECT_EQ(app->dialogs->shown.back().text, dir.path());
}

} // namespace
