// The main window's skin command table, row by row with its guards, and the
// placement of the windows it opens.
#include "app_harness.h"

#include "ID3.h"
#include "option.h"
#include "recordlist.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

namespace
{

// Catches the help file instead of starting a browser.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    UrlCatcher() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open"); }
    ~UrlCatcher() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    std::vector<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.push_back(url); }
};

// A click on an element of the record list's own skin form ("Add", "Del").
void click_on_list(AppHarness &app, const QString &element)
{
    app.list->show();
    const QRect rect =
        element_rect(QDir(QStringLiteral(VELQUOR_APP_DIR)).filePath(QStringLiteral("mp3dec.dll")),
                     QStringLiteral("List"), element);
    ASSERT_TRUE(rect.isValid()) << "no element " << element.toStdString();
    QWidget *target = app.list->childAt(rect.center());
    ASSERT_NE(target, nullptr);
    QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(app.list, rect.center()));
}

void three_entries(AppHarness &app)
{
    for (int i = 0; i < 3; ++i)
        app.list->append_entry(QStringLiteral("f%1").arg(i), QStringLiteral("/x/f%1").arg(i),
                               QStringLiteral("00:00:01"));
}

// Where a dialog opened modally stood, and closes it.
QRect geometry_when_opened(QDialog *dialog, const std::function<void()> &open)
{
    QRect seen;
    QTimer::singleShot(0, dialog, [&] {
        seen = dialog->frameGeometry();
        dialog->reject();
    });
    open();
    return seen;
}

struct CommandCase {
    const char *name;
    const char *element;
    std::function<void(AppHarness &)> before;
    std::function<void(AppHarness &)> check;
};

class CommandTable : public ::testing::TestWithParam<CommandCase>
{
};

TEST_P(CommandTable, Row)
{
    const CommandCase &c = GetParam();
    reset_settings();
    AppHarness app;
    three_entries(app);
    if (c.before)
        c.before(app);
    const QString element = QString::fromLatin1(c.element);
    if (QStringList{"Add", "Del", "Title", "List Icon"}.contains(element))
        click_on_list(app, element);
    else
        app.click(element);
    c.check(app);
    app.main->recording = app.main->playing = false;
}

const auto removes_nothing = [](AppHarness &app) {
    EXPECT_EQ(app.list->count(), 3);
    EXPECT_TRUE(app.dialogs->shown.empty()) << "refusals of Del are silent";
};

// clang-format off
INSTANTIATE_TEST_SUITE_P(Rows, CommandTable, ::testing::Values(
    CommandCase{"RecordWhilePlaying", "Record",
        [](AppHarness &app) { app.main->playing = true; },
        [](AppHarness &app) {
            ASSERT_EQ(app.dialogs->count("information"), 1);
            EXPECT_EQ(app.dialogs->shown.back().text, QStringLiteral("Please stop playing first."));
            EXPECT_FALSE(app.main->recording);
        }},
    CommandCase{"AddRunsTheListsDialog", "Add", {},
        [](AppHarness &app) {
            ASSERT_EQ(app.dialogs->count("add"), 1);
            EXPECT_EQ(app.list->count(), 3) << "cancelled";
        }},
    CommandCase{"DelWithNoSelection", "Del", {}, removes_nothing},
    CommandCase{"DelOfTheRecordingRow", "Del",
        [](AppHarness &app) { app.main->recording = true; app.main->record_item_index = 1; app.list->select(1); },
        removes_nothing},
    CommandCase{"DelOfThePlayingRow", "Del",
        [](AppHarness &app) { app.main->playing = true; app.main->play_item_index = 2; app.list->select(2); },
        removes_nothing},
    CommandCase{"DelOfAnotherRowWhileBothRun", "Del",
        [](AppHarness &app) {
            app.main->recording = app.main->playing = true;
            app.main->record_item_index = 1;
            app.main->play_item_index = 2;
            app.list->select(0);
        },
        [](AppHarness &app) {
            EXPECT_EQ(app.list->count(), 2);
            EXPECT_EQ(app.list->path_of(0), QStringLiteral("/x/f1"));
            EXPECT_EQ(app.main->record_item_index, 0);
            EXPECT_EQ(app.main->play_item_index, 1);
        }},
    CommandCase{"OptionsWhileRecording", "Options",
        [](AppHarness &app) { app.main->recording = true; },
        [](AppHarness &app) {
            EXPECT_FALSE(app.option->isVisible());
            EXPECT_TRUE(app.dialogs->shown.empty());
        }},
    CommandCase{"ListTitleDoesNothing", "Title",
        [](AppHarness &app) { app.list->select(0); },
        [](AppHarness &app) {
            EXPECT_TRUE(app.dialogs->shown.empty());
            EXPECT_EQ(app.list->count(), 3);
            EXPECT_TRUE(app.list->isVisible());
        }},
    CommandCase{"UnknownNamesDoNothing", "Play Bar",
        [](AppHarness &app) { app.list->select(0); },
        [](AppHarness &app) {
            EXPECT_TRUE(app.dialogs->shown.empty());
            EXPECT_EQ(app.list->count(), 3);
            EXPECT_FALSE(app.list->isVisible());
            EXPECT_FALSE(app.main->playing);
            EXPECT_FALSE(app.main->recording);
        }}),
    [](const auto &info) { return std::string(info.param.name); });
