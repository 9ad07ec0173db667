#pragma once
// Synthetic signals and measurements shared by the engine_audio tests.

#include "audio/audio_file.h"
#include "audio_types.h"

#include <QString>
#include <cstdint>
#include <vector>

namespace audio_test
{

enum class Format { mp3, ogg, wav16, wav8, wma, flac16, flac24, opus };
const char *format_name(Format f);
QString extension(Format f);

// A phase-continuous two-tone source: left 440 Hz, right 660 Hz (mono: 440).
class ToneSource
{
public:
    ToneSource(uint32_t rate, int channels, double amplitude = 10000.0)
        : m_rate(rate), m_channels(channels), m_amplitude(amplitude)
    {
    }
    SampleArray next(int64_t frames);
    static double frequency(int channel) { return channel == 0 ? 440.0 : 660.0; }
    double amplitude() const { return m_amplitude; }

private:
    uint32_t m_rate;
    int m_channels;
    double m_amplitude;
    int64_t m_frame = 0;
};

// Chooses the format on `file` (rate and channels where the format has them;
// WMA uses preset 9, Opus its own 48000 Hz).
void choose_format(TAudioFile2 &file, Format f, uint32_t rate, int channels);

// Writes `seconds` of the tone in blocks of uneven sizes; returns samples written.
int64_t write_tone(TAudioFile2 &file, double seconds);

// Everything from the current read position to the end, in ReadArray(4410) steps.
SampleArray read_all(TAudioFile2 &file, int block = 4410);

// One channel of an interleaved array.
std::vector<double> channel_of(const SampleArray &a, int channels, int channel);
// Frequency from positive-going zero crossings.
double zero_crossing_frequency(const std::vector<double> &x, uint32_t rate);
double rms(const std::vector<double> &x, size_t from, size_t count);

} // namespace audio_test
