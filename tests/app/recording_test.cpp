// Recording from the main window's skin commands, with captured audio
// arriving at exact moments and real files, encoders and tags.
#include "app_harness.h"

#include "audio/audio_file.h"
#include "audio/audio_information.h"
#include "pulse/audio_record.h"
#include "recordlist.h"
#include "settings_file.h"
#include "skin/skin.h"
#include "test_support.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace
{

class Recording : public ::testing::Test
{
protected:
    QTemporaryDir out;
    void SetUp() override
    {
        reset_settings();
        put_setting(QStringLiteral("format"), QStringLiteral("path"), out.path());
    }
    QString expected_path(const char *name) const
    {
        return out.filePath(QString::fromLatin1(name));
    }
};

struct Decoded {
    uint32_t rate = 0;
    int channels = 0;
    int duration_ms = 0;
};

Decoded decode(const QString &path)
{
    TAudioFile2 file;
    file.OpenFile(path, 0, 1);
    Decoded d{file.SampleRate(), file.Channels(), file.Duration()};
    file.CloseFile();
    return d;
}

struct FormatCase {
    const char *name;
    int index;
    const char *extension;
    const char *summary;
    uint32_t rate;
    int channels;
};

class RecordingFormats : public Recording, public ::testing::WithParamInterface<FormatCase>
{
};

TEST_P(RecordingFormats, RecordPauseResumeStopMakesAPlayableFileAndEntry)
{
    const FormatCase c = GetParam();
    put_setting(QStringLiteral("format"), QStringLiteral("format"), QString::number(c.index));
    AppHarness app;
    app.click(QStringLiteral("Record"));
    ASSERT_TRUE(app.main->recording);
    ASSERT_EQ(app.capture->starts.size(), 1u);
    EXPECT_EQ(app.capture->starts[0].rate, c.rate);
    EXPECT_EQ(app.capture->starts[0].channels, c.channels);

    const QString path = expected_path("2026-12-08_10;00;00") + QLatin1String(c.extension);
    EXPECT_EQ(app.main->current_file, path);
    EXPECT_EQ(app.label(QStringLiteral("File Name")), QFileInfo(path).fileName());
    EXPECT_EQ(app.label(QStringLiteral("Format")), QLatin1String(c.summary));
    ASSERT_EQ(app.list->count(), 1);
    EXPECT_EQ(app.list->caption_of(0), QFileInfo(path).fileName());
    EXPECT_EQ(app.list->path_of(0), path);
    EXPECT_EQ(app.list->length_text_of(0), QStringLiteral("__:__:__"));
    EXPECT_EQ(app.list->image_of(0), image_recording);
    EXPECT_TRUE(app.inhibitor->held());

    app.push_seconds(2.0);
    app.settle();
    EXPECT_EQ(app.label(QStringLiteral("Time")), QStringLiteral("00:00:00/00:00:02"));

    app.click(QStringLiteral("Pause"));
    EXPECT_TRUE(app.main->record_paused);
    EXPECT_EQ(app.list->image_of(0), image_paused);
    app.push_seconds(3.0); // nothing is captured while paused
    app.settle();
    app.click(QStringLiteral("Pause")); // pausing again does nothing
    EXPECT_TRUE(app.main->record_paused);

    app.click(QStringLiteral("Record")); // resumes
    EXPECT_FALSE(app.main->record_paused);
    EXPECT_EQ(app.list->image_of(0), image_recording);
    EXPECT_EQ(app.list->count(), 1);
    app.push_seconds(1.5);
    app.settle();
    EXPECT_EQ(app.label(QStringLiteral("Time")), QStringLiteral("00:00:00/00:00:03"));
    app.click(QStringLiteral("Record"));       // while recording: nothing
    EXPECT_EQ(app.capture->starts.size(), 1u); // the pause kept the stream

    app.click(QStringLiteral("Stop"));
    EXPECT_FALSE(app.main->recording);
    EXPECT_FALSE(app.inhibitor->held());
    EXPECT_EQ(app.list->image_of(0), image_idle);
    EXPECT_EQ(app.list->length_text_of(0), QStringLiteral("00:00:03"));
    EXPECT_EQ(app.label(QStringLiteral("Time")), QStringLiteral("00:00:00/00:00:03"));
    EXPECT_FALSE(app.main->AudioFileRecord->IsOpen());

    const Decoded d = decode(path);
    EXPECT_EQ(d.rate, c.rate);
    EXPECT_EQ(d.channels, c.channels);
    // 3.5 s captured; encoders may pad by a frame or so.
    EXPECT_NEAR(d.duration_ms, 3500, 150) << c.name;
    EXPECT_TRUE(app.dialogs->shown.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Formats, RecordingFormats,
    ::testing::Values(FormatCase{"mp3", 0, ".mp3", "MP3  44100 Hz  Stereo  128 KBPS", 44100, 2},
                      FormatCase{"wma", 1, ".wma", "WMA9 44100Hz  Stereo  128KBPS  CBR", 44100, 2},
                      FormatCase{"wav", 2, ".wav", "WAV  44100Hz  Stereo  16BIT", 44100, 2},
                      FormatCase{"ogg", 3, ".ogg", "OGG  44100 Hz  Stereo  128 KBPS", 44100, 2},
                      FormatCase{"flac", 4, ".flac", "FLAC  44100 Hz  Stereo  16 bit  level 5",
                                 44100, 2},
                      FormatCase{"opus", 5, ".opus", "Opus  48000 Hz  Stereo  64 KBPS", 48000, 2}),
    [](const auto &info) { return std::string(info.param.name); });

// FLAC keeps every sample of the capture, and is as small as the flac tool makes it.
TEST_F(Recording, FlacHoldsTheCaptureExactlyAndAsSmallAsTheFlacTool)
{
    put_setting(keys::format::format, QStringLiteral("4"));
    AppHarness app;
    app.click(QStringLiteral("Record"));
    ASSERT_TRUE(app.main->recording);
    // A tone with noise on it, as a real capture has: a pure tone packs too well to compare.
    SampleArray captured;
    uint32_t noise = 12345;
    double phase = 0;
    for (int block = 0; block < 30; ++block) {
        SampleArray samples(4410 * 2);
        for (size_t i = 0; i < samples.size(); i += 2) {
            noise = noise * 1664525u + 1013904223u;
            const double v = 9000 * std::sin(phase) + static_cast<int>(noise >> 22) - 512;
            phase += 2 * M_PI * 1000.0 / 44100;
            samples[i] = samples[i + 1] = static_cast<int16_t>(std::lround(v));
        }
        captured.insert(captured.end(), samples.begin(), samples.end());
        app.capture->push(samples);
        app.settle();
    }
    app.click(QStringLiteral("Stop"));
    const QString flac = app.list->path_of(0);

    TAudioFile2 in;
    in.OpenFile(flac, 0, 1);
    EXPECT_EQ(in.BitsPerSample(), 16u);
    SampleArray decoded;
    for (SampleArray a = in.ReadArray(8820); !a.empty(); a = in.ReadArray(8820))
        decoded.insert(decoded.end(), a.begin(), a.end());
    ASSERT_EQ(decoded.size(), captured.size());
    EXPECT_TRUE(decoded == captured) << "a sample differs from the capture";

    const auto tested =
        test_support::run_tool(QStringLiteral("flac"), {QStringLiteral("-t"), flac});
    EXPECT_EQ(tested.exit_code, 0) << tested.err.toStdString();
    // The same samples as a WAV file, packed by the flac tool at its default level.
    const QString wav = out.filePath(QStringLiteral("same.wav"));
    TAudioFile2 w;
    w.SetWavFormat(44100, 2, 16);
    w.CreateOutputFile(wav, 0);
    ASSERT_TRUE(w.WriteArray(captured));
    w.CloseFile();
    const QString theirs = out.filePath(QStringLiteral("theirs.flac"));
    const auto packed = test_support::run_tool(
        QStringLiteral("flac"), {QStringLiteral("-5"), QStringLiteral("-o"), theirs, wav});
    ASSERT_EQ(packed.exit_code, 0) << packed.err.toStdString();
    const double ratio =
        static_cast<double>(QFileInfo(flac).size()) / static_cast<double>(QFileInfo(theirs).size());
    RecordProperty("size_ratio_to_flac_5", QString::number(ratio, 'f', 4).toStdString());
    EXPECT_LE(ratio, 1.02);
    EXPECT_GE(ratio, 0.9) << "smaller than lossless can be";
}

TEST_F(Recording, RefusedFormatsLeaveEverythingAsItWas)
{
    AppHarness app;
    app.main->file_name_label->SetText(QStringLiteral("before"));
    app.main->format_label->SetText(QStringLiteral("before too"));
    // 8000 Hz cannot carry 320 kbit/s in MP3.
    put_setting(QStringLiteral("mp3"), QStringLiteral("frequency"), QStringLiteral("0"));
    put_setting(QStringLiteral("mp3"), QStringLiteral("bitrate"), QStringLiteral("16"));
    app.click(QStringLiteral("Record"));
    EXPECT_FALSE(app.main->recording);
    ASSERT_EQ(app.dialogs->count(QStringLiteral("information")), 1);
    EXPECT_EQ(app.dialogs->shown.back().text,
              QStringLiteral("This MP3 format not supported, please try another bit rate."));

    put_setting(QStringLiteral("format"), QStringLiteral("format"), QStringLiteral("3"));
    put_setting(QStringLiteral("ogg"), QStringLiteral("frequency"), QStringLiteral("0"));
    put_setting(QStringLiteral("ogg"), QStringLiteral("bitrate"), QStringLiteral("16"));
    put_setting(QStringLiteral("ogg"), QStringLiteral("max bitrate"), QStringLiteral("16"));
    put_setting(QStringLiteral("ogg"), QStringLiteral("min bitrate"), QStringLiteral("16"));
    app.click(QStringLiteral("Record"));
    EXPECT_FALSE(app.main->recording);
    ASSERT_EQ(app.dialogs->count(QStringLiteral("information")), 2);
    EXPECT_EQ(app.dialogs->shown.back().text,
              QStringLiteral("This OGG format not supported, please try another bit rate."));

    EXPECT_EQ(app.label(QStringLiteral("File Name")), QStringLiteral("before"));
    EXPECT_EQ(app.label(QStringLiteral("Format")), QStringLiteral("before too"));
    EXPECT_EQ(app.list->count(), 0);
    EXPECT_TRUE(app.capture->starts.empty());
    EXPECT_TRUE(QDir(out.path()).isEmpty());
}

TEST_F(Recording, AFolderThatCannotBeMadeIsReportedAndAddsNoEntry)
{
    const QString folder = QStringLiteral("/proc/velquor-cannot/deeper");
    put_setting(QStringLiteral("format"), QStringLiteral("path"), folder);
    AppHarness app;
    app.click(QStringLiteral("Record"));
    EXPECT_FALSE(app.main->recording);
    ASSERT_EQ(app.dialogs->count(QStringLiteral("box")), 1);
    EXPECT_EQ(app.dialogs->shown.back().caption, QStringLiteral("Error!"));
    EXPECT_EQ(app.dialogs->shown.back().text, QStringLiteral("Failed to create file ") + folder +
                                                  QStringLiteral("/2026-12-08_10;00;00.mp3"));
    EXPECT_EQ(app.list->count(), 0);
    EXPECT_EQ(app.main->current_item_index, -1);
    EXPECT_TRUE(app.capture->starts.empty());
    EXPECT_FALSE(app.inhibitor->held());
}

TEST_F(Recording, AnEmptyFolderSettingMeansTheMusicFolder)
{
    put_setting(QStringLiteral("format"), QStringLiteral("path"), QString());
    AppHarness app;
    app.click(QStringLiteral("Record"));
    ASSERT_TRUE(app.main->recording);
    EXPECT_TRUE(
        app.main->current_file.startsWith(Tfm_main::default_output_folder() + QLatin1Char('/')))
        << app.main->current_file.toStdString();
    app.click(QStringLiteral("Stop"));
    EXPECT_TRUE(QFile::exists(app.main->current_file));
    QFile::remove(app.main->current_file);
}

namespace
{

void roll_over_wav_every_two_seconds()
{
    put_setting(QStringLiteral("limit"), QStringLiteral("enable limit"), QStringLiteral("1"));
    put_setting(QStringLiteral("limit"), QStringLiteral("time"), QStringLiteral("2"));
    put_setting(QStringLiteral("limit"), QStringLiteral("new"), QStringLiteral("1"));
    put_setting(QStringLiteral("format"), QStringLiteral("format"), QStringLiteral("2"));
}

} // namespace

TEST_F(Recording, TheLimitRollsOverIntoNewFilesWithoutOverwriting)
{
    roll_over_wav_every_two_seconds();
    AppHarness app;
    app.click(QStringLiteral("Record"));
    // The clock stands still: every file of this run starts in the same second.
    for (int i = 0; i < 7; ++i) {
        app.push_seconds(1.0);
        app.settle();
    }
    app.click(QStringLiteral("Stop"));
    ASSERT_GE(app.list->count(), 3);
    QSet<QString> paths;
    for (int row = 0; row < app.list->count(); ++row) {
        const QString path = app.list->path_of(row);
        paths.insert(path);
        EXPECT_EQ(app.list->image_of(row), image_idle);
        const Decoded d = decode(path);
        if (row + 1 < app.list->count()) {
            EXPECT_EQ(app.list->length_text_of(row), QStringLiteral("00:00:02")) << row;
            EXPECT_NEAR(d.duration_ms, 2000, 250) << path.toStdString();
        }
    }
    EXPECT_EQ(paths.size(), app.list->count()) << "a file of this run was overwritten";
    EXPECT_TRUE(paths.contains(expected_path("2026-12-08_10;00;00.wav")));
    EXPECT_TRUE(paths.contains(expected_path("2026-12-08_10;00;00_2.wav")));
}

TEST_F(Recording, AStopWhileARollOverWaitsForItsSoundEndsTheNextFileAtItsMoment)
{
    roll_over_wav_every_two_seconds();
    AppHarness app;
    app.click(QStringLiteral("Record"));
    app.push_seconds(1.9);
    app.settle();
    // The source's clock runs ahead of its data, as on a null sink's monitor:
    // the roll-over at 2.5 s waits for the sound up to then.
    const int64_t rate = 44100;
    app.capture->source_frames = rate * 25 / 10;
    bool stop_sent = false;
    QTimer::singleShot(400, [&] {
        // A stop from a timer or a command while the first file is finished.
        app.capture->source_frames = rate * 28 / 10;
        app.main->stop_recording();
        stop_sent = true;
        app.push_seconds(1.0);
    });
    app.push_seconds(0.2);
    ASSERT_TRUE(test_support::wait_until([&] { return stop_sent && !app.main->recording; }, 6000))
        << "the stop was lost";
    ASSERT_EQ(app.list->count(), 2);
    EXPECT_NEAR(decode(app.list->path_of(0)).duration_ms, 2500, 30);
    EXPECT_NEAR(decode(app.list->path_of(1)).duration_ms, 300, 30) << "ends at the stop's moment";
    EXPECT_EQ(app.list->image_of(1), image_idle);
    app.settle();
    EXPECT_FALSE(app.main->recording);
}

// Files split by the limit, decoded and joined, are the capture: sample for
// sample where the format is lossless, without a gap or a doubled stretch in Opus.
struct JoinRow {
    const char *name;
    int format_index;
    int exact; // 1: every sample; 0: the same length and the tone through every join
};

class RollOverJoins : public Recording, public ::testing::WithParamInterface<JoinRow>
{
};

TEST_P(RollOverJoins, TheFilesJoinedAreTheCapture)
{
    put_setting(keys::limit::enable, QStringLiteral("1"));
    put_setting(keys::limit::time, QStringLiteral("1"));
    put_setting(keys::limit::new_file, QStringLiteral("1"));
    put_setting(keys::format::format, QString::number(GetParam().format_index));
    AppHarness app;
    app.click(QStringLiteral("Record"));
    ASSERT_TRUE(app.main->recording);
    const uint32_t rate = app.capture->starts.back().rate;
    SampleArray captured;
    double phase = 0;
    for (int block = 0; block < 35; ++block) {
        SampleArray samples(rate / 10 * 2);
        for (size_t i = 0; i < samples.size(); i += 2) {
            samples[i] = samples[i + 1] = static_cast<int16_t>(std::lround(9000 * std::sin(phase)));
            phase += 2 * M_PI * 440.0 / rate;
        }
        captured.insert(captured.end(), samples.begin(), samples.end());
        app.capture->push(samples);
        app.settle();
    }
    app.click(QStringLiteral("Stop"));
    ASSERT_GE(app.list->count(), 3);
    SampleArray joined;
    std::vector<size_t> joins;
    for (int row = 0; row < app.list->count(); ++row) {
        TAudioFile2 in;
        in.OpenFile(app.list->path_of(row), 0, 1);
        for (SampleArray a = in.ReadArray(8820); !a.empty(); a = in.ReadArray(8820))
            joined.insert(joined.end(), a.begin(), a.end());
        joins.push_back(joined.size());
    }
    ASSERT_EQ(joined.size(), captured.size());
    if (GetParam().exact) {
        EXPECT_TRUE(joined == captured);
        return;
    }
    // Around every join, 10 ms windows of the decoded sound follow the captured tone.
    for (const size_t at : joins) {
        for (size_t w = at >= rate ? at - rate / 50 : 0;
             w + rate / 50 <= std::min(at + rate / 50, captured.size()); w += rate / 100) {
            double error = 0, level = 0;
            for (size_t i = w; i < w + rate / 100; ++i) {
                error += std::pow(joined[i] - captured[i], 2);
                level += std::pow(captured[i], 2);
            }
            EXPECT_LT(std::sqrt(error / level), 0.2) << "at sample " << w;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, RollOverJoins,
                         ::testing::Values(JoinRow{"wav", 2, 1}, JoinRow{"flac", 4, 1},
                                           JoinRow{"opus", 5, 0}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(Recording, TheLimitWithoutNewFileStops)
{
    put_setting(QStringLiteral("limit"), QStringLiteral("enable limit"), QStringLiteral("1"));
    put_setting(QStringLiteral("limit"), QStringLiteral("time"), QStringLiteral("2"));
    AppHarness app;
    app.click(QStringLiteral("Record"));
    for (int i = 0; i < 4 && app.main->recording; ++i) {
        app.push_seconds(1.0);
        app.settle();
    }
    EXPECT_FALSE(app.main->recording);
    EXPECT_EQ(app.list->count(), 1);
    EXPECT_EQ(app.list->length_text_of(0), QStringLiteral("00:00:02"));
}

TEST_F(Recording, PendingTagsAreWrittenAtStopAndTitleAndTrackAreNotCarriedOver)
{
    AppHarness app;
    app.main->pending_title = QStringLiteral("Morning show");
    app.main->pending_artist = QStringLiteral("Radio Velquor");
    app.main->pending_album = QStringLiteral("Tapes");
    app.main->pending_comment = QStringLiteral("taped live");
    app.main->pending_genre_index = 101;
    app.main->pending_genre_text = QStringLiteral("Speech");
    app.main->pending_year = 2026;
    app.main->pending_track = 7;
    app.click(QStringLiteral("Record"));
    app.push_seconds(0.5);
    app.settle();
    app.click(QStringLiteral("Stop"));

    TAudioInformation2 tags;
    ASSERT_TRUE(tags.ReadFromFile(app.list->path_of(0)));
    EXPECT_EQ(tags.infoTitle, QStringLiteral("Morning show"));
    EXPECT_EQ(tags.infoArtist, QStringLiteral("Radio Velquor"));
    EXPECT_EQ(tags.infoAlbum, QStringLiteral("Tapes"));
    EXPECT_EQ(tags.infoComments, QStringLiteral("taped live"));
    EXPECT_EQ(tags.infoGenreIndex, 101);
    EXPECT_EQ(tags.infoYear, 2026);
    EXPECT_EQ(tags.infoTrack, 7);
    EXPECT_TRUE(app.main->pending_title.isEmpty());
    EXPECT_EQ(app.main->pending_track, -1);
    EXPECT_EQ(app.main->pending_artist, QStringLiteral("Radio Velquor"));

    app.clock->time = app.clock->time.addSecs(5);
    app.click(QStringLiteral("Record"));
    app.push_seconds(0.5);
    app.settle();
    app.click(QStringLiteral("Stop"));
    ASSERT_TRUE(tags.ReadFromFile(app.list->path_of(1)));
    EXPECT_TRUE(tags.infoTitle.isEmpty());
    EXPECT_EQ(tags.infoTrack, 0);
    EXPECT_EQ(tags.infoArtist, QStringLiteral("Radio Velquor"));
    EXPECT_EQ(tags.infoYear, 2026);
}

TEST_F(Recording, DialogNamingReplacesTheExtensionAndRemembersTheFolder)
{
    put_setting(QStringLiteral("format"), QStringLiteral("auto name"), QStringLiteral("0"));
    AppHarness app;
    app.dialogs->save_answers.push_back(
        Dialogs::SaveChoice{out.filePath(QStringLiteral("take one.wav")), 1});
    app.click(QStringLiteral("Record"));
    ASSERT_TRUE(app.main->recording);
    EXPECT_EQ(app.dialogs->last_save_folder, Tfm_main::default_recorder_folder());
    EXPECT_EQ(
        app.dialogs->last_save_filter,
        QStringLiteral("MP3 Files(*.mp3);;WMA Files(*.wma);;WAV Files(*.wav);;OGG Files(*.ogg);;"
                       "FLAC Files(*.flac);;Opus Files(*.opus)"));
    EXPECT_EQ(app.main->current_file, out.filePath(QStringLiteral("take one.mp3")));
    EXPECT_EQ(read_setting(QStringLiteral("basic"), QStringLiteral("save path")), out.path());
    app.push_seconds(0.3);
    app.click(QStringLiteral("Stop"));
    EXPECT_TRUE(QFile::exists(out.filePath(QStringLiteral("take one.mp3"))));

    // The OGG filter, and a cancelled dialog.
    app.dialogs->save_answers.push_back(
        Dialogs::SaveChoice{out.filePath(QStringLiteral("second")), 4});
    app.click(QStringLiteral("Record"));
    EXPECT_EQ(app.dialogs->last_save_folder, out.path());
    EXPECT_EQ(app.main->current_file, out.filePath(QStringLiteral("second.ogg")));
    app.click(QStringLiteral("Stop"));
    app.click(QStringLiteral("Record"));
    EXPECT_FALSE(app.main->recording);
    EXPECT_EQ(app.list->count(), 2);
}

struct LostCase {
    const char *name;
    int code;
    bool server_back; // the server answers again after the failure
    bool goes_on;     // a new file follows the finished one
    bool told;        // a message box names the file
};

class RecordingLost : public ::testing::TestWithParam<LostCase>
{
protected:
    QTemporaryDir out;
    void SetUp() override
    {
        reset_settings();
        put_setting(QStringLiteral("format"), QStringLiteral("path"), out.path());
    }
};

TEST_P(RecordingLost, ALostSourceFinishesTheFileAndIsNeverSilent)
{
    const LostCase c = GetParam();
    AppHarness app;
    app.click(QStringLiteral("Record"));
    const QString file = app.main->recording_file();
    app.push_seconds(1.0);
    app.settle();
    app.capture->server_present = c.server_back;
    app.capture->fail(c.code);
    app.push_seconds(0.2);
    ASSERT_TRUE(test_support::wait_until([&] { return !app.main->recording; }, 3000));
    EXPECT_EQ(app.list->image_of(0), image_idle);
    EXPECT_EQ(app.list->length_text_of(0), QStringLiteral("00:00:01"));
    // A server that went away is waited for (up to 10 s) before anything is said.
    ASSERT_TRUE(test_support::wait_until(
        [&] { return app.main->recording || app.dialogs->count(QStringLiteral("box")) > 0; },
        15000));
    EXPECT_EQ(app.main->recording, c.goes_on);
    EXPECT_EQ(app.list->count(), c.goes_on ? 2 : 1);
    ASSERT_EQ(app.dialogs->count(QStringLiteral("box")), c.told ? 1 : 0);
    if (c.told) {
        const QString text = app.dialogs->shown.back().text;
        EXPECT_TRUE(text.contains(file)) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("fake failure"))) << text.toStdString();
        EXPECT_EQ(app.dialogs->shown.back().caption, QStringLiteral("Error!"));
    }
    if (c.goes_on) {
        EXPECT_NE(app.main->recording_file(), file);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Causes, RecordingLost,
    ::testing::Values(LostCase{"DeviceGone", CaptureBackend::device_lost, true, false, true},
                      LostCase{"ServerBack", CaptureBackend::server_lost, true, true, false},
                      LostCase{"ServerGone", CaptureBackend::server_lost, false, false, true}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Recording, AWriteFailureStopsKeepsTheFileAndTellsTheUser)
{
    put_setting(QStringLiteral("format"), QStringLiteral("format"), QStringLiteral("2"));
    AppHarness app;
    app.click(QStringLiteral("Record"));
    app.push_seconds(1.0);
    app.settle();
    // From here on the disk is "full": no file may grow past 300 kB.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    auto old_handler = signal(SIGXFSZ, SIG_IGN);
    rlimit small{300 * 1024, old.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);
    for (int i = 0; i < 4 && app.main->recording; ++i) {
        app.push_seconds(1.0);
        app.settle();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, old_handler);

    EXPECT_FALSE(app.main->recording);
    ASSERT_EQ(app.dialogs->count(QStringLiteral("box")), 1);
    EXPECT_TRUE(app.dialogs->shown.back().text.contains(app.list->path_of(0)));
    EXPECT_EQ(app.list->image_of(0), image_idle);
    EXPECT_NE(app.list->length_text_of(0), QStringLiteral("__:__:__"));
    const Decoded d = decode(app.list->path_of(0));
    EXPECT_GE(d.duration_ms, 1000);
    EXPECT_LE(d.duration_ms, 1800);
    // The program goes on: another recording works.
    app.clock->time = app.clock->time.addSecs(10);
    app.click(QStringLiteral("Record"));
    EXPECT_TRUE(app.main->recording);
    app.click(QStringLiteral("Stop"));
}

TEST_F(Recording, RecordIsRefusedWhilePlaying)
{
    AppHarness app;
    app.main->playing = true;
    app.click(QStringLiteral("Record"));
    EXPECT_FALSE(app.main->recording);
    ASSERT_EQ(app.dialogs->count(QStringLiteral("information")), 1);
    EXPECT_EQ(app.dialogs->shown.back().text, QStringLiteral("Please stop playing first."));
    app.main->playing = false;
    app.click(QStringLiteral("Stop")); // idle: nothing
    app.click(QStringLiteral("Pause"));
    EXPECT_FALSE(app.main->recording);
}

TEST_F(Recording, ClosingTheWindowFinishesTheRecording)
{
    AppHarness app;
    app.click(QStringLiteral("Record"));
    app.push_seconds(1.0);
    app.settle();
    app.main->close();
    EXPECT_FALSE(app.main->recording);
    EXPECT_EQ(app.list->length_text_of(0), QStringLiteral("00:00:01"));
    EXPECT_NEAR(decode(app.list->path_of(0)).duration_ms, 1000, 150);
}

} // namespace

// Waiting for sound there is no file to pause, and a stop leaves none behind.
TEST_F(Recording, WaitingForSoundPauseDoesNothingAndStopLeavesNoFile)
{
    put_setting(keys::trigger::enable, QStringLiteral("1"));
    AppHarness app;
    app.click(QStringLiteral("Record"));
    ASSERT_TRUE(app.main->recording);
    EXPECT_EQ(app.label(QStringLiteral("File Name")), QStringLiteral("Waiting for sound"));
    app.capture->push(SampleArray(44100 * 2, 0)); // a second of silence
    app.settle();
    app.click(QStringLiteral("Pause"));
    EXPECT_FALSE(app.main->record_paused);
    app.click(QStringLiteral("Stop"));
    EXPECT_FALSE(app.main->recording);
    EXPECT_EQ(app.list->count(), 0);
    EXPECT_TRUE(QDir(out.path()).isEmpty());
    EXPECT_TRUE(app.label(QStringLiteral("File Name")).isEmpty());
    EXPECT_FALSE(app.inhibitor->held());
}
