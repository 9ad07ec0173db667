// A recording interrupted by SIGKILL or by a full disk stays a readable file.

#include "audio/audio_file.h"
#include "audio_test_util.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace audio_test;

namespace
{

class Interrupted : public testing::TestWithParam<Format>
{
protected:
    QString path() const { return m_dir.filePath(QStringLiteral("rec") + extension(GetParam())); }
    // Runs the helper; returns its first line of output ("" on time-out).
    QString start(QProcess &child, const QStringList &args)
    {
        child.start(QStringLiteral(AUDIO_WRITER_CHILD), args);
        if (!child.waitForStarted(10000))
            return {};
        if (!child.waitForReadyRead(60000))
            return {};
        return QString::fromLocal8Bit(child.readLine()).trimmed();
    }
    QTemporaryDir m_dir;
};

TEST_P(Interrupted, KilledWhileWritingLeavesAllButAboutASecond)
{
    QProcess child;
    const QString line =
        start(child, {QStringLiteral("kill"), QString::fromLatin1(format_name(GetParam())), path(),
                      QStringLiteral("4")});
    ASSERT_TRUE(line.startsWith(QLatin1String("ready "))) << line.toStdString();
    const int64_t written = line.mid(6).toLongLong();
    child.kill(); // SIGKILL
    ASSERT_TRUE(child.waitForFinished(10000));
    ASSERT_EQ(child.exitStatus(), QProcess::CrashExit);

    TAudioFile2 in;
    in.OpenFile(path(), 0, 1);
    const uint32_t rate = GetParam() == Format::opus ? 48000 : 44100;
    EXPECT_EQ(in.SampleRate(), rate);
    EXPECT_EQ(in.Channels(), 2);
    const SampleArray all = read_all(in);
    const int64_t one_second = rate * 2;
    EXPECT_GE(static_cast<int64_t>(all.size()), written - one_second)
        << "decoded " << all.size() << " of " << written;
    EXPECT_LE(static_cast<int64_t>(all.size()), written + one_second / 10);
    EXPECT_GT(in.TotalSamples(), 0);
    // What is there is the tone, not noise.
    const std::vector<double> left = channel_of(all, 2, 0);
    EXPECT_NEAR(zero_crossing_frequency(left, rate), 440.0, 3.0);
}

// WMA holds too, although its header only gets its sizes at close: FFmpeg
// reads the data packets regardless (numbers in docs/engine-files.md).
INSTANTIATE_TEST_SUITE_P(Formats, Interrupted,
                         testing::Values(Format::wav16, Format::mp3, Format::ogg, Format::wma,
                                         Format::flac16, Format::opus),
                         [](const auto &info) { return std::string(format_name(info.param)); });

class FullDisk : public Interrupted
{
};

TEST_P(FullDisk, WriteErrorIsReportedAndTheFileKeepsWhatWasWritten)
{
    QProcess child;
    const QString line =
        start(child, {QStringLiteral("fsize"), QString::fromLatin1(format_name(GetParam())), path(),
                      QStringLiteral("300000")});
    ASSERT_TRUE(child.waitForFinished(60000));
    ASSERT_EQ(child.exitStatus(), QProcess::NormalExit);
    const QStringList parts = line.split(QLatin1Char(' '));
    ASSERT_EQ(parts.size(), 4) << line.toStdString();
    EXPECT_EQ(parts[0], QStringLiteral("failed"));
    EXPECT_NE(parts[1].toInt(), 0) << "WriteArray failed without an ErrorCode";
    EXPECT_EQ(parts[3], QStringLiteral("1"));
    const int64_t written = parts[2].toLongLong();
    ASSERT_GT(written, 0);

    TAudioFile2 in;
    in.OpenFile(path(), 0, 1);
    const SampleArray all = read_all(in);
    // Everything that WriteArray accepted, give or take the encoder's last
    // frames that no longer fitted.
    EXPECT_GE(static_cast<int64_t>(all.size()), written - 44100 * 2);
    EXPECT_GT(in.TotalSamples(), 0);
}

INSTANTIATE_TEST_SUITE_P(Formats, FullDisk,
                         testing::Values(Format::wav16, Format::mp3, Format::ogg, Format::wma,
                                         Format::flac16, Format::opus),
                         [](const auto &info) { return std::string(format_name(info.param)); });

} // namespace
