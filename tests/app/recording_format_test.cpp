// The recording format decided from the settings: one row per case, each on
// a settings file holding only the keys the row names.
#include "app_harness.h"

#include "audio/audio_file.h"
#include "recording_format.h"
#include "settings_file.h"

#include <gtest/gtest.h>

namespace
{

using Writer = RecordingFormat::Writer;

struct FormatRow {
    const char *name;
    std::vector<std::pair<const keys::Key *, const char *>> stored;
    int format_index;
    Writer writer;
    const char *extension;
    const char *summary; // or the refusal
    uint32_t rate;       // WMA rows: the profile
    int channels;
};

class RecordingFormatRows : public ::testing::TestWithParam<FormatRow>
{
};

TEST_P(RecordingFormatRows, SettingsGiveTheEncoderExtensionAndText)
{
    const FormatRow &row = GetParam();
    reset_settings();
    for (const auto &[key, value] : row.stored)
        put_setting(*key, QString::fromLatin1(value));
    const SettingsFile settings(QStringLiteral("velquor.ini"));
    // The encoders' own answers, as the main window asks them.
    const TAudioFile2 engine;
    FormatChecks checks;
    checks.mp3 = [&](uint32_t rate, int kbps, int channels) {
        return engine.CheckMp3Format(rate, kbps, channels);
    };
    checks.ogg = [&](uint32_t rate, int channels, int kbps, int max_kbps, int min_kbps) {
        return engine.CheckOggFormat(rate, channels, kbps, max_kbps, min_kbps);
    };
    const RecordingFormat f = recording_format(settings, row.format_index, checks);
    EXPECT_EQ(f.writer, row.writer);
    EXPECT_EQ(f.extension, QLatin1String(row.extension));
    const bool refused = QLatin1String(row.summary).startsWith(QLatin1String("This "));
    EXPECT_EQ(refused ? f.refusal : f.summary, QLatin1String(row.summary));
    if (refused)
        return;
    EXPECT_TRUE(f.refusal.isEmpty());
    if (row.writer == Writer::wma) {
        EXPECT_EQ(f.wma_profile, row.rate);
    } else {
        EXPECT_EQ(f.sample_rate, row.rate);
        EXPECT_EQ(f.channels, row.channels);
    }
}

using namespace keys;

INSTANTIATE_TEST_SUITE_P(
    Rows, RecordingFormatRows,
    ::testing::Values(
        FormatRow{"mp3_defaults",
                  {},
                  0,
                  Writer::mp3,
                  ".mp3",
                  "MP3  44100 Hz  Stereo  128 KBPS",
                  44100,
                  2},
        FormatRow{"mp3_vbr_shows_the_constant_rate",
                  {{&mp3::frequency, "4"},
                   {&mp3::channel, "0"},
                   {&mp3::bitrate, "3"},
                   {&mp3::enable_vbr, "1"}},
                  0,
                  Writer::mp3,
                  ".mp3",
                  "MP3  22050 Hz  Mono  32 KBPS",
                  22050,
                  1},
        FormatRow{"positions_outside_take_the_default",
                  {{&mp3::frequency, "99"}, {&mp3::bitrate, "-1"}, {&mp3::channel, "5"}},
                  0,
                  Writer::mp3,
                  ".mp3",
                  "MP3  44100 Hz  Stereo  128 KBPS",
                  44100,
                  2},
        FormatRow{"mp3_refused",
                  {{&mp3::frequency, "0"}, {&mp3::bitrate, "16"}},
                  0,
                  Writer::mp3,
                  ".mp3",
                  "This MP3 format not supported, please try another bit rate.",
                  0,
                  0},
        FormatRow{
            "wma_default", {}, 1, Writer::wma, ".wma", "WMA9 44100Hz  Stereo  128KBPS  CBR", 10, 0},
        FormatRow{"wma_preset",
                  {{&wma::format, "35"}},
                  1,
                  Writer::wma,
                  ".wma",
                  "WMA9 8000Hz  Mono  8KBPS  CBR",
                  36,
                  0},
        FormatRow{"wma_preset_outside",
                  {{&wma::format, "470"}},
                  1,
                  Writer::wma,
                  ".wma",
                  "WMA9 44100Hz  Stereo  128KBPS  CBR",
                  10,
                  0},
        FormatRow{"wav_cd_ignores_custom_keys",
                  {{&wav::frequency, "0"}},
                  2,
                  Writer::wav,
                  ".wav",
                  "WAV  44100Hz  Stereo  16BIT",
                  44100,
                  2},
        FormatRow{
            "wav_custom",
            {{&wav::mode, "1"}, {&wav::frequency, "0"}, {&wav::channel, "0"}, {&wav::bit, "0"}},
            2,
            Writer::wav,
            ".wav",
            "WAV  8000 Hz  Mono  8 BIT",
            8000,
            1},
        FormatRow{"wav_unknown_mode_is_cd",
                  {{&wav::mode, "7"}, {&wav::frequency, "0"}},
                  2,
                  Writer::wav,
                  ".wav",
                  "WAV  44100Hz  Stereo  16BIT",
                  44100,
                  2},
        FormatRow{"ogg_without_keys_is_bit_rate_mode",
                  {},
                  3,
                  Writer::ogg,
                  ".ogg",
                  "OGG  44100 Hz  Stereo  128 KBPS",
                  44100,
                  2},
        FormatRow{"ogg_quality",
                  {{&ogg::enable_quality, "1"}, {&ogg::quality, "450"}, {&ogg::frequency, "8"}},
                  3,
                  Writer::ogg,
                  ".ogg",
                  "OGG  48000 Hz  Stereo  Quality - 450",
                  48000,
                  2},
        FormatRow{"ogg_quality_above_1000",
                  {{&ogg::enable_quality, "1"}, {&ogg::quality, "2500"}},
                  3,
                  Writer::ogg,
                  ".ogg",
                  "OGG  44100 Hz  Stereo  Quality - 1000",
                  44100,
                  2},
        FormatRow{"ogg_refused",
                  {{&ogg::frequency, "0"}, {&ogg::bitrate, "16"}},
                  3,
                  Writer::ogg,
                  ".ogg",
                  "This OGG format not supported, please try another bit rate.",
                  0,
                  0},
        FormatRow{"index_outside_sets_up_nothing", {}, 7, Writer::none, "", "", 0, 0}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
