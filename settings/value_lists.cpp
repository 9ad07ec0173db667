#include "value_lists.h"

namespace value_lists
{

const std::array<const char *, wma_preset_count> &wma_presets()
{
    static const std::array<const char *, wma_preset_count> list{
        "WMA9 48KHz, 192Kbps, Stereo, CBR",   "WMA9 48KHz, 160Kbps, Stereo, CBR",
        "WMA9 48KHz, 128Kbps, Stereo, CBR",   "WMA9 48KHz, 96Kbps, Stereo, CBR",
        "WMA9 48KHz, 64Kbps, Stereo, CBR",    "WMA9 44KHz, 320Kbps, Stereo, CBR",
        "WMA9 44KHz, 256Kbps, Stereo, CBR",   "WMA9 44KHz, 192Kbps, Stereo, CBR",
        "WMA9 44KHz, 160Kbps, Stereo, CBR",   "WMA9 44KHz, 128Kbps, Stereo, CBR",
        "WMA9 44KHz, 96Kbps, Stereo, CBR",    "WMA9 44KHz, 80Kbps, Stereo, CBR",
        "WMA9 44KHz, 64Kbps, Stereo, CBR",    "WMA9 44KHz, 48Kbps, Stereo, CBR",
        "WMA9 44KHz, 32Kbps, Stereo, CBR",    "WMA9 44KHz, 48Kbps, Mono, CBR",
        "WMA9 44KHz, 32Kbps, Mono, CBR",      "WMA9 44KHz, 20Kbps, Mono, CBR",
        "WMA9 32KHz, 48Kbps, Stereo, CBR",    "WMA9 32KHz, 40Kbps, Stereo, CBR",
        "WMA9 32KHz, 32Kbps, Stereo, CBR",    "WMA9 32KHz, 20Kbps, Mono, CBR",
        "WMA9 32KHz, 32Kbps, Stereo, CBR",    "WMA9 32KHz, 22Kbps, Stereo, CBR",
        "WMA9 22KHz, 20Kbps, Stereo, CBR",    "WMA9 22KHz, 20Kbps, Mono, CBR",
        "WMA9 22KHz, 16Kbps, Mono, CBR",      "WMA9 16KHz, 20Kbps, Stereo, CBR",
        "WMA9 16KHz, 16Kbps, Stereo, CBR",    "WMA9 16KHz, 16Kbps, Mono, CBR",
        "WMA9 16KHz, 12Kbps, Mono, CBR",      "WMA9 16KHz, 10Kbps, Mono, CBR",
        "WMA9 11KHz, 10Kbps, Mono, CBR",      "WMA9 11KHz, 8Kbps, Mono, CBR",
        "WMA9 8KHz,  12Kbps, Stereo, CBR",    "WMA9 8KHz,  8Kbps, Mono, CBR",
        "WMA9 8KHz,  6Kbps, Mono, CBR",       "WMA9 8KHz,  5Kbps, Mono, CBR",
        "WMA9 48KHz, Stereo, VBR Quality 98", "WMA9 48KHz, Stereo, VBR Quality 90",
        "WMA9 44KHz, Stereo, VBR Quality 98", "WMA9 44KHz, Stereo, VBR Quality 90",
        "WMA9 44KHz, Stereo, VBR Quality 75", "WMA9 44KHz, Stereo, VBR Quality 50",
        "WMA9 44KHz, Stereo, VBR Quality 25", "WMA9 44KHz, Stereo, VBR Quality 10",
        "WMA9 44KHz, Stereo, Lossless"};
    return list;
}

const std::array<const char *, wma_preset_count> &wma_profile_names()
{
    static const std::array<const char *, wma_preset_count> list{
        "WMA9 48000Hz  Stereo  192KBPS  CBR",   "WMA9 48000Hz  Stereo  160KBPS  CBR",
        "WMA9 48000Hz  Stereo  128KBPS  CBR",   "WMA9 48000Hz  Stereo  96KBPS  CBR",
        "WMA9 48000Hz  Stereo  64KBPS  CBR",    "WMA9 44100Hz  Stereo  320KBPS  CBR",
        "WMA9 44100Hz  Stereo  256KBPS  CBR",   "WMA9 44100Hz  Stereo  192KBPS  CBR",
        "WMA9 44100Hz  Stereo  160KBPS  CBR",   "WMA9 44100Hz  Stereo  128KBPS  CBR",
        "WMA9 44100Hz  Stereo  96KBPS  CBR",    "WMA9 44100Hz  Stereo  80KBPS  CBR",
        "WMA9 44100Hz  Stereo  64KBPS  CBR",    "WMA9 44100Hz  Stereo  48KBPS  CBR",
        "WMA9 44100Hz  Stereo  32KBPS  CBR",    "WMA9 44100Hz  Mono  48KBPS  CBR",
        "WMA9 44100Hz  Mono  32KBPS  CBR",      "WMA9 44100Hz, Mono  20KBPS  CBR",
        "WMA9 32000Hz  Stereo  48KBPS  CBR",    "WMA9 32000Hz  Stereo  40KBPS  CBR",
        "WMA9 32000Hz  Stereo  32KBPS  CBR",    "WMA9 32000Hz  Mono  20KBPS  CBR",
        "WMA9 32000Hz  Stereo  32KBPS  CBR",    "WMA9 32000Hz  Stereo  22KBPS  CBR",
        "WMA9 22050Hz  Stereo  20KBPS  CBR",    "WMA9 22050Hz  Mono  20KBPS  CBR",
        "WMA9 22050Hz  Mono  16KBPS  CBR",      "WMA9 16000Hz  Stereo  20KBPS  CBR",
        "WMA9 16000Hz  Stereo  16KBPS  CBR",    "WMA9 16000Hz  Mono  16KBPS  CBR",
        "WMA9 16000Hz  Mono  12KBPS  CBR",      "WMA9 16000Hz  Mono  10KBPS  CBR",
        "WMA9 11025Hz  Mono  10KBPS  CBR",      "WMA9 11025Hz  Mono  8KBPS  CBR",
        "WMA9 8000Hz  Stereo  12KBPS  CBR",     "WMA9 8000Hz  Mono  8KBPS  CBR",
        "WMA9 8000Hz  Mono  6KBPS  CBR",        "WMA9 8000Hz  Mono  5KBPS  CBR",
        "WMA9 48000Hz  Stereo  VBR Quality 98", "WMA9 48000Hz  Stereo  VBR Quality 90",
        "WMA9 44100Hz  Stereo  VBR Quality 98", "WMA9 44100Hz  Stereo  VBR Quality 90",
        "WMA9 44100Hz  Stereo  VBR Quality 75", "WMA9 44100Hz  Stereo  VBR Quality 50",
        "WMA9 44100Hz  Stereo  VBR Quality 25", "WMA9 44100Hz  Stereo  VBR Quality 10",
        "WMA9 44100Hz  Stereo  Lossless"};
    return list;
}

namespace
{

// Each value with its unit: "8000 Hz", "128 Kbps", "16 bps".
template <typename T, std::size_t N>
QStringList with_unit(const std::array<T, N> &values, const char *unit)
{
    QStringList items;
    for (const T value : values)
        items << QStringLiteral("%1 %2").arg(value).arg(QLatin1String(unit));
    return items;
}

} // namespace

QStringList frequency_items()
{
    return with_unit(frequencies, "Hz");
}
QStringList bitrate_items()
{
    return with_unit(bitrates, "Kbps");
}
QStringList sample_size_items()
{
    return with_unit(sample_sizes, "bps");
}
QStringList flac_sample_size_items()
{
    return with_unit(flac_sample_sizes, "bit");
}

} // namespace value_lists
