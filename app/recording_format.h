#pragma once
// The format of a new recording, decided from the settings alone: what the
// encoder is given, the file's extension, the "Format" text on the skin, or
// the message that refuses the format. The main window applies the result.

#include <QString>
#include <cstdint>
#include <functional>

class SettingsFile;

struct RecordingFormat {
    enum class Writer { none, mp3, wma, wav, ogg, flac, opus };
    Writer writer = Writer::none;
    QString extension;
    QString summary; // empty: the "Format" text stays as it was
    QString refusal; // not empty: the recording is refused with this message

    uint32_t sample_rate = 0; // Hz
    int channels = 0;
    int bitrate = 0; // kbit/s: MP3 constant, OGG nominal
    // MP3
    int quality = 9;
    int vbr_mode = 0; // 0 constant, 1 variable, anything else: the encoder keeps its own
    int vbr_bitrate = 0;
    int vbr_quality = 9;
    // WMA: 1..47
    int wma_profile = 0;
    // WAV
    uint32_t bits_per_sample = 16;
    // OGG: quality -1 is bit-rate mode
    int max_bitrate = 0;
    int min_bitrate = 0;
    int16_t ogg_quality = -1;
    // FLAC: 0..8
    int flac_level = 5;
    // Opus
    bool opus_voice = false;
    int opus_complexity = 10;
};

// The encoders' own answers to "is this combination possible".
struct FormatChecks {
    std::function<bool(uint32_t rate, int kbps, int channels)> mp3;
    std::function<bool(uint32_t rate, int channels, int kbps, int max_kbps, int min_kbps)> ogg;
};

// `format_index` is a position in the output format list (0 MP3 ... 5 Opus).
RecordingFormat recording_format(const SettingsFile &settings, int format_index,
                                 const FormatChecks &checks);

// The save dialog's filter, in the output format list's order ("name|pattern|...").
QString save_dialog_filter();
