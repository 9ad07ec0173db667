// Write a tone with TAudioFile2 in every format, read it back with TAudioFile2.

#include "audio/audio_file.h"
#include "audio/lame_enc.h"
#include "audio_test_util.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

using namespace audio_test;

namespace
{

struct RoundTripCase {
    Format format;
    uint32_t rate;
    int channels;
};

std::string case_name(const testing::TestParamInfo<RoundTripCase> &info)
{
    return std::string(format_name(info.param.format)) + "_" + std::to_string(info.param.rate) +
           (info.param.channels == 1 ? "_mono" : "_stereo");
}

bool lossless(Format f)
{
    return f == Format::wav16 || f == Format::flac16 || f == Format::flac24;
}

class RoundTrip : public testing::TestWithParam<RoundTripCase>
{
protected:
    QTemporaryDir m_dir;
    QString path() const
    {
        return m_dir.filePath(QStringLiteral("tone") + extension(GetParam().format));
    }
};

TEST_P(RoundTrip, ToneComesBackWithLengthFormatPitchAndLevel)
{
    const auto [format, rate, channels] = GetParam();
    constexpr double seconds = 2.0;
    int64_t written = 0;
    {
        TAudioFile2 out;
        choose_format(out, format, rate, channels);
        out.CreateOutputFile(path(), 0);
        ASSERT_EQ(out.ErrorCode(), 0) << out.ErrorText().toStdString();
        ASSERT_EQ(out.SampleRate(), rate);
        ASSERT_EQ(out.Channels(), channels);
        written = write_tone(out, seconds);
        EXPECT_EQ(out.Duration(), 2000);
        out.CloseFile();
        EXPECT_EQ(out.ErrorCode(), 0) << out.ErrorText().toStdString();
        EXPECT_FALSE(out.IsOpen());
    }

    TAudioFile2 in;
    in.OpenFile(path(), 0, 1);
    ASSERT_TRUE(in.IsOpen());
    EXPECT_EQ(in.SampleRate(), rate);
    EXPECT_EQ(in.Channels(), channels);
    EXPECT_EQ(in.BitsPerSample(), format == Format::wav8     ? 8u
                                  : format == Format::flac24 ? 24u
                                                             : 16u);
    EXPECT_GT(in.Bitrate(), 0);
    in.Seek(0, 3);
    const SampleArray all = read_all(in);

    // Lossy codecs may keep a frame of padding; never more than ~0.1 s.
    const int64_t slack = lossless(format) || format == Format::wav8 ? 0 : rate * channels / 10;
    EXPECT_NEAR(static_cast<double>(all.size()), static_cast<double>(written), slack);
    EXPECT_NEAR(in.TotalSamples(), static_cast<double>(all.size()), slack);
    EXPECT_NEAR(in.Duration(), 2000, 100);

    const double tolerance = format == Format::wav8 ? 2.0 : 0.0;
    for (int c = 0; c < channels; ++c) {
        const std::vector<double> x = channel_of(all, channels, c);
        ASSERT_GT(x.size(), rate / 2);
        // Skip the codec's fade-in and tail; look at the body.
        const size_t body_from = rate / 10, body = x.size() - rate / 5;
        std::vector<double> mid(x.begin() + static_cast<ptrdiff_t>(body_from),
                                x.begin() + static_cast<ptrdiff_t>(body));
        EXPECT_NEAR(zero_crossing_frequency(mid, rate), ToneSource::frequency(c), 2.0)
            << "channel " << c;
        const double expected_rms = 10000.0 / std::sqrt(2.0);
        // No gaps at block joins: every 10 ms window carries the tone.
        const size_t window = rate / 100;
        for (size_t i = 0; i + window <= mid.size(); i += window) {
            const double level = rms(mid, i, window);
            ASSERT_NEAR(level, expected_rms, expected_rms * 0.2)
                << "channel " << c << " window at frame " << body_from + i;
        }
        if (lossless(format) || tolerance > 0) {
            ToneSource ref(rate, channels);
            const SampleArray expected = ref.next(static_cast<int64_t>(all.size()) / channels);
            const std::vector<double> e = channel_of(expected, channels, c);
            double worst = 0;
            for (size_t i = 0; i < x.size(); ++i)
                worst = std::max(worst, std::abs(x[i] - e[i]));
            EXPECT_LE(worst, format == Format::wav8 ? 256.0 : 0.0);
        }
    }
}

TEST_P(RoundTrip, SeekLandsOnTheExactSample)
{
    const auto [format, rate, channels] = GetParam();
    {
        TAudioFile2 out;
        choose_format(out, format, rate, channels);
        out.CreateOutputFile(path(), 0);
        ASSERT_EQ(out.ErrorCode(), 0);
        write_tone(out, 3.0);
        out.CloseFile();
    }
    TAudioFile2 in;
    in.OpenFile(path(), 0, 1);
    const SampleArray all = read_all(in);
    ASSERT_GT(all.size(), size_t(rate) * channels * 2);
    // Positions in interleaved samples, frame-aligned, in odd places.
    for (int64_t frame : {int64_t(rate) * 2 + 17, int64_t(rate) / 3, int64_t(1), int64_t(rate)}) {
        const int64_t position = frame * channels;
        in.Seek(static_cast<int>(position), 3);
        const SampleArray got = in.ReadArray(4410);
        ASSERT_EQ(got.size(), 4410u) << "seek to " << position;
        // Lossy decoders settle to the same output after a seek, up to
        // rounding in the first frames' overlap.
        const int allowed = lossless(format) || format == Format::wav8 ? 0 : 64;
        int worst = 0;
        for (size_t i = 0; i < got.size(); ++i)
            worst = std::max(worst, std::abs(got[i] - all[static_cast<size_t>(position) + i]));
        EXPECT_LE(worst, allowed) << "seek to " << position;
    }
    // Past the end: nothing, and no hang.
    in.Seek(static_cast<int>(all.size()) + 1000, 3);
    EXPECT_TRUE(in.ReadArray(4410).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Formats, RoundTrip,
    testing::Values(RoundTripCase{Format::wav16, 44100, 2}, RoundTripCase{Format::wav16, 8000, 1},
                    RoundTripCase{Format::wav8, 22050, 2}, RoundTripCase{Format::mp3, 44100, 2},
                    RoundTripCase{Format::mp3, 22050, 1}, RoundTripCase{Format::mp3, 8000, 1},
                    RoundTripCase{Format::ogg, 44100, 2}, RoundTripCase{Format::ogg, 11025, 1},
                    RoundTripCase{Format::wma, 44100, 2}, RoundTripCase{Format::flac16, 44100, 2},
                    RoundTripCase{Format::flac16, 8000, 1}, RoundTripCase{Format::flac24, 48000, 2},
                    RoundTripCase{Format::opus, 48000, 2}, RoundTripCase{Format::opus, 48000, 1}),
    case_name);

TEST(AudioFileRead, EndOfFileGivesShortThenEmptyArrays)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("short.wav"));
    TAudioFile2 out;
    out.SetWavFormat(8000, 1, 16);
    out.CreateOutputFile(path, 0);
    ASSERT_TRUE(out.WriteArray(ToneSource(8000, 1).next(5000)));
    out.CloseFile();

