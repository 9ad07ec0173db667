// The record list's menu, its commands and the files it adds, on real files.
#include "app_harness.h"

#include "ID3.h"
#include "clock_text.h"
#include "file_manager.h"
#include "recordlist.h"
#include "settings_file.h"

#include <QAction>
#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <array>
#include <cmath>
#include <gtest/gtest.h>

namespace
{

QString corpus(const char *name)
{
    return QDir(QStringLiteral(VELQUOR_CORPUS_DIR)).filePath(QLatin1String(name));
}

// Copies a corpus file into `folder` under `name`.
QString copy_to(const QTemporaryDir &folder, const char *source, const QString &name)
{
    const QString target = folder.filePath(name);
    QFile::remove(target);
    EXPECT_TRUE(QFile::copy(corpus(source), target));
    return target;
}

// ffprobe's length in whole seconds, the tool no one here wrote.
int64_t ffprobe_seconds(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("ffprobe"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
             QStringLiteral("format=duration"), QStringLiteral("-of"),
             QStringLiteral("default=nw=1:nk=1"), path});
    if (!p.waitForFinished(20000))
        return -1;
    return static_cast<int64_t>(std::floor(p.readAllStandardOutput().trimmed().toDouble()));
}

struct MenuCase {
    const char *name;
    int selected; // -1: none
    bool recording, record_paused, playing, play_paused;
    int record_item, play_item;
    int entries;
    // Play, Pause, Stop, Remove From List, Clear, ID3 Editor, Go to the Folder
    std::array<bool, 7> enabled;
};

class MenuEnabling : public ::testing::TestWithParam<MenuCase>
{
};

TEST_P(MenuEnabling, FollowsTheStateOfTheSelectedEntry)
{
    const MenuCase &c = GetParam();
    reset_settings();
    AppHarness app;
    for (int i = 0; i < c.entries; ++i)
        app.list->append_entry(QStringLiteral("f%1.wav").arg(i),
                               QStringLiteral("/x/f%1.wav").arg(i), QStringLiteral("00:00:01"));
    app.list->select(c.selected);
    app.main->recording = c.recording;
    app.main->record_paused = c.record_paused;
    app.main->playing = c.playing;
    app.main->play_paused = c.play_paused;
    app.main->record_item_index = c.record_item;
    app.main->play_item_index = c.play_item;
    app.list->pmPopup();
    const std::array<QAction *, 7> items{
        app.list->Play1,  app.list->Pause1,     app.list->Stop1,         app.list->Remove1,
        app.list->Clear1, app.list->ID3Editor1, app.list->GototheFolder1};
    for (size_t i = 0; i < items.size(); ++i)
        EXPECT_EQ(items[i]->isEnabled(), c.enabled[i]) << items[i]->text().toStdString();
    EXPECT_TRUE(app.list->AddFile1->isEnabled()) << "Add Files is never touched";
    // Keep the harness's teardown from stopping a recording that never started.
    app.main->recording = app.main->playing = false;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Rules, MenuEnabling, ::testing::Values(
    //        name                  sel  rec    rpause playing ppause ri pi  n    Play   Pause  Stop   Remove Clear  ID3    Folder
    MenuCase{"NoneIdle",            -1, false, false, false, false, 0, 0, 2, {false, false, false, false, true,  false, false}},
    MenuCase{"NoneEmpty",           -1, false, false, false, false, 0, 0, 0, {false, false, false, false, false, false, false}},
    MenuCase{"NonePlaying",         -1, false, false, true,  false, 0, 0, 2, {false, false, false, false, false, false, false}},
    MenuCase{"NoneRecording",       -1, true,  false, false, false, 1, 0, 2, {false, false, false, false, false, false, false}},
    MenuCase{"RecordingOwnRow",      1, true,  false, false, false, 1, 0, 2, {false, true,  true,  false, false, true,  true}},
    MenuCase{"RecordPausedOwnRow",   1, true,  true,  false, false, 1, 0, 2, {false, false, true,  false, false, true,  true}},
    MenuCase{"RecordingOtherRow",    0, true,  false, false, false, 1, 0, 2, {false, false, false, true,  false, true,  true}},
    MenuCase{"RecordingWinsOverPlay",0, true,  false, true,  false, 1, 0, 2, {false, false, false, true,  false, true,  true}},
    MenuCase{"PlayingOwnRow",        0, false, false, true,  false, 1, 0, 2, {false, true,  true,  false, false, false, true}},
    MenuCase{"PlayPausedOtherRow",   1, false, false, true,  true,  1, 0, 2, {true,  false, true,  true,  false, true,  true}},
    MenuCase{"PlayPausedOwnRow",     0, false, false, true,  true,  1, 0, 2, {true,  false, true,  false, false, false, true}},
    MenuCase{"Neither",              1, false, false, false, false, 0, 0, 2, {true,  false, false, true,  true,  true,  true}}),
    [](const auto &info) { return std::string(info.param.name); });
