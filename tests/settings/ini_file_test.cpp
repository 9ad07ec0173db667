#include "ini_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

class IniFileTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("velquor.ini")); }
    void put(const QByteArray &bytes)
    {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray contents() const
    {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    std::optional<QString> get(const char *section, const char *key) const
    {
        return IniFile(path()).read(QString::fromUtf8(section), QString::fromUtf8(key));
    }
};

TEST_F(IniFileTest, NamesMatchWithoutCaseAndTheFirstDuplicateWins)
{
    put("[Format]\nPath = /a \n[format]\npath=/b\n[MP3]\nbitrate=1\nBITRATE=2\n");
    EXPECT_EQ(get("format", "path"), QStringLiteral("/a"));
    EXPECT_EQ(get("FORMAT", "PATH"), QStringLiteral("/a"));
    EXPECT_EQ(get("mp3", "bitrate"), QStringLiteral("1"));
    EXPECT_EQ(get("mp3", "missing"), std::nullopt);
    EXPECT_EQ(get("nosuch", "bitrate"), std::nullopt);
}

TEST_F(IniFileTest, MissingAndEmptyFilesReadAsMissing)
{
    EXPECT_EQ(get("a", "b"), std::nullopt);
    put("");
    EXPECT_EQ(get("a", "b"), std::nullopt);
}

TEST_F(IniFileTest, OddLinesAreIgnoredOnReadingAndKeptOnWriting)
{
    const QByteArray original = "\xEF\xBB\xBF; comment\r\n"
                                "key before any section=1\r\n"
                                "[limit\r\n"
                                "[limit]\r\n"
                                "no equals sign here\r\n"
                                "time=180\r\n"
                                "=orphan value\r\n"
                                "\x01\x02\xFF\xFE garbage\r\n"
                                "[schedule]\r\n"
                                "schedule=2\r\n";
    put(original);
    EXPECT_EQ(get("limit", "time"), QStringLiteral("180"));
    EXPECT_EQ(get("schedule", "schedule"), QStringLiteral("2"));
    EXPECT_EQ(get("limit", "no equals sign here"), std::nullopt);

    IniFile(path()).write(QStringLiteral("limit"), QStringLiteral("new"), QStringLiteral("1"));
    const QByteArray after = contents();
    // Every old line is still there byte for byte, BOM and CRLF included.
    EXPECT_TRUE(after.startsWith("\xEF\xBB\xBF; comment\r\n"));
    for (const QByteArray &line : original.mid(3).split('\n'))
        EXPECT_TRUE(after.contains(line)) << line.constData();
    EXPECT_LT(after.indexOf("new=1\r\n"), after.indexOf("[schedule]"));
    EXPECT_GT(after.indexOf("new=1\r\n"), after.indexOf("time=180"));
    EXPECT_EQ(get("limit", "new"), QStringLiteral("1"));
    EXPECT_EQ(get("schedule", "schedule"), QStringLiteral("2"));
}

TEST_F(IniFileTest, WritingReplacesTheFirstKeyAndCreatesSectionsAtTheEnd)
{
    put("[MP3]\nBitRate=11\n\n[ogg]\nquality=300\n");
    IniFile ini(path());
    ini.write(QStringLiteral("mp3"), QStringLiteral("bitrate"), QStringLiteral("5"));
    ini.write(QStringLiteral("mp3"), QStringLiteral("channel"), QStringLiteral("0"));
    ini.write(QStringLiteral("wav"), QStringLiteral("mode"), QStringLiteral("1"));
    EXPECT_EQ(contents(),
              QByteArray("[MP3]\nBitRate=5\nchannel=0\n\n[ogg]\nquality=300\n\n[wav]\nmode=1\n"));
}

TEST_F(IniFileTest, ValuesAreOneLineAndReadBackCutTo2047Characters)
{
    IniFile ini(path());
    ini.write(QStringLiteral("format"), QStringLiteral("path"), QStringLiteral("a\nb=c\r\n[x]"));
    EXPECT_EQ(get("format", "path"), QStringLiteral("a b=c  [x]"));
    EXPECT_EQ(get("x", "b"), std::nullopt);

    const QString long_value(3000, QLatin1Char('v'));
    ini.write(QStringLiteral("format"), QStringLiteral("path"), long_value);
    EXPECT_EQ(get("format", "path")->size(), 2047);
}

TEST_F(IniFileTest, UnicodeValuesSurvive)
{
    IniFile ini(path());
    const QString folder = QStringLiteral("/home/zoë/Müsik/録音");
    ini.write(QStringLiteral("format"), QStringLiteral("path"), folder);
    EXPECT_EQ(get("format", "path"), folder);
}

TEST_F(IniFileTest, ARefusedWriteRaisesTheMessageAndLeavesTheOldFileWhole)
{
    // A parent that is a file: no folder can be made there, even by root.
    put("[a]\nb=1\n");
    IniFile under_file(path() + QStringLiteral("/velquor.ini"));
    try {
        under_file.write(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("2"));
        FAIL() << "no error";
    } catch (const SettingsWriteError &e) {
        EXPECT_STREQ(e.what(), "Unable to write to velquor.ini");
    }
    // A folder of the kernel's that nobody may create files in.
    EXPECT_THROW(IniFile(QStringLiteral("/proc/velquor.ini"))
                     .write(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("1")),
                 SettingsWriteError);
    // A missing parent folder.
    EXPECT_THROW(IniFile(dir.filePath(QStringLiteral("no/such/velquor.ini")))
                     .write(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("1")),
                 SettingsWriteError);
    // A settings file made read-only (root may write anything, so only as a user).
    if (geteuid() != 0) {
        QFile::setPermissions(path(), QFileDevice::ReadOwner);
        EXPECT_THROW(
            IniFile(path()).write(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("2")),
            SettingsWriteError);
        QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    EXPECT_EQ(contents(), QByteArray("[a]\nb=1\n"));
}

TEST_F(IniFileTest, AFullDiskLeavesTheOldFileWhole)
{
    QByteArray original = "[keep]\n";
    for (int i = 0; i < 200; ++i)
        original += "key" + QByteArray::number(i) + "=value number " + QByteArray::number(i) + '\n';
    put(original);
    const QByteArray local_path = path().toLocal8Bit();
    // A file-size limit in a child makes every write past it fail as on a full disk.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{1024, 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        try {
            IniFile(QString::fromLocal8Bit(local_path))
                .write(QStringLiteral("keep"), QStringLiteral("big"),
                       QString(4000, QLatin1Char('x')));
        } catch (const SettingsWriteError &) {
            _exit(0);
        }
        _exit(1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write did not report the full disk";
    EXPECT_EQ(contents(), original);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1) << "a temporary file was left";
}

TEST_F(IniFileTest, AKillDuringWritesNeverLeavesATruncatedFile)
{
    put("[keep]\nfirst=1\n");
    const QByteArray local_path = path().toLocal8Bit();
    for (int round = 0; round < 20; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            IniFile ini(QString::fromLocal8Bit(local_path));
            for (int i = 0;; ++i)
                ini.write(QStringLiteral("loop"), QStringLiteral("k%1").arg(i % 50),
                          QString(200 + i % 300, QLatin1Char('a' + i % 26)));
        }
        usleep(static_cast<useconds_t>(2000 + round * 1500));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        ASSERT_EQ(get("keep", "first"), QStringLiteral("1")) << "round " << round;
        const QByteArray text = contents();
        ASSERT_TRUE(text.endsWith('\n')) << "round " << round;
    }
}

} // namespace
