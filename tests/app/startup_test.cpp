// Start-up: skin, display elements, settings, device and input-line lists,
// Escape, docking, a broken skin, and the restart question.
#include "app_harness.h"

#include "option.h"
#include "pulse/audio_record.h"
#include "recordlist.h"
#include "settings_file.h"
#include "skin/skin.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace
{

CaptureDeviceInfo device(const char *name, std::vector<const char *> lines, bool usable = true)
{
    CaptureDeviceInfo d;
    d.name = QString::fromLatin1(name);
    d.usable = usable;
    for (const char *l : lines)
        d.lines.push_back(
            {QString::fromLatin1(l), QString::fromLatin1(l) + QStringLiteral(".src"), {}});
    return d;
}

class Startup : public ::testing::Test
{
protected:
    void SetUp() override { reset_settings(); }
};

TEST_F(Startup, OpensWithNoSettingsFileAndFindsItsElements)
{
    AppHarness app;
    EXPECT_EQ(app.main->windowTitle(), QStringLiteral("Velquor"));
    EXPECT_EQ(app.main->size(), QSize(341, 168));
    EXPECT_NE(app.main->play_bar, nullptr);
    EXPECT_NE(app.main->file_name_label, nullptr);
    EXPECT_NE(app.main->time_label, nullptr);
    EXPECT_NE(app.main->format_label, nullptr);
    EXPECT_TRUE(app.main->skin_problem().isEmpty()) << app.main->skin_problem().toStdString();
    EXPECT_TRUE(app.main->Timer.isActive());
    EXPECT_EQ(app.main->current_item_index, -1);
    EXPECT_EQ(app.main->pending_year, -1);
    EXPECT_EQ(app.main->pending_track, -1);
    ASSERT_NE(app.main->settings_file, nullptr);
    EXPECT_EQ(app.option->cb_source->count(), 1);
    EXPECT_EQ(app.option->cb_device->count(), 1);
    EXPECT_EQ(app.option->tb_volume->value(), 40000);
    EXPECT_FALSE(app.capture->selected.empty());
    EXPECT_EQ(app.dialogs->shown.size(), 0u);
}

// The program builds the settings dialog after the first paint; whatever
// needs it sooner (Options, a recording) builds it at once, lists filled.
TEST_F(Startup, ASettingsDialogBuiltLateIsBuiltOnceWhenFirstNeededWithItsListsFilled)
{
    AppOptions late;
    late.late_option = true;
    late.devices = {device("Card A", {"Line 1", "Line 2"}), device("Card B", {"Line 3"})};
    {
        AppHarness app(late);
        EXPECT_EQ(app.option, nullptr) << "built only when asked for";
        QTimer::singleShot(0, [&] {
            ASSERT_NE(app.option, nullptr);
            EXPECT_TRUE(app.option->isVisible());
            EXPECT_EQ(app.option->cb_device->count(), 2);
            EXPECT_EQ(app.option->cb_source->count(), 2);
            EXPECT_EQ(app.option->tb_volume->value(), 40000);
            app.option->reject();
        });
        app.click(QStringLiteral("Options"));
        ASSERT_EQ(app.main->options(), app.option);
        EXPECT_EQ(app.main->option_window(), app.option) << "built once";
        EXPECT_FALSE(app.capture->selected.empty()) << "its lists chose the recorded line";
    }
    QTemporaryDir out;
    put_setting(QStringLiteral("format"), QStringLiteral("path"), out.path());
    // Lines are listed last to first: position 0 of Card B is Line 3.
    late.devices = {device("Card A", {"Line 1"}), device("Card B", {"Line 2", "Line 3"})};
    put_setting(QStringLiteral("source"), QStringLiteral("source"), QStringLiteral("1"));
    put_setting(QStringLiteral("source"), QStringLiteral("device"), QStringLiteral("0"));
    AppHarness app(late);
    app.click(QStringLiteral("Record"));
    ASSERT_TRUE(app.main->recording);
    ASSERT_NE(app.option, nullptr);
    ASSERT_FALSE(app.capture->selected.empty());
    EXPECT_EQ(app.capture->selected.back().name, QStringLiteral("Line 3"));
    app.main->stop_recording();
}

TEST_F(Startup, ASkippedDeviceNeverShiftsTheOthers)
{
    put_setting(QStringLiteral("source"), QStringLiteral("source"), QStringLiteral("1"));
    put_setting(QStringLiteral("source"), QStringLiteral("device"), QStringLiteral("1"));
    AppOptions options;
    options.devices = {device("Card A", {"A in"}), device("Card B", {}, false),
                       device("Card C", {"C mic", "C line", "C monitor"})};
    AppHarness app(options);
    ASSERT_EQ(app.option->cb_source->count(), 2);
    EXPECT_EQ(app.option->cb_source->itemText(1), QStringLiteral("Card C"));
    EXPECT_EQ(app.option->cb_source->currentIndex(), 1);
    EXPECT_EQ(app.main->AudioRecord->DeviceIndex(), 2);
    // Lines are listed last to first; position 1 of three is line 2.
    ASSERT_EQ(app.option->cb_device->count(), 3);
    EXPECT_EQ(app.option->cb_device->itemText(0), QStringLiteral("C monitor"));
    EXPECT_EQ(app.option->cb_device->currentIndex(), 1);
    ASSERT_FALSE(app.capture->selected.empty());
    EXPECT_EQ(app.capture->selected.back().name, QStringLiteral("C line"));
}

TEST_F(Startup, StoredPositionsBeyondTheListsSelectTheFirstEntry)
{
    put_setting(QStringLiteral("source"), QStringLiteral("source"), QStringLiteral("7"));
    put_setting(QStringLiteral("source"), QStringLiteral("device"), QStringLiteral("9"));
    AppOptions options;
    options.devices = {device("Card A", {"A mic", "A monitor"}), device("Card B", {"B in"})};
    AppHarness app(options);
    EXPECT_EQ(app.option->cb_source->currentIndex(), 0);
    EXPECT_EQ(app.main->AudioRecord->DeviceIndex(), 0);
    EXPECT_EQ(app.option->cb_device->currentIndex(), 0);
    ASSERT_FALSE(app.capture->selected.empty());
    EXPECT_EQ(app.capture->selected.back().name, QStringLiteral("A monitor"));

    reset_settings();
    put_setting(QStringLiteral("source"), QStringLiteral("source"), QStringLiteral("-3"));
    AppHarness again(options);
    EXPECT_EQ(again.option->cb_source->currentIndex(), 0);
}

TEST_F(Startup, NoSoundServerGivesEmptyListsAndAWorkingWindow)
{
    AppOptions options;
    options.server_present = false;
    AppHarness app(options);
    EXPECT_EQ(app.option->cb_source->count(), 0);
    EXPECT_EQ(app.option->cb_device->count(), 0);
    EXPECT_EQ(app.option->cb_source->currentIndex(), -1);
    EXPECT_TRUE(app.main->isVisible());
    EXPECT_TRUE(app.main->Timer.isActive());
}

TEST_F(Startup, EscapeClosesOnlyWhenTheMainWindowIsActive)
{
    AppHarness app;
    app.list->show();
    QApplication::setActiveWindow(app.list);
    QTest::keyClick(app.list->lv, Qt::Key_Escape);
    EXPECT_TRUE(app.main->isVisible());

    QApplication::setActiveWindow(app.main);
    QTest::keyClick(app.main, Qt::Key_Escape);
    EXPECT_FALSE(app.main->isVisible());
    EXPECT_EQ(app.main->settings_file, nullptr);
    EXPECT_FALSE(app.main->Timer.isActive());
}

TEST_F(Startup, TheRecordListDocksUnderTheMainWindowAndFollowsIt)
{
    AppHarness app;
    app.list->hide();
    app.main->move(100, 100);
    const QPoint list_before = app.list->pos();
    app.main->move(150, 120);
    QCoreApplication::processEvents();
    EXPECT_EQ(app.list->pos(), list_before) << "a hidden list window moved";

    app.click(QStringLiteral("List"));
    ASSERT_TRUE(app.list->isVisible());
    const QRect frame = app.main->frameGeometry();
    EXPECT_EQ(app.list->pos(), QPoint(frame.left(), frame.top() + frame.height()));
    app.main->move(200, 50);
    QCoreApplication::processEvents();
    const QRect moved = app.main->frameGeometry();
    EXPECT_EQ(app.list->pos(), QPoint(moved.left(), moved.top() + moved.height()));

    app.click(QStringLiteral("List"));
    EXPECT_FALSE(app.list->isVisible());
}

TEST_F(Startup, ABrokenSkinFileIsReportedAndTheBuiltInLookIsUsed)
{
    QTemporaryDir folder;
    QFile broken(folder.filePath(QStringLiteral("mp3dec.dll")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("{ \"forms\": { \"ZI3Ruzerudi\": [ broken");
    broken.close();
    AppOptions options;
    options.program_folder = folder.path();
    AppHarness app(options);
    ASSERT_EQ(app.dialogs->count(QStringLiteral("box")), 1);
    EXPECT_TRUE(app.dialogs->shown[0].text.contains(broken.fileName()))
        << app.dialogs->shown[0].text.toStdString();
    EXPECT_NE(app.main->time_label, nullptr);
    EXPECT_EQ(app.main->size(), QSize(341, 168));

    QTemporaryDir empty;
    options.program_folder = empty.path();
    AppHarness missing(options);
    EXPECT_EQ(missing.dialogs->count(QStringLiteral("box")), 1);
    EXPECT_NE(missing.main->format_label, nullptr);
}

TEST_F(Startup, ASkinWithoutADisplayElementStillRecords)
{
    QFile original(QDir(QStringLiteral(VELQUOR_APP_DIR)).filePath(QStringLiteral("mp3dec.dll")));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    QJsonObject skin = QJsonDocument::fromJson(original.readAll()).object();
    QJsonObject forms = skin.value(QStringLiteral("forms")).toObject();
    QJsonObject main_form = forms.value(QStringLiteral("ZI3Ruzerudi")).toObject();
    QJsonArray kept;
    for (const QJsonValue e : main_form.value(QStringLiteral("elements")).toArray())
        if (e.toObject().value(QStringLiteral("name")).toString() != QLatin1String("Time"))
            kept.append(e);
    main_form.insert(QStringLiteral("elements"), kept);
    forms.insert(QStringLiteral("ZI3Ruzerudi"), main_form);
    skin.insert(QStringLiteral("forms"), forms);

    QTemporaryDir folder;
    QFile copy(folder.filePath(QStringLiteral("mp3dec.dll")));
    ASSERT_TRUE(copy.open(QIODevice::WriteOnly));
    copy.write(QJsonDocument(skin).toJson());
    copy.close();

    QTemporaryDir out;
    put_setting(QStringLiteral("format"), QStringLiteral("path"), out.path());
    AppOptions options;
    options.program_folder = folder.path();
    AppHarness app(options);
    EXPECT_EQ(app.main->time_label, nullptr);
    app.click(QStringLiteral("Record"));
    ASSERT_TRUE(app.main->recording);
    app.push_seconds(0.5);
    app.settle();
    app.click(QStringLiteral("Stop"));
    EXPECT_FALSE(app.main->recording);
}

struct Boom : std::runtime_error {
    Boom() : std::runtime_error("boom") {}
};

TEST_F(Startup, TheRestartQuestionFinishesTheRecordingWhateverTheAnswer)
{
    for (const bool yes : {false, true}) {
        reset_settings();
        QTemporaryDir out;
        put_setting(QStringLiteral("format"), QStringLiteral("path"), out.path());
        AppHarness app;
        app.dialogs->yes = yes;
        app.click(QStringLiteral("Record"));
        ASSERT_TRUE(app.main->recording);
        app.push_seconds(1.2);
        app.settle();
        // An error out of an event handler reaches the application object.
        QTimer::singleShot(0, app.main, [] { throw Boom(); });
        QTest::qWait(50);
        ASSERT_EQ(app.dialogs->count(QStringLiteral("question")), 1);
        EXPECT_EQ(app.dialogs->shown.back().text,
                  QStringLiteral("A system error occurs,do you want to restart this program?"));
        EXPECT_FALSE(app.main->isVisible());
        EXPECT_FALSE(app.main->recording);
        EXPECT_EQ(app.list->length_text_of(0), QStringLiteral("00:00:01"));
        EXPECT_EQ(app.restarts, yes ? 1 : 0);
    }
}

} // namespace