// clang-format on

TEST(RecordListMenu, ItemsSeparatorsAndStartingState)
{
    Tfm_list list;
    QStringList texts;
    for (const QAction *a : list.pm->actions())
        texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(texts, (QStringList{"Play", "Pause", "Stop", "-", "Add Files", "Remove From List",
                                  "Clear", "-", "ID3 Editor", "Go to the Folder"}));
    for (const QAction *a : list.pm->actions()) {
        if (!a->isSeparator()) {
            EXPECT_EQ(a->isEnabled(),
                      !QStringList({"Play", "Pause", "Stop", "ID3 Editor"}).contains(a->text()))
                << a->text().toStdString();
        }
    }
    EXPECT_EQ(list.size(), QSize(333, 215));
    EXPECT_EQ(list.windowTitle(), QStringLiteral("Record List"));
}

TEST(RecordListAdd, ThreeFilesWithTheSecondMissingAndTheStoredFolder)
{
    reset_settings();
    QTemporaryDir folder;
    const QString a = copy_to(folder, "tone8k.mp3", QStringLiteral("a b;'c.mp3"));
    const QString missing = folder.filePath(QStringLiteral("gone.wav"));
    const QString c = copy_to(folder, "tone8k.ogg", QStringLiteral("c.ogg"));
    AppHarness app;

    // No folder stored yet: the program's folder.
    app.list->add_files();
    EXPECT_EQ(app.dialogs->last_add_folder, QStringLiteral(VELQUOR_APP_DIR));
    EXPECT_EQ(read_setting("playlist", "file path"), QStringLiteral("<missing>"))
        << "cancel stores nothing";
    EXPECT_TRUE(app.dialogs->last_add_filter.startsWith(QStringLiteral(
        "All Supported Files (*.mp3 *.wav *.wma *.ogg *.flac *.opus);;MP3 Files(*.mp3);;")));

    bool disabled_meanwhile = false;
    app.dialogs->while_box = [&] {
        disabled_meanwhile = !app.list->AddFile1->isEnabled() && !app.list->Remove1->isEnabled() &&
                             !app.list->Clear1->isEnabled();
        // The list's "Add" stays clickable meanwhile: it opens no second loop.
        app.list->add_files();
        // Opening the menu meanwhile applies its rules again.
        app.list->select(0);
        app.list->pmPopup();
        disabled_meanwhile = disabled_meanwhile && app.list->Remove1->isEnabled();
    };
    app.dialogs->add_answers.push_back({a, missing, c, a});
    app.list->add_files();
    ASSERT_EQ(app.list->count(), 3) << "the same file twice gives two entries";
    EXPECT_EQ(app.list->caption_of(0), QStringLiteral("a b;'c.mp3"));
    EXPECT_EQ(app.list->path_of(1), c);
    EXPECT_EQ(app.list->image_of(1), image_idle);
    EXPECT_EQ(app.list->length_text_of(0), clock_text(ffprobe_seconds(a)));
    EXPECT_EQ(app.list->length_text_of(1), clock_text(ffprobe_seconds(c)));
    ASSERT_EQ(app.dialogs->count("box"), 1);
    EXPECT_EQ(app.dialogs->count("add"), 2) << "the cancelled one and this one";
    EXPECT_EQ(app.dialogs->shown.back().text, missing + QStringLiteral(" has been removed!"));
    EXPECT_EQ(app.dialogs->shown.back().caption, QStringLiteral("Information"));
    EXPECT_TRUE(disabled_meanwhile);
    EXPECT_TRUE(app.list->AddFile1->isEnabled());
    EXPECT_EQ(read_setting("playlist", "file path"), folder.path());

    // Every file rejected: the folder of the first one is stored all the same.
    QTemporaryDir other;
    const QString bad = other.filePath(QStringLiteral("noise.mp3"));
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4000, 'x'));
    f.close();
    app.dialogs->while_box = {};
    app.dialogs->add_answers.push_back({bad});
    app.list->add_files();
    EXPECT_EQ(app.list->count(), 3);
    EXPECT_EQ(app.dialogs->shown.back().text, bad + QStringLiteral(" is an invalid audio file!"));
    EXPECT_EQ(read_setting("playlist", "file path"), other.path());
    app.list->add_files(); // cancelled: the folder stays
    EXPECT_EQ(app.dialogs->last_add_folder, other.path());
    EXPECT_EQ(read_setting("playlist", "file path"), other.path());
}