    TAudioFile2 in;
    in.OpenFile(path, 0, 1);
    EXPECT_EQ(in.TotalSamples(), 5000);
    EXPECT_EQ(in.Duration(), 625);
    EXPECT_EQ(in.ReadArray(4410).size(), 4410u);
    EXPECT_EQ(in.ReadArray(4410).size(), 590u);
    EXPECT_TRUE(in.ReadArray(4410).empty());
    EXPECT_TRUE(in.ReadArray(4410).empty());
    in.CloseFile();
    EXPECT_FALSE(in.IsOpen());
    EXPECT_TRUE(in.ReadArray(4410).empty());
}

TEST(AudioFileWrite, CreateOverwritesAnExistingFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("again.wav"));
    for (double seconds : {2.0, 0.5}) {
        TAudioFile2 out;
        out.SetWavFormat(16000, 1, 16);
        out.CreateOutputFile(path, 0);
        ASSERT_EQ(out.ErrorCode(), 0);
        write_tone(out, seconds);
        out.CloseFile();
    }
    TAudioFile2 in;
    in.OpenFile(path, 0, 1);
    EXPECT_EQ(in.TotalSamples(), 8000);
}

TEST(AudioFileWrite, RefusalsSetErrorCode)
{
    QTemporaryDir dir;
    TAudioFile2 file;
    // No format chosen yet.
    file.CreateOutputFile(dir.filePath(QStringLiteral("none.wav")), 0);
    EXPECT_NE(file.ErrorCode(), 0);
    EXPECT_FALSE(file.WriteArray(SampleArray(100)));

    file.SetWavFormat(44100, 2, 16);
    file.CreateOutputFile(dir.filePath(QStringLiteral("missing/folder/x.wav")), 0);
    EXPECT_NE(file.ErrorCode(), 0);
    EXPECT_FALSE(file.ErrorText().isEmpty());
    EXPECT_FALSE(file.IsOpen());

    file.SetWavFormat(44100, 2, 24); // not one of the offered sample sizes
    file.CreateOutputFile(dir.filePath(QStringLiteral("bits.wav")), 0);
    EXPECT_NE(file.ErrorCode(), 0);

    file.SetWmaProfile(48);
    file.CreateOutputFile(dir.filePath(QStringLiteral("p.wma")), 0);
    EXPECT_NE(file.ErrorCode(), 0);

    TAudioFile2LameEnc enc;
    enc.setSampleRate(8000);
    enc.setBitrate(128); // MPEG-2.5 stops at 64
    file.SetMp3Encoder(enc);
    file.CreateOutputFile(dir.filePath(QStringLiteral("x.mp3")), 0);
    EXPECT_NE(file.ErrorCode(), 0);

    file.SetOggFormat(8000, 1, 320, 320, 320, -1);
    file.CreateOutputFile(dir.filePath(QStringLiteral("x.ogg")), 0);
    EXPECT_NE(file.ErrorCode(), 0);

    // A good format afterwards clears the error.
    file.SetWavFormat(44100, 2, 16);
    file.CreateOutputFile(dir.filePath(QStringLiteral("good.wav")), 0);
    EXPECT_EQ(file.ErrorCode(), 0);
    EXPECT_TRUE(file.WriteArray(SampleArray(200)));
    file.CloseFile();
}

