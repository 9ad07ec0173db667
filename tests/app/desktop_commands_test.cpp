// velquor's commands against the real program on a bus of the test's own:
// one instance, the status line, toggling, and a refusal in the main
// window's words; beside the private sound server, which the recordings take.
#include "desktop_session.h"

#include "audio/audio_file.h"
#include "test_support.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <gtest/gtest.h>

namespace
{

struct Step {
    const char *tool; // "velquor" or another program
    std::vector<const char *> args;
    int wait_ms;
};

struct CommandRow {
    const char *name;
    bool running;   // Velquor is started before the steps
    bool x_display; // its windows are counted on an X server
    std::vector<Step> steps;
    std::vector<const char *> command;
    int code;
    const char *out; // patterns; %OUT% is the recordings' folder
    const char *err;
    int files; // recordings afterwards, -1: not looked at
    // The one file lasts from the last step's end to the command's start, and
    // at most from the last step's start to the command's end.
    bool timed_file;
};

class Commands : public ::testing::TestWithParam<CommandRow>
{
};

QStringList strings(const std::vector<const char *> &args)
{
    QStringList out;
    for (const char *a : args)
        out << QString::fromLatin1(a);
    return out;
}

bool matches(const char *pattern, const QString &text, const QString &out_folder)
{
    QString p = QString::fromLatin1(pattern);
    p.replace(QStringLiteral("%OUT%"), QRegularExpression::escape(out_folder));
    return QRegularExpression(QStringLiteral("\\A") + p + QStringLiteral("\\z"))
        .match(text)
        .hasMatch();
}

int visible_windows(DesktopSession &session)
{
    const auto found = session.run(QStringLiteral("xdotool"),
                                   {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                    QStringLiteral("--name"), QStringLiteral("^Velquor$")});
    return static_cast<int>(found.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size());
}

TEST_P(Commands, ReachTheRunningVelquorThroughItsDispatch)
{
    const CommandRow &row = GetParam();
    ASSERT_TRUE(test_support::require_pulse());
    DesktopSession session(row.x_display);
    ASSERT_TRUE(session.ready()) << "no bus or X server";
    session.write_settings();
    if (row.running) {
        ASSERT_TRUE(session.start_velquor());
        if (row.x_display) {
            ASSERT_TRUE(
                test_support::wait_until([&] { return visible_windows(session) == 1; }, 10000));
        }
    }
    DesktopSession::Run last;
    for (const Step &step : row.steps) {
        const QString tool = QString::fromLatin1(step.tool);
        last = tool == QLatin1String("velquor") ? session.velquor(strings(step.args))
                                                : session.run(tool, strings(step.args));
        ASSERT_EQ(last.code, 0) << step.tool << ": " << last.err.toStdString();
        QThread::msleep(static_cast<unsigned long>(step.wait_ms));
    }
    const DesktopSession::Run run = session.velquor(strings(row.command));
    EXPECT_EQ(run.code, row.code) << run.err.toStdString();
    EXPECT_TRUE(matches(row.out, run.out, session.out_folder())) << run.out.toStdString();
    EXPECT_TRUE(matches(row.err, run.err, session.out_folder())) << run.err.toStdString();
    if (row.x_display) {
        QThread::msleep(500);
        EXPECT_EQ(visible_windows(session), 1);
        EXPECT_TRUE(session.wait_for_name(QStringLiteral("com.tenvique.velquor"), true, 1000));
    }
    if (row.files < 0)
        return;
    const QStringList files = QDir(session.out_folder()).entryList(QDir::Files);
    ASSERT_EQ(files.size(), row.files) << files.join(QLatin1Char(' ')).toStdString();
    if (!row.timed_file)
        return;
    TAudioFile2 file;
    file.OpenFile(QDir(session.out_folder()).filePath(files.first()), 0, 1);
    const qint64 ms = file.Duration();
    file.CloseFile();
    // Within one 200 ms block of the moments the commands could have acted.
    EXPECT_GE(ms, run.started_ms - last.ended_ms - 250);
    EXPECT_LE(ms, run.ended_ms - last.started_ms + 250);
}

const std::vector<CommandRow> rows{
    {"SecondStartBringsTheFirstToTheFront", true, true, {}, {}, 0, "", "", -1, false},
    {"StatusWhenIdle", true, false, {}, {"--status"}, 0, "idle\n", "", 0, false},
    {"StatusWhileRecording",
     true,
     false,
     {{"velquor", {"--record"}, 2200}},
     {"--status"},
     0,
     "recording %OUT%/\\S+\\.wav [23]\n",
     "",
     1,
     false},
    {"StatusWhilePaused",
     true,
     false,
     {{"velquor", {"--record"}, 1200}, {"velquor", {"--pause"}, 1000}},
     {"--status"},
     0,
     "paused %OUT%/\\S+\\.wav [12]\n",
     "",
     1,
     false},
    {"RecordWhilePlayingIsRefusedInTheWindowsWords",
     true,
     false,
     {{"velquor", {"--record"}, 1500},
      {"velquor", {"--stop"}, 0},
      {"playerctl", {"-p", "velquor", "play"}, 300}},
     {"--record"},
     1,
     "",
     "Please stop playing first.\n",
     1,
     false},
    {"ToggleTwiceStartsVelquorAndMakesOneFile",
     false,
     false,
     {{"velquor", {"--toggle"}, 3000}},
     {"--toggle"},
     0,
     "",
     "",
     1,
     true},
    {"StopWithNoVelquorRunning",
     false,
     false,
     {},
     {"--stop"},
     2,
     "",
     "velquor: .*not running.*\n",
     0,
     false},
};

INSTANTIATE_TEST_SUITE_P(Paths, Commands, ::testing::ValuesIn(rows),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
