#pragma once
// Types shared by every audio component.
//
// Sample unit: every count the components take or give (TotalSamples, Seek
// positions, RecordedSamples, SamplePosition, PlayedSamples, CurrentSamples,
// BlockSize, the counts of ReadArray and PeekArray) is a number of single
// samples, interleaved: one second of 44100 Hz stereo is 88200 samples.
// SamplesToMilliseconds / MillisecondsToSamples convert with rate x channels,
// so a count and the length of a SampleArray are always the same thing.

#include <QString>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <vector>

// Interleaved signed 16-bit samples. Empty means "upper bound -1".
using SampleArray = std::vector<int16_t>;

inline int array_high(const SampleArray &a)
{
    return static_cast<int>(a.size()) - 1;
}

// The one error type of the engine; what() is a message a user can read.
class EngineError : public std::runtime_error
{
public:
    explicit EngineError(const QString &message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromStdString(what()); }
};

// ms = samples * 1000 / (rate * channels), rounded toward zero; 0 for a bad format.
// Whole seconds first, and saturating: a damaged header can claim a count whose
// product with 1000 does not fit.
inline int64_t samples_to_ms(int64_t samples, uint32_t rate, int channels)
{
    if (rate == 0 || channels <= 0)
        return 0;
    const int64_t per_second = static_cast<int64_t>(rate) * channels;
    const int64_t seconds = samples / per_second;
    constexpr int64_t max_seconds = std::numeric_limits<int64_t>::max() / 1000 - 1;
    if (seconds > max_seconds)
        return std::numeric_limits<int64_t>::max();
    if (seconds < -max_seconds)
        return std::numeric_limits<int64_t>::min();
    return seconds * 1000 + samples % per_second * 1000 / per_second;
}

inline int64_t ms_to_samples(int64_t ms, uint32_t rate, int channels)
{
    if (rate == 0 || channels <= 0)
        return 0;
    return ms * static_cast<int64_t>(rate) * channels / 1000;
}