TEST(AudioFileWrite, CreateFailsWhereAFileStandsInForTheFolder)
{
    QTemporaryDir dir;
    QFile plain(dir.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString path = dir.filePath(QStringLiteral("plain/x"));
    for (Format f :
         {Format::wav16, Format::mp3, Format::ogg, Format::wma, Format::flac16, Format::opus}) {
        TAudioFile2 file;
        choose_format(file, f, 44100, 2);
        file.CreateOutputFile(path + extension(f), 0);
        EXPECT_EQ(file.ErrorCode(), 2) << format_name(f);
        EXPECT_TRUE(file.ErrorText().contains(QStringLiteral("plain/x"))) << format_name(f);
        EXPECT_FALSE(file.IsOpen());
        file.CloseFile(); // as the recorder does after a failed create
        EXPECT_EQ(file.ErrorCode(), 2);
    }
}

} // namespace

namespace
{

class EmptyRecording : public testing::TestWithParam<Format>
{
};

// Stop right after start: the file is complete and holds (next to) nothing.
TEST_P(EmptyRecording, ClosesIntoAFileThatReadsAsEmpty)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("empty") + extension(GetParam()));
    TAudioFile2 out;
    choose_format(out, GetParam(), 44100, 2);
    out.CreateOutputFile(path, 0);
    ASSERT_EQ(out.ErrorCode(), 0);
    EXPECT_TRUE(out.WriteArray({}));
    EXPECT_EQ(out.Duration(), 0);
    out.CloseFile();
    EXPECT_EQ(out.ErrorCode(), 0) << out.ErrorText().toStdString();

    TAudioFile2 in;
    try {
        in.OpenFile(path, 0, 1);
    } catch (const EngineError &) {
        return; // refusing a file without audio is fine too
    }
    // At most the codec's padding of one frame.
    EXPECT_LE(in.TotalSamples(), 2 * 2048);
    EXPECT_LE(read_all(in).size(), 2u * 2048);
}

INSTANTIATE_TEST_SUITE_P(Formats, EmptyRecording,
                         testing::Values(Format::wav16, Format::wav8, Format::mp3, Format::ogg,
                                         Format::wma, Format::flac16, Format::opus),
                         [](const auto &info) { return std::string(format_name(info.param)); });

} // namespace

namespace
{

// FFmpeg takes "name:" for a protocol; such file names must still be files.
TEST(AudioFilePaths, NamesThatLookLikeUrlsAreFiles)
{
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    for (Format f : {Format::wma, Format::mp3}) {
        const QString name = QStringLiteral("http:take 1%20") + extension(f);
        TAudioFile2 out;
        choose_format(out, f, 44100, 2);
        out.CreateOutputFile(name, 0);
        EXPECT_EQ(out.ErrorCode(), 0) << out.ErrorText().toStdString();
        write_tone(out, 0.5);
        out.CloseFile();
        EXPECT_TRUE(QFileInfo::exists(dir.filePath(name)));
        TAudioFile2 in;
        EXPECT_NO_THROW(in.OpenFile(name, 0, 1));
        EXPECT_GT(in.TotalSamples(), 40000);
    }
    QDir::setCurrent(previous);
}

} // namespace
