#pragma once
// The fixed lists whose positions the settings store keeps, shared by the
// settings dialog (its list items) and the recording set-up (the values).
//
// A stored position is only trusted inside its list. Anything else (-1, which
// a list with nothing chosen writes, or a number edited in by hand) is
// replaced by the position the reader's own default names: the recording then
// uses the default value for that key instead of indexing outside a list.

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

namespace value_lists
{

// Positions 0..3 are those of old settings files; FLAC and Opus come after them.
inline constexpr std::array<const char *, 6> output_formats{"MP3", "WMA",  "WAV",
                                                            "OGG", "FLAC", "Opus"};
inline constexpr std::array<const char *, 6> output_extensions{".mp3", ".wma",  ".wav",
                                                               ".ogg", ".flac", ".opus"};
inline constexpr std::array<uint32_t, 9> frequencies{8000,  11025, 12000, 16000, 22050,
                                                     24000, 32000, 44100, 48000};
inline constexpr std::array<int, 17> bitrates{8,  16,  24,  32,  40,  48,  56,  64, 80,
                                              96, 112, 128, 160, 192, 224, 256, 320};
inline constexpr std::array<const char *, 2> channel_names{"Mono", "Stereo"};
inline constexpr std::array<uint32_t, 2> sample_sizes{8, 16};
inline constexpr std::array<int, 2> flac_sample_sizes{16, 24};
// kbit/s; the dialog's list. A stored rate between them is kept as it is.
inline constexpr std::array<int, 13> opus_bitrates{6,  8,  12,  16,  24,  32, 48,
                                                   64, 96, 128, 160, 192, 256};
inline constexpr std::array<const char *, 2> opus_applications{"Audio (music)", "Voice (speech)"};
inline constexpr std::array<const char *, 4> schedule_modes{"Disable Schedule", "Every Day",
                                                            "Every Week", "Special Day"};
inline constexpr std::array<const char *, 2> wav_modes{"CD quality", "Custom format"};

constexpr int wma_preset_count = 47;
// The settings dialog's WMA list items.
const std::array<const char *, wma_preset_count> &wma_presets();
// The WMA format summaries shown while recording (same positions).
const std::array<const char *, wma_preset_count> &wma_profile_names();

// `position` when it lies inside a list of `size` entries, else `fallback`.
constexpr int safe_position(int position, std::size_t size, int fallback)
{
    return position >= 0 && static_cast<std::size_t>(position) < size ? position : fallback;
}

template <typename T, std::size_t N>
constexpr const T &at(const std::array<T, N> &list, int position, int fallback)
{
    return list[static_cast<std::size_t>(
        safe_position(position, N, safe_position(fallback, N, 0)))];
}

// Display texts of the dialog's lists: "8000 Hz", "128 Kbps", "16 bps".
QStringList frequency_items();
QStringList bitrate_items();
QStringList sample_size_items();
QStringList flac_sample_size_items(); // "16 bit", "24 bit"

} // namespace value_lists
