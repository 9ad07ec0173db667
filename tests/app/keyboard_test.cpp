// The commands without a mouse: each key goes where the element's click goes,
// guards and messages included, in the main window and the record list.
#include "app_harness.h"

#include "playback_files.h"
#include "recordlist.h"
#include "skin/skin.h"

#include <QApplication>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace
{

struct KeyPath {
    const char *keys; // space-separated; "@list" sends the key to the record list's rows
    const char *state;
};

void PrintTo(const KeyPath &p, std::ostream *os)
{
    *os << p.keys;
}

class CommandKeys : public ::testing::TestWithParam<KeyPath>
{
protected:
    void press(AppHarness &app, const QString &step)
    {
        const QStringList parts = step.split(QLatin1Char('@'));
        static const std::map<QString, QKeyCombination> keys = {
            {QStringLiteral("ctrl+r"), Qt::CTRL | Qt::Key_R},
            {QStringLiteral("ctrl+p"), Qt::CTRL | Qt::Key_P},
            {QStringLiteral("ctrl+s"), Qt::CTRL | Qt::Key_S},
            {QStringLiteral("ctrl+space"), Qt::CTRL | Qt::Key_Space},
            {QStringLiteral("ctrl+l"), Qt::CTRL | Qt::Key_L},
            {QStringLiteral("ctrl+,"), Qt::CTRL | Qt::Key_Comma},
            {QStringLiteral("tab"), QKeyCombination(Qt::Key_Tab)},
            {QStringLiteral("right"), QKeyCombination(Qt::Key_Right)},
            {QStringLiteral("down"), QKeyCombination(Qt::Key_Down)},
            {QStringLiteral("del"), QKeyCombination(Qt::Key_Delete)},
            {QStringLiteral("return"), QKeyCombination(Qt::Key_Return)}};
        const QKeyCombination key = keys.at(parts[0]);
        QWidget *window = parts.size() > 1 ? static_cast<QWidget *>(app.list) : app.main;
        QApplication::setActiveWindow(window);
        QWidget *target = parts.size() > 1 ? app.list->lv : QApplication::focusWidget();
        QTest::keyClick(target ? target : window, key.key(), key.keyboardModifiers());
        app.settle();
    }
    static QString state(AppHarness &app)
    {
        QStringList shown;
        for (const auto &s : app.dialogs->shown)
            shown << s.text;
        return QStringLiteral("rec=%1 pause=%2 play=%3 list=%4 rows=%5 bar=%6 said=%7")
            .arg(app.main->recording)
            .arg(app.main->record_paused)
            .arg(app.main->playing)
            .arg(app.list->isVisible())
            .arg(app.list->count())
            .arg(app.main->play_bar->GetPosition())
            .arg(shown.join(QLatin1Char('|')));
    }
};

TEST_P(CommandKeys, EachKeyTakesTheClicksPath)
{
    reset_settings();
    QTemporaryDir dir;
    put_setting(keys::basic::path, dir.path());
    AppOptions options;
    options.fake_playback = true;
    AppHarness app(options);
    // A 60 s file in the list, not playing: the bar's 5 s step is 83 of 1000.
    const QString tone = dir.filePath(QStringLiteral("tone.wav"));
    ASSERT_TRUE(playback_files::sox(tone, {"synth", "60", "sine", "440"}));
    app.list->append_entry(QStringLiteral("tone.wav"), tone, QStringLiteral("00:01:00"));
    for (const QString &step : QString::fromLatin1(GetParam().keys).split(QLatin1Char(' '))) {
        press(app, step);
        if (step.startsWith(QLatin1String("ctrl+r")))
            app.push_seconds(0.5);
    }
    EXPECT_EQ(state(app).toStdString(), GetParam().state);
    if (app.main->recording)
        app.main->stop_recording();
}

INSTANTIATE_TEST_SUITE_P(
    Keys, CommandKeys,
    ::testing::Values(
        KeyPath{"ctrl+r", "rec=1 pause=0 play=0 list=0 rows=2 bar=0 said="},
        KeyPath{"ctrl+r ctrl+p", "rec=1 pause=1 play=0 list=0 rows=2 bar=0 said="},
        KeyPath{"ctrl+r ctrl+s", "rec=0 pause=0 play=0 list=0 rows=2 bar=0 said="},
        KeyPath{"ctrl+r ctrl+space",
                "rec=1 pause=0 play=0 list=0 rows=2 bar=0 said=Please stop recording first."},
        KeyPath{"ctrl+r ctrl+,", "rec=1 pause=0 play=0 list=0 rows=2 bar=0 said="},
        KeyPath{"ctrl+l", "rec=0 pause=0 play=0 list=1 rows=1 bar=0 said="},
        KeyPath{"ctrl+l ctrl+l", "rec=0 pause=0 play=0 list=0 rows=1 bar=0 said="},
        KeyPath{"ctrl+l down@list del@list", "rec=0 pause=0 play=0 list=1 rows=0 bar=0 said="},
        KeyPath{"ctrl+l down@list return@list", "rec=0 pause=0 play=1 list=1 rows=1 bar=0 said="},
        // The row being played stays, as with "Del".
        KeyPath{"ctrl+l down@list return@list del@list",
                "rec=0 pause=0 play=1 list=1 rows=1 bar=0 said="},
        KeyPath{"ctrl+l down@list return@list ctrl+p tab tab tab tab tab tab right",
                "rec=0 pause=0 play=1 list=1 rows=1 bar=83 said="}));

} // namespace