// clang-format on

TEST(CommandTableWindows, ListTwiceDocksThenClosesAndTheClosedListStaysPut)
{
    reset_settings();
    AppHarness app;
    app.main->move(100, 80);
    app.click(QStringLiteral("List"));
    ASSERT_TRUE(app.list->isVisible());
    const QRect main = app.main->frameGeometry();
    EXPECT_EQ(app.list->frameGeometry().topLeft(), QPoint(main.left(), main.top() + main.height()));
    app.main->move(150, 90);
    QCoreApplication::processEvents();
    EXPECT_EQ(app.list->frameGeometry().topLeft(),
              QPoint(150, 90 + app.main->frameGeometry().height()))
        << "the docked list follows";
    app.click(QStringLiteral("List"));
    EXPECT_FALSE(app.list->isVisible());
    const QPoint left_at = app.list->pos();
    app.main->move(300, 200);
    QCoreApplication::processEvents();
    EXPECT_EQ(app.list->pos(), left_at);
}

// Options: centred on the main window, then on it and the list together; the
// list's own tag editor: centred under the list, on the entry's file or, on
// the recording's entry, on the pending tags.
TEST(CommandTableWindows, DialogPlacementWithAndWithoutTheList)
{
    reset_settings();
    AppHarness app;
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("tagged.mp3"));
    ASSERT_TRUE(QFile::copy(
        QDir(QStringLiteral(VELQUOR_CORPUS_DIR)).filePath(QStringLiteral("tone8k.mp3")), file));
    app.list->append_entry(QStringLiteral("tagged.mp3"), file, QStringLiteral("00:00:01"));
    app.main->move(200, 100);
    for (bool with_list : {false, true}) {
        if (with_list)
            app.click(QStringLiteral("List"));
        const QRect seen =
            geometry_when_opened(app.option, [&] { app.click(QStringLiteral("Options")); });
        const QRect main = app.main->frameGeometry();
        const int list_height = with_list ? app.list->frameGeometry().height() : 0;
        EXPECT_EQ(seen.left(), main.left() + (main.width() - seen.width()) / 2) << with_list;
        EXPECT_EQ(seen.top(), main.top() + (main.height() + list_height - seen.height()) / 2)
            << with_list;
    }
    app.list->select(0);
    app.list->pmPopup();
    const QRect seen = geometry_when_opened(app.id3, [&] { app.list->ID3Editor1->trigger(); });
    const QRect main = app.main->frameGeometry();
    const QRect list = app.list->frameGeometry();
    EXPECT_EQ(seen.left(), list.left() + (list.width() - seen.width()) / 2);
    EXPECT_EQ(seen.top(), main.top() + (main.height() + list.height() - seen.height()) / 2);
    EXPECT_EQ(app.id3->target_path, file);
    EXPECT_TRUE(app.dialogs->shown.empty());

    app.main->recording = true;
    app.main->record_item_index = 0;
    geometry_when_opened(app.id3, [&] { app.list->ID3Editor1->trigger(); });
    EXPECT_TRUE(app.id3->target_path.isEmpty());
    app.main->recording = false;
}

TEST(CommandTableWindows, HelpOpensTheHelpFile)
{
    reset_settings();
    AppHarness app;
    UrlCatcher catcher;
    app.click(QStringLiteral("Help"));
    ASSERT_EQ(catcher.urls.size(), 1u);
    EXPECT_TRUE(catcher.urls[0].toLocalFile().endsWith(QStringLiteral("help/velquorhelp.html")));
}

} // namespace

#include "commands_test.moc"
