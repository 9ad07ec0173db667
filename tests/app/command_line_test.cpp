// "--version" and "--help": one line each, answered before any window or
// sound server is touched; every other argument is ignored.
#include "command_line.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <gtest/gtest.h>

#include <vector>

namespace
{

struct ArgsCase {
    std::vector<const char *> args;
    const char *reply; // nullptr: the program starts as usual
};

class CommandLine : public ::testing::TestWithParam<ArgsCase>
{
};

TEST_P(CommandLine, AnswersOnlyItsTwoArguments)
{
    std::vector<const char *> argv{"velquor"};
    argv.insert(argv.end(), GetParam().args.begin(), GetParam().args.end());
    const auto reply = command_line_reply(int(argv.size()), argv.data());
    if (!GetParam().reply) {
        EXPECT_FALSE(reply.has_value()) << *reply;
        return;
    }
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->rfind(GetParam().reply, 0), 0u) << *reply;
    EXPECT_EQ(reply->find('\n'), std::string::npos);
}

const std::string version_line = std::string("Velquor ") + VELQUOR_VERSION;

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLine,
    ::testing::Values(ArgsCase{{}, nullptr}, ArgsCase{{"--version"}, version_line.c_str()},
                      ArgsCase{{"--help"}, "Usage: velquor"},
                      ArgsCase{{"-style", "fusion", "--help"}, "Usage: velquor"},
                      ArgsCase{{"--help", "--version"}, "Usage: velquor"},
                      ArgsCase{{"--version", "--help"}, version_line.c_str()},
                      ArgsCase{{"-version"}, nullptr}, ArgsCase{{"--versions"}, nullptr},
                      ArgsCase{{"recording.mp3"}, nullptr}, ArgsCase{{""}, nullptr},
                      ArgsCase{{"--", "--help"}, nullptr}));

// The installed command, with no display and no sound server to reach: had it
// touched either, it would fail or hang instead of printing its line.
TEST(CommandLineProgram, PrintsOneLineAndExitsWithoutADisplay)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:/nonexistent/velquor"));
    for (const char *arg : {"--version", "--help"}) {
        QProcess velquor;
        velquor.setProcessEnvironment(env);
        velquor.start(QStringLiteral(VELQUOR_APP_DIR "/velquor"), {QString::fromLatin1(arg)});
        ASSERT_TRUE(velquor.waitForFinished(10000)) << arg;
        EXPECT_EQ(velquor.exitStatus(), QProcess::NormalExit) << arg;
        EXPECT_EQ(velquor.exitCode(), 0) << arg;
        const QString out = QString::fromUtf8(velquor.readAllStandardOutput());
        EXPECT_EQ(out.count(QLatin1Char('\n')), 1) << arg << ": " << out.toStdString();
        EXPECT_TRUE(out.endsWith(QLatin1Char('\n')));
        EXPECT_TRUE(velquor.readAllStandardError().isEmpty()) << arg;
        if (QByteArray(arg) == "--version") {
            EXPECT_EQ(out.trimmed().toStdString(), version_line);
        }
    }
}

} // namespace
