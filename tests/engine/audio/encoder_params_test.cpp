// Encoder parameter tables, each case a short real encode read back by FFmpeg.

#include "audio/audio_file.h"
#include "audio/lame_enc.h"
#include "audio/wma_profiles.h"
#include "audio_test_util.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <set>

using namespace audio_test;

namespace
{

const uint32_t all_rates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
const int all_bitrates[] = {8,  16,  24,  32,  40,  48,  56,  64, 80,
                            96, 112, 128, 160, 192, 224, 256, 320};

// Writes 0.3 s of tone and checks FFmpeg reads it back in the same format.
void expect_short_encode_reads_back(TAudioFile2 &out, const QString &path, uint32_t rate,
                                    int channels)
{
    out.CreateOutputFile(path, 0);
    ASSERT_EQ(out.ErrorCode(), 0) << out.ErrorText().toStdString();
    ASSERT_EQ(out.SampleRate(), rate);
    ASSERT_EQ(out.Channels(), channels);
    const int64_t written = write_tone(out, 0.3);
    out.CloseFile();
    ASSERT_EQ(out.ErrorCode(), 0) << out.ErrorText().toStdString();

    TAudioFile2 in;
    in.OpenFile(path, 0, 1);
    EXPECT_EQ(in.SampleRate(), rate);
    EXPECT_EQ(in.Channels(), channels);
    const SampleArray all = read_all(in);
    // Within a codec frame or two of what went in.
    EXPECT_NEAR(static_cast<double>(all.size()), static_cast<double>(written), 4096.0 * channels);
    EXPECT_GT(in.TotalSamples(), 0);
    const std::vector<double> x = channel_of(all, channels, 0);
    EXPECT_GT(rms(x, x.size() / 4, x.size() / 2), 2000.0) << "the tone is missing";
}

class RateChannels : public testing::TestWithParam<std::tuple<uint32_t, int>>
{
protected:
    QTemporaryDir m_dir;
};

TEST_P(RateChannels, WavWritesEveryRateAndChannelCount)
{
    const auto [rate, channels] = GetParam();
    for (uint32_t bits : {8u, 16u}) {
        TAudioFile2 out;
        out.SetWavFormat(rate, channels, bits);
        expect_short_encode_reads_back(out, m_dir.filePath(QStringLiteral("w.wav")), rate,
                                       channels);
        TAudioFile2 in;
        in.OpenFile(m_dir.filePath(QStringLiteral("w.wav")));
        EXPECT_EQ(in.BitsPerSample(), bits);
        EXPECT_EQ(in.Bitrate(), static_cast<int>(rate * channels * bits));
    }
}

TEST_P(RateChannels, OggQualityModeWritesEveryRateAndChannelCount)
{
    const auto [rate, channels] = GetParam();
    for (int16_t quality : {int16_t(0), int16_t(300), int16_t(1000)}) {
        TAudioFile2 out;
        out.SetOggFormat(rate, channels, 128, 128, 128, quality);
        expect_short_encode_reads_back(out, m_dir.filePath(QStringLiteral("q.ogg")), rate,
                                       channels);
    }
}

TEST_P(RateChannels, OggBitrateModeAgreesWithItsCheck)
{
    const auto [rate, channels] = GetParam();
    int accepted = 0;
    for (int kbps : all_bitrates) {
        TAudioFile2 out;
        const bool ok = out.CheckOggFormat(rate, channels, kbps, kbps, kbps);
        out.SetOggFormat(rate, channels, kbps, kbps, kbps, -1);
        out.CreateOutputFile(m_dir.filePath(QStringLiteral("b.ogg")), 0);
        // What the check promises, creating delivers, and nothing else.
        EXPECT_EQ(out.ErrorCode() == 0, ok) << kbps << " kbit/s";
        if (ok) {
            ++accepted;
            out.CloseFile();
            expect_short_encode_reads_back(out, m_dir.filePath(QStringLiteral("b.ogg")), rate,
                                           channels);
        }
    }
    EXPECT_GT(accepted, 0) << "every bit rate refused at " << rate;
}

INSTANTIATE_TEST_SUITE_P(AllFormats, RateChannels,
                         testing::Combine(testing::ValuesIn(all_rates), testing::Values(1, 2)));

TEST(OggCheck, RefusesWhatTheEncoderCannotDo)
{
    TAudioFile2 file;
    EXPECT_TRUE(file.CheckOggFormat(44100, 2, 128, 128, 128));
    EXPECT_TRUE(file.CheckOggFormat(44100, 2, 128, 320, 32));
    EXPECT_FALSE(file.CheckOggFormat(8000, 2, 320, 320, 320));
    EXPECT_FALSE(file.CheckOggFormat(44100, 3, 128, 128, 128));
    EXPECT_FALSE(file.CheckOggFormat(0, 2, 128, 128, 128));
    EXPECT_FALSE(file.CheckOggFormat(44100, 2, -1, -1, -1));
}

TEST(OggQuality, HigherQualityIsBiggerAndValuesAbove1000AreClamped)
{
    QTemporaryDir dir;
    const int16_t qualities[4] = {0, 500, 1000, 32767};
    qint64 sizes[4] = {};
    for (int i = 0; i < 4; ++i) {
        const QString path = dir.filePath(QStringLiteral("q%1.ogg").arg(i));
        TAudioFile2 out;
        out.SetOggFormat(44100, 2, 128, 128, 128, qualities[i]);
        out.CreateOutputFile(path, 0);
        ASSERT_EQ(out.ErrorCode(), 0) << qualities[i];
        write_tone(out, 1.0);
        out.CloseFile();
        sizes[i] = QFileInfo(path).size();
    }
    EXPECT_LT(sizes[0], sizes[1]);
    EXPECT_LT(sizes[1], sizes[2]);
    EXPECT_NEAR(static_cast<double>(sizes[3]), static_cast<double>(sizes[2]), sizes[2] * 0.01);
}

// The layer III bit-rate tables LAME implements, per MPEG version.
bool mp3_allowed(uint32_t rate, int kbps)
{
    static const std::set<int> mpeg1 = {32,  40,  48,  56,  64,  80,  96,
                                        112, 128, 160, 192, 224, 256, 320};
    static const std::set<int> mpeg2 = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static const std::set<int> mpeg25 = {8, 16, 24, 32, 40, 48, 56, 64};
    if (rate >= 32000)
        return mpeg1.count(kbps) > 0;
    if (rate >= 16000)
        return mpeg2.count(kbps) > 0;
    return mpeg25.count(kbps) > 0;
}

class Mp3Rates : public testing::TestWithParam<std::tuple<uint32_t, int>>
{
protected:
    QTemporaryDir m_dir;
};

TEST_P(Mp3Rates, CheckMatchesTheTablesAndEveryAcceptedBitrateEncodes)
{
    const auto [rate, channels] = GetParam();
    for (int kbps : all_bitrates) {
        TAudioFile2 out;
        const bool ok = out.CheckMp3Format(rate, kbps, channels);
        EXPECT_EQ(ok, mp3_allowed(rate, kbps)) << rate << " Hz " << kbps << " kbit/s";
        if (!ok)
            continue;
        TAudioFile2LameEnc enc;
        enc.setSampleRate(rate);
        enc.setBitrate(kbps);
        enc.setChannels(channels);
        enc.setQuality(9);
        out.SetMp3Encoder(enc);
        const QString path = m_dir.filePath(QStringLiteral("m.mp3"));
        expect_short_encode_reads_back(out, path, rate, channels);
        // CBR: the stream runs at the bit rate asked for.
        TAudioFile2 in;
        in.OpenFile(path);
        EXPECT_NEAR(in.Bitrate(), kbps * 1000, kbps * 1000 * 0.05) << kbps;
    }
}

INSTANTIATE_TEST_SUITE_P(AllRates, Mp3Rates,
                         testing::Combine(testing::ValuesIn(all_rates), testing::Values(1, 2)));

TEST(Mp3Check, RefusesRatesAndChannelsLameCannotEncode)
{
    TAudioFile2 file;
    EXPECT_FALSE(file.CheckMp3Format(96000, 128, 2));
    EXPECT_FALSE(file.CheckMp3Format(44000, 128, 2));
    EXPECT_FALSE(file.CheckMp3Format(44100, 128, 3));
    EXPECT_FALSE(file.CheckMp3Format(44100, 128, 0));
    EXPECT_FALSE(file.CheckMp3Format(44100, 0, 2));
    EXPECT_FALSE(file.CheckMp3Format(44100, 144, 2)); // MPEG-2 only
    EXPECT_TRUE(file.CheckMp3Format(22050, 144, 2));
}

TEST(Mp3Vbr, QualityDrivesSizeAndTheLengthIsRight)
{
    QTemporaryDir dir;
    qint64 sizes[2] = {};
    const int qualities[2] = {0, 9};
    for (int i = 0; i < 2; ++i) {
        const QString path = dir.filePath(QStringLiteral("v%1.mp3").arg(i));
        TAudioFile2LameEnc enc;
        enc.setConstantBitrate(false);
        enc.setVbrBitrate(32);
        enc.setVbrQuality(qualities[i]);
        TAudioFile2 out;
        out.SetMp3Encoder(enc);
        out.CreateOutputFile(path, 0);
        ASSERT_EQ(out.ErrorCode(), 0);
        const int64_t written = write_tone(out, 3.0);
        out.CloseFile();
        sizes[i] = QFileInfo(path).size();
        // The Xing header gives the length of a VBR file without a full scan.
        TAudioFile2 in;
        in.OpenFile(path);
        EXPECT_NEAR(in.TotalSamples(), static_cast<double>(written), 2 * 1152 * 2);
        EXPECT_NEAR(static_cast<double>(read_all(in).size()), static_cast<double>(written),
                    2 * 1152 * 2);
    }
    EXPECT_GT(sizes[0], sizes[1]);
}

class WmaPresets : public testing::TestWithParam<int>
{
protected:
    QTemporaryDir m_dir;
};

TEST_P(WmaPresets, EveryPresetWritesAFileAtItsRateAndChannels)
{
    const WmaProfile *profile = wma_profile(GetParam());
    ASSERT_NE(profile, nullptr);
    TAudioFile2 out;
    out.SetWmaProfile(GetParam());
    expect_short_encode_reads_back(out, m_dir.filePath(QStringLiteral("p.wma")),
                                   profile->sample_rate, profile->channels);
    TAudioFile2 in;
    in.OpenFile(m_dir.filePath(QStringLiteral("p.wma")));
    // The preset's rate, or the encoder's lowest (24 kbit/s) where the preset's is below it.
    EXPECT_NEAR(in.Bitrate(), std::max(profile->bitrate_kbps, 24) * 1000, 8000)
        << profile->name.toStdString();
}

INSTANTIATE_TEST_SUITE_P(All47, WmaPresets, testing::Range(1, 48));

TEST(WmaPresetTable, NamesCarryTheRateAndChannels)
{
    ASSERT_EQ(wma_profile_count(), 47);
    EXPECT_EQ(wma_profile(0), nullptr);
    EXPECT_EQ(wma_profile(48), nullptr);
    for (int p = 1; p <= 47; ++p) {
        const WmaProfile *profile = wma_profile(p);
        EXPECT_TRUE(profile->name.contains(QStringLiteral("%1Hz").arg(profile->sample_rate)));
        EXPECT_EQ(profile->name.contains(QStringLiteral("Stereo")), profile->channels == 2);
    }
    EXPECT_EQ(wma_profile(10)->name, QStringLiteral("WMA9 44100Hz  Stereo  128KBPS  CBR"));
    EXPECT_EQ(wma_profile(18)->name, QStringLiteral("WMA9 44100Hz, Mono  20KBPS  CBR"));
    EXPECT_EQ(wma_profile(47)->name, QStringLiteral("WMA9 44100Hz  Stereo  Lossless"));
}

} // namespace
