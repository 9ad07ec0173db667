#include "recording_format.h"

#include "settings_file.h"
#include "value_lists.h"

#include <algorithm>

using namespace value_lists;

namespace
{

int channel_position(const SettingsFile &s, const keys::Key &key)
{
    return safe_position(s.integer(key), channel_names.size(), key.number);
}

uint32_t frequency(const SettingsFile &s, const keys::Key &key)
{
    return at(frequencies, s.integer(key), key.number);
}

int bitrate(const SettingsFile &s, const keys::Key &key)
{
    return at(bitrates, s.integer(key), key.number);
}

QString channel_name(int position)
{
    return QLatin1String(channel_names[static_cast<size_t>(position)]);
}

void mp3(const SettingsFile &s, const FormatChecks &checks, RecordingFormat &f)
{
    const int channel = channel_position(s, keys::mp3::channel);
    f.writer = RecordingFormat::Writer::mp3;
    f.extension = QStringLiteral(".mp3");
    f.sample_rate = frequency(s, keys::mp3::frequency);
    f.bitrate = bitrate(s, keys::mp3::bitrate);
    f.channels = channel + 1;
    f.quality = s.integer(keys::mp3::quality);
    f.vbr_mode = s.integer(keys::mp3::enable_vbr);
    f.vbr_bitrate = bitrate(s, keys::mp3::vbr_bitrate);
    f.vbr_quality = s.integer(keys::mp3::vbr_quality);
    if (checks.mp3 && !checks.mp3(f.sample_rate, f.bitrate, f.channels)) {
        f.refusal = QStringLiteral("This MP3 format not supported, please try another bit rate.");
        return;
    }
    // The constant bit rate also while VBR is on: that is what the text always said.
    f.summary = QStringLiteral("MP3  %1 Hz  %2  %3 KBPS")
                    .arg(f.sample_rate)
                    .arg(channel_name(channel))
                    .arg(f.bitrate);
}

void wma(const SettingsFile &s, RecordingFormat &f)
{
    const int preset =
        safe_position(s.integer(keys::wma::format), wma_preset_count, keys::wma::format.number);
    f.writer = RecordingFormat::Writer::wma;
    f.extension = QStringLiteral(".wma");
    f.wma_profile = preset + 1;
    f.summary = QLatin1String(wma_profile_names()[static_cast<size_t>(preset)]);
}

void wav(const SettingsFile &s, RecordingFormat &f)
{
    f.writer = RecordingFormat::Writer::wav;
    f.extension = QStringLiteral(".wav");
    // A mode the dialog never writes records CD quality rather than nothing.
    const int mode = safe_position(s.integer(keys::wav::mode), wav_modes.size(), 0);
    if (mode == 0) {
        f.sample_rate = 44100;
        f.channels = 2;
        f.bits_per_sample = 16;
        f.summary = QStringLiteral("WAV  44100Hz  Stereo  16BIT");
        return;
    }
    const int channel = channel_position(s, keys::wav::channel);
    f.sample_rate = frequency(s, keys::wav::frequency);
    f.channels = channel + 1;
    f.bits_per_sample = at(sample_sizes, s.integer(keys::wav::bit), keys::wav::bit.number);
    f.summary = QStringLiteral("WAV  %1 Hz  %2  %3 BIT")
                    .arg(f.sample_rate)
                    .arg(channel_name(channel))
                    .arg(f.bits_per_sample);
}

void ogg(const SettingsFile &s, const FormatChecks &checks, RecordingFormat &f)
{
    const int channel = channel_position(s, keys::ogg::channel);
    f.writer = RecordingFormat::Writer::ogg;
    f.extension = QStringLiteral(".ogg");
    f.sample_rate = frequency(s, keys::ogg::frequency);
    f.channels = channel + 1;
    f.bitrate = bitrate(s, keys::ogg::bitrate);
    f.max_bitrate = bitrate(s, keys::ogg::max_bitrate);
    f.min_bitrate = bitrate(s, keys::ogg::min_bitrate);
    if (s.boolean(keys::ogg::enable_quality)) {
        f.ogg_quality = static_cast<int16_t>(std::clamp(s.integer(keys::ogg::quality), 0, 1000));
        f.summary = QStringLiteral("OGG  %1 Hz  %2  Quality - %3")
                        .arg(f.sample_rate)
                        .arg(channel_name(channel))
                        .arg(f.ogg_quality);
        return;
    }
    if (checks.ogg &&
        !checks.ogg(f.sample_rate, f.channels, f.bitrate, f.max_bitrate, f.min_bitrate)) {
        f.refusal = QStringLiteral("This OGG format not supported, please try another bit rate.");
        return;
    }
    f.ogg_quality = -1;
    f.summary = QStringLiteral("OGG  %1 Hz  %2  %3 KBPS")
                    .arg(f.sample_rate)
                    .arg(channel_name(channel))
                    .arg(f.bitrate);
}

void flac(const SettingsFile &s, RecordingFormat &f)
{
    const int channel = channel_position(s, keys::flac::channel);
    f.writer = RecordingFormat::Writer::flac;
    f.extension = QStringLiteral(".flac");
    f.sample_rate = frequency(s, keys::flac::frequency);
    f.channels = channel + 1;
    f.bits_per_sample = static_cast<uint32_t>(
        at(flac_sample_sizes, s.integer(keys::flac::bit), keys::flac::bit.number));
    f.flac_level = std::clamp(s.integer(keys::flac::level), 0, 8);
    f.summary = QStringLiteral("FLAC  %1 Hz  %2  %3 bit  level %4")
                    .arg(f.sample_rate)
                    .arg(channel_name(channel))
                    .arg(f.bits_per_sample)
                    .arg(f.flac_level);
}

void opus(const SettingsFile &s, RecordingFormat &f)
{
    const int channel = channel_position(s, keys::opus::channel);
    f.writer = RecordingFormat::Writer::opus;
    f.extension = QStringLiteral(".opus");
    // Opus codes 48 kHz: the recording is captured at that rate.
    f.sample_rate = 48000;
    f.channels = channel + 1;
    f.bitrate =
        std::clamp(s.integer(keys::opus::bitrate), opus_bitrates.front(), opus_bitrates.back());
    f.opus_voice = s.integer(keys::opus::application) == 1;
    f.opus_complexity = std::clamp(s.integer(keys::opus::complexity), 0, 10);
    f.summary = QStringLiteral("Opus  %1 Hz  %2  %3 KBPS")
                    .arg(f.sample_rate)
                    .arg(channel_name(channel))
                    .arg(f.bitrate);
}

} // namespace

RecordingFormat recording_format(const SettingsFile &settings, int format_index,
                                 const FormatChecks &checks)
{
    RecordingFormat f;
    switch (format_index) {
    case 0:
        mp3(settings, checks, f);
        break;
    case 1:
        wma(settings, f);
        break;
    case 2:
        wav(settings, f);
        break;
    case 3:
        ogg(settings, checks, f);
        break;
    case 4:
        flac(settings, f);
        break;
    case 5:
        opus(settings, f);
        break;
    default:
        break;
    }
    return f;
}

QString save_dialog_filter()
{
    return QStringLiteral(
        "MP3 Files(*.mp3)|*.mp3|WMA Files(*.wma)|*.wma|WAV Files(*.wav)|*.wav|"
        "OGG Files(*.ogg)|*.ogg|FLAC Files(*.flac)|*.flac|Opus Files(*.opus)|*.opus");
}
