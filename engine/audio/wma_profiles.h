#pragma once
// The 47 WMA presets, numbered 1..47 as SetWmaProfile takes them. Rates in Hz,
// bit rates in kbit/s: the preset's nominal rate; the writer raises it to the
// lowest the encoder accepts when the preset's is below that.

#include <QString>
#include <cstdint>

struct WmaProfile {
    QString name;
    uint32_t sample_rate;
    int channels;
    int bitrate_kbps;
};

// nullptr for a number outside 1..47.
const WmaProfile *wma_profile(int profile);
int wma_profile_count();