// Removal and Clear: every index follows its row.
struct RemoveCase {
    const char *name;
    int removed;
    bool playing, recording;
    int play_item, record_item, current_item;
    int expect_play, expect_record, expect_current;
};

class RecordListRemove : public ::testing::TestWithParam<RemoveCase>
{
};

TEST_P(RecordListRemove, IndexesFollowTheirRows)
{
    const RemoveCase &c = GetParam();
    reset_settings();
    AppHarness app;
    for (int i = 0; i < 4; ++i)
        app.list->append_entry(QStringLiteral("f%1").arg(i), QStringLiteral("/x/f%1").arg(i),
                               QStringLiteral("00:00:01"));
    app.main->playing = c.playing;
    app.main->recording = c.recording;
    app.main->play_item_index = c.play_item;
    app.main->record_item_index = c.record_item;
    app.list->select(c.current_item); // the selection rule makes it current
    app.list->select(c.removed);
    app.main->current_item_index = c.current_item;
    app.main->current_file = app.list->path_of(c.current_item);
    const QString current_path = app.main->current_file;
    app.list->remove_selected_entry();
    EXPECT_EQ(app.list->count(), 3);
    EXPECT_EQ(app.main->play_item_index, c.expect_play);
    EXPECT_EQ(app.main->record_item_index, c.expect_record);
    EXPECT_EQ(app.main->current_item_index, c.expect_current);
    if (c.expect_current >= 0)
        EXPECT_EQ(app.list->path_of(c.expect_current), current_path);
    else
        EXPECT_TRUE(app.main->current_file.isEmpty());
    app.main->playing = app.main->recording = false;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Rows, RecordListRemove, ::testing::Values(
    //          name                  rm  play   rec    pi ri ci   pi' ri' ci'
    RemoveCase{"BeforePlaying",        0, true,  false, 2, 0, 3,   1,  -1,  2},
    RemoveCase{"BeforeBoth",           0, true,  true,  2, 3, 1,   1,  2,   0},
    RemoveCase{"AfterAll",             3, true,  true,  1, 2, 0,   1,  2,   0},
    RemoveCase{"TheCurrentEntry",      2, false, false, 0, 1, 2,   0,  1,  -1},
    RemoveCase{"IdlePlayIndexFollows", 1, false, false, 3, 0, 3,   2,  0,   2}),
    [](const auto &info) { return std::string(info.param.name); });
// clang-format on

// Playing from the list's menu, with a fake sound card.
class RecordListPlayback : public ::testing::Test
{
protected:
    QTemporaryDir folder;
    std::unique_ptr<AppHarness> app;
    QStringList files;

    void SetUp() override
    {
        reset_settings();
        AppOptions options;
        options.fake_playback = true;
        app = std::make_unique<AppHarness>(options);
        files = {copy_to(folder, "tone8k_mono.wav", QStringLiteral("a.wav")),
                 copy_to(folder, "tone8k.ogg", QStringLiteral("b.ogg")),
                 copy_to(folder, "tone8k.mp3", QStringLiteral("c.mp3"))};
        app->dialogs->add_answers.push_back(files);
        app->list->AddFile1->trigger();
        ASSERT_EQ(app->list->count(), 3);
    }
    void menu(int row, QAction *Tfm_list::*item)
    {
        app->list->select(row);
        app->list->pmPopup();
        ASSERT_TRUE((app->list->*item)->isEnabled());
        (app->list->*item)->trigger();
    }
    std::vector<int> images() const
    {
        std::vector<int> all;
        for (int i = 0; i < app->list->count(); ++i)
            all.push_back(app->list->image_of(i));
        return all;
    }
};

TEST_F(RecordListPlayback, RemovingAnEntryBeforeThePlayingOneKeepsItsImagesOnItsRow)
{
    menu(2, &Tfm_list::Play1);
    ASSERT_TRUE(app->main->playing);
    EXPECT_EQ(app->main->play_file, files[2]);
    app->list->select(0);
    app->list->remove_selected_entry();
    EXPECT_EQ(app->main->play_item_index, 1);
    EXPECT_EQ(app->list->selected_index(), -1) << "no neighbour is selected in its place";
    menu(1, &Tfm_list::Pause1);
    EXPECT_TRUE(app->main->play_paused);
    EXPECT_EQ(images(), (std::vector<int>{image_idle, image_paused}));
    menu(1, &Tfm_list::Stop1);
    EXPECT_FALSE(app->main->playing);
    EXPECT_EQ(images(), (std::vector<int>{image_idle, image_idle}));
    EXPECT_TRUE(app->dialogs->shown.size() == 1) << "only the add dialog";
}

