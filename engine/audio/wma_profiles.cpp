#include "audio/wma_profiles.h"

#include <array>

namespace
{

// Rate and channels as the names say. The encoder has no VBR or lossless
// mode: "VBR Quality 98/90" use 192/160, 75/50/25/10 use 128/96/64/48, and
// "Lossless" uses 320 kbit/s (the highest of the list).
const std::array<WmaProfile, 47> profiles = {{
    {QStringLiteral("WMA9 48000Hz  Stereo  192KBPS  CBR"), 48000, 2, 192},
    {QStringLiteral("WMA9 48000Hz  Stereo  160KBPS  CBR"), 48000, 2, 160},
    {QStringLiteral("WMA9 48000Hz  Stereo  128KBPS  CBR"), 48000, 2, 128},
    {QStringLiteral("WMA9 48000Hz  Stereo  96KBPS  CBR"), 48000, 2, 96},
    {QStringLiteral("WMA9 48000Hz  Stereo  64KBPS  CBR"), 48000, 2, 64},
    {QStringLiteral("WMA9 44100Hz  Stereo  320KBPS  CBR"), 44100, 2, 320},
    {QStringLiteral("WMA9 44100Hz  Stereo  256KBPS  CBR"), 44100, 2, 256},
    {QStringLiteral("WMA9 44100Hz  Stereo  192KBPS  CBR"), 44100, 2, 192},
    {QStringLiteral("WMA9 44100Hz  Stereo  160KBPS  CBR"), 44100, 2, 160},
    {QStringLiteral("WMA9 44100Hz  Stereo  128KBPS  CBR"), 44100, 2, 128},
    {QStringLiteral("WMA9 44100Hz  Stereo  96KBPS  CBR"), 44100, 2, 96},
    {QStringLiteral("WMA9 44100Hz  Stereo  80KBPS  CBR"), 44100, 2, 80},
    {QStringLiteral("WMA9 44100Hz  Stereo  64KBPS  CBR"), 44100, 2, 64},
    {QStringLiteral("WMA9 44100Hz  Stereo  48KBPS  CBR"), 44100, 2, 48},
    {QStringLiteral("WMA9 44100Hz  Stereo  32KBPS  CBR"), 44100, 2, 32},
    {QStringLiteral("WMA9 44100Hz  Mono  48KBPS  CBR"), 44100, 1, 48},
    {QStringLiteral("WMA9 44100Hz  Mono  32KBPS  CBR"), 44100, 1, 32},
    {QStringLiteral("WMA9 44100Hz, Mono  20KBPS  CBR"), 44100, 1, 20},
    {QStringLiteral("WMA9 32000Hz  Stereo  48KBPS  CBR"), 32000, 2, 48},
    {QStringLiteral("WMA9 32000Hz  Stereo  40KBPS  CBR"), 32000, 2, 40},
    {QStringLiteral("WMA9 32000Hz  Stereo  32KBPS  CBR"), 32000, 2, 32},
    {QStringLiteral("WMA9 32000Hz  Mono  20KBPS  CBR"), 32000, 1, 20},
    {QStringLiteral("WMA9 32000Hz  Stereo  32KBPS  CBR"), 32000, 2, 32},
    {QStringLiteral("WMA9 32000Hz  Stereo  22KBPS  CBR"), 32000, 2, 22},
    {QStringLiteral("WMA9 22050Hz  Stereo  20KBPS  CBR"), 22050, 2, 20},
    {QStringLiteral("WMA9 22050Hz  Mono  20KBPS  CBR"), 22050, 1, 20},
    {QStringLiteral("WMA9 22050Hz  Mono  16KBPS  CBR"), 22050, 1, 16},
    {QStringLiteral("WMA9 16000Hz  Stereo  20KBPS  CBR"), 16000, 2, 20},
    {QStringLiteral("WMA9 16000Hz  Stereo  16KBPS  CBR"), 16000, 2, 16},
    {QStringLiteral("WMA9 16000Hz  Mono  16KBPS  CBR"), 16000, 1, 16},
    {QStringLiteral("WMA9 16000Hz  Mono  12KBPS  CBR"), 16000, 1, 12},
    {QStringLiteral("WMA9 16000Hz  Mono  10KBPS  CBR"), 16000, 1, 10},
    {QStringLiteral("WMA9 11025Hz  Mono  10KBPS  CBR"), 11025, 1, 10},
    {QStringLiteral("WMA9 11025Hz  Mono  8KBPS  CBR"), 11025, 1, 8},
    {QStringLiteral("WMA9 8000Hz  Stereo  12KBPS  CBR"), 8000, 2, 12},
    {QStringLiteral("WMA9 8000Hz  Mono  8KBPS  CBR"), 8000, 1, 8},
    {QStringLiteral("WMA9 8000Hz  Mono  6KBPS  CBR"), 8000, 1, 6},
    {QStringLiteral("WMA9 8000Hz  Mono  5KBPS  CBR"), 8000, 1, 5},
    {QStringLiteral("WMA9 48000Hz  Stereo  VBR Quality 98"), 48000, 2, 192},
    {QStringLiteral("WMA9 48000Hz  Stereo  VBR Quality 90"), 48000, 2, 160},
    {QStringLiteral("WMA9 44100Hz  Stereo  VBR Quality 98"), 44100, 2, 192},
    {QStringLiteral("WMA9 44100Hz  Stereo  VBR Quality 90"), 44100, 2, 160},
    {QStringLiteral("WMA9 44100Hz  Stereo  VBR Quality 75"), 44100, 2, 128},
    {QStringLiteral("WMA9 44100Hz  Stereo  VBR Quality 50"), 44100, 2, 96},
    {QStringLiteral("WMA9 44100Hz  Stereo  VBR Quality 25"), 44100, 2, 64},
    {QStringLiteral("WMA9 44100Hz  Stereo  VBR Quality 10"), 44100, 2, 48},
    {QStringLiteral("WMA9 44100Hz  Stereo  Lossless"), 44100, 2, 320},
}};

} // namespace

const WmaProfile *wma_profile(int profile)
{
    if (profile < 1 || profile > static_cast<int>(profiles.size()))
        return nullptr;
    return &profiles[static_cast<size_t>(profile - 1)];
}

int wma_profile_count()
{
    return static_cast<int>(profiles.size());
}
