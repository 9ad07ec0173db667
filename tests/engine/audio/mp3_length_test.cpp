// The fast MP3 length probe against files lame writes, with and without its
// header, and against ffprobe where ffprobe knows the length exactly.
#include "audio/audio_file.h"
#include "audio/mp3_length.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

namespace
{

bool run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

double ffprobe_duration(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("ffprobe"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
             QStringLiteral("format=duration"), QStringLiteral("-of"),
             QStringLiteral("default=nw=1:nk=1"), path});
    p.waitForFinished(20000);
    return p.readAllStandardOutput().trimmed().toDouble();
}

struct Mp3Case {
    const char *name;
    const char *rate;
    const char *channels;
    QStringList lame_args;
    bool header;        // lame writes its Xing/Info header
    bool ffprobe_exact; // ffprobe's own length is exact for this file
};

class Mp3LengthProbe : public ::testing::TestWithParam<Mp3Case>
{
};

TEST_P(Mp3LengthProbe, MatchesTheSourceAndFfprobe)
{
    const Mp3Case &c = GetParam();
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("src.wav"));
    const QString mp3 = dir.filePath(QStringLiteral("out.mp3"));
    const double seconds = 12.7;
    ASSERT_TRUE(run(QStringLiteral("sox"),
                    {QStringLiteral("-n"), QStringLiteral("-r"), QLatin1String(c.rate),
                     QStringLiteral("-c"), QLatin1String(c.channels), QStringLiteral("-b"),
                     QStringLiteral("16"), wav, QStringLiteral("synth"), QString::number(seconds),
                     QStringLiteral("pinknoise"), QStringLiteral("vol"), QStringLiteral("0.3")}));
    ASSERT_TRUE(run(QStringLiteral("lame"),
                    QStringList{QStringLiteral("--quiet")} + c.lame_args + QStringList{wav, mp3}));
    // An ID3v2 tag in front must not hide the first frame.
    QFile f(mp3);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    QByteArray audio = f.readAll();
    QByteArray tag("ID3\x03\x00\x00\x00\x00\x01\x00", 10); // 128 bytes of tag body
    tag.append(QByteArray(128, '\0'));
    f.seek(0);
    f.write(tag + audio + QByteArray("TAG") + QByteArray(125, ' '));
    f.close();

    const auto probed = probe_mp3_length(mp3);
    ASSERT_TRUE(probed.has_value());
    EXPECT_EQ(probed->from_header, c.header);
    const double probed_s = static_cast<double>(probed->frames) / probed->sample_rate;
    // With the header the encoder's delay and padding come off exactly; a
    // counted file carries them (under a tenth of a second).
    EXPECT_NEAR(probed_s, seconds, c.header ? 0.001 : 0.1);
    if (c.ffprobe_exact) {
        EXPECT_EQ(std::floor(probed_s), std::floor(ffprobe_duration(mp3)));
    }

    TAudioFile2 file;
    file.OpenFile(mp3);
    EXPECT_EQ(file.Duration() / 1000, static_cast<int>(std::floor(probed_s)));
}

INSTANTIATE_TEST_SUITE_P(
    Lame, Mp3LengthProbe,
    ::testing::Values(Mp3Case{"CbrWithInfo", "44100", "2", {"-b", "128"}, true, true},
                      Mp3Case{"VbrWithXing", "44100", "2", {"-V", "4"}, true, true},
                      Mp3Case{"Mpeg2MonoVbr", "22050", "1", {"-V", "5", "-m", "m"}, true, true},
                      // Too small a frame for lame to put its header in: counted.
                      Mp3Case{"Mpeg2Mono32k", "22050", "1", {"-b", "32", "-m", "m"}, false, true},
                      Mp3Case{"CbrWithoutHeader", "48000", "2", {"-b", "192", "-t"}, false, true},
                      // VBR without a header: only counting gives its length.
                      Mp3Case{"VbrWithoutHeader", "44100", "2", {"-V", "2", "-t"}, false, false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Mp3LengthProbe, NotAnMp3)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.mp3"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(5000, '\xff'));
    f.close();
    EXPECT_FALSE(probe_mp3_length(path).has_value());
    EXPECT_FALSE(probe_mp3_length(dir.filePath(QStringLiteral("missing.mp3"))).has_value());
}

} // namespace