TEST_F(RecordListPlayback, PlayOnAnotherEntryWhilePausedResumesThePausedFile)
{
    menu(0, &Tfm_list::Play1);
    menu(0, &Tfm_list::Pause1);
    ASSERT_TRUE(app->main->play_paused);
    menu(1, &Tfm_list::Play1);
    EXPECT_FALSE(app->main->play_paused);
    EXPECT_EQ(app->main->play_file, files[0]);
    EXPECT_EQ(images(), (std::vector<int>{image_playing, image_idle, image_idle}));
    // A double-click while a recording runs does nothing.
    app->main->recording = true;
    app->list->select(2);
    app->list->lvDblClick();
    EXPECT_EQ(app->main->play_file, files[0]);
    app->main->recording = false;
    app->list->lvDblClick();
    EXPECT_EQ(app->main->play_file, files[2]);
    EXPECT_EQ(images(), (std::vector<int>{image_idle, image_idle, image_playing}));
}

TEST_F(RecordListPlayback, ClearWhilePlayingStopsFirstAndLeavesNoCurrentFile)
{
    menu(1, &Tfm_list::Play1);
    ASSERT_TRUE(app->main->playing);
    app->list->Clear1->trigger();
    EXPECT_FALSE(app->main->playing);
    EXPECT_EQ(app->list->count(), 0);
    EXPECT_EQ(app->main->current_item_index, -1);
    EXPECT_EQ(app->main->play_item_index, -1);
    EXPECT_TRUE(app->main->current_file.isEmpty());
    app->click(QStringLiteral("Play"));
    EXPECT_FALSE(app->main->playing) << "nothing left to play";
    app->list->pmPopup();
    EXPECT_FALSE(app->list->Clear1->isEnabled());
}

// A user's session: three takes, the second played from the list, the first
// removed, two files added from elsewhere, a tag edited, a folder shown.
TEST(RecordListSession, RecordPlayRemoveAddTagAndShowTheFolder)
{
    reset_settings();
    QTemporaryDir out, other;
    put_setting(QStringLiteral("format"), QStringLiteral("path"), out.path());
    AppOptions options;
    options.fake_playback = true;
    AppHarness app(options);
    for (int take = 0; take < 3; ++take) {
        app.click(QStringLiteral("Record"));
        app.push_seconds(1.2);
        app.settle();
        app.click(QStringLiteral("Stop"));
    }
    ASSERT_EQ(app.list->count(), 3);
    app.click(QStringLiteral("List"));
    app.list->select(1);
    app.list->pmPopup();
    app.list->Play1->trigger();
    ASSERT_TRUE(app.main->playing);
    const QString second = app.list->path_of(1);
    EXPECT_EQ(app.main->play_file, second);
    app.list->select(0);
    app.list->pmPopup();
    ASSERT_TRUE(app.list->Remove1->isEnabled());
    app.list->Remove1->trigger();
    EXPECT_EQ(app.list->path_of(0), second);
    EXPECT_EQ(app.list->image_of(0), image_playing);

    app.dialogs->add_answers.push_back({copy_to(other, "tone8k.mp3", QStringLiteral("x.mp3")),
                                        copy_to(other, "tone8k.ogg", QStringLiteral("y.ogg"))});
    app.list->AddFile1->trigger();
    ASSERT_EQ(app.list->count(), 4);
    app.list->select(2);
    app.list->pmPopup();
    QTimer::singleShot(0, app.id3, [&] {
        app.id3->edt_title->setText(QStringLiteral("Second thoughts"));
        app.id3->btn_okClick();
    });
    app.list->ID3Editor1->trigger();
    app.id3->target_path = app.list->path_of(2);
    ASSERT_TRUE(app.id3->FormShow());
    EXPECT_EQ(app.id3->edt_title->text(), QStringLiteral("Second thoughts"));

    std::vector<QUrl> opened;
    app.list->set_file_manager(std::make_unique<FileManager>(
        QDBusConnection(QStringLiteral("no bus")), [&](const QUrl &url) {
            opened.push_back(url);
            return true;
        }));
    app.list->select(1);
    app.list->pmPopup();
    app.list->GototheFolder1->trigger();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].toLocalFile(), out.path() + QStringLiteral("/"));
    EXPECT_TRUE(app.main->playing) << "nothing above stopped the playback";
    EXPECT_EQ(app.dialogs->count("information"), 0);
}

} // namespace
