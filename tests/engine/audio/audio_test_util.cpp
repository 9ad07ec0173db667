#include "audio_test_util.h"

#include "audio/lame_enc.h"

#include <QDir>
#include <QTemporaryDir>
#include <cmath>
#include <numbers>

namespace audio_test
{

const char *format_name(Format f)
{
    switch (f) {
    case Format::mp3:
        return "mp3";
    case Format::ogg:
        return "ogg";
    case Format::wav16:
        return "wav16";
    case Format::wav8:
        return "wav8";
    case Format::wma:
        return "wma";
    case Format::flac16:
        return "flac16";
    case Format::flac24:
        return "flac24";
    case Format::opus:
        return "opus";
    }
    return "?";
}

QString extension(Format f)
{
    switch (f) {
    case Format::mp3:
        return QStringLiteral(".mp3");
    case Format::ogg:
        return QStringLiteral(".ogg");
    case Format::wma:
        return QStringLiteral(".wma");
    case Format::flac16:
    case Format::flac24:
        return QStringLiteral(".flac");
    case Format::opus:
        return QStringLiteral(".opus");
    default:
        return QStringLiteral(".wav");
    }
}

SampleArray ToneSource::next(int64_t frames)
{
    SampleArray out(static_cast<size_t>(frames * m_channels));
    for (int64_t i = 0; i < frames; ++i, ++m_frame)
        for (int c = 0; c < m_channels; ++c) {
            const double phase =
                2.0 * std::numbers::pi * frequency(c) * static_cast<double>(m_frame) / m_rate;
            out[static_cast<size_t>(i * m_channels + c)] =
                static_cast<int16_t>(std::lround(m_amplitude * std::sin(phase)));
        }
    return out;
}

void choose_format(TAudioFile2 &file, Format f, uint32_t rate, int channels)
{
    switch (f) {
    case Format::mp3: {
        TAudioFile2LameEnc enc;
        enc.setSampleRate(rate);
        enc.setChannels(channels);
        enc.setBitrate(rate >= 32000 ? 128 : rate >= 16000 ? 64 : 32);
        enc.setQuality(9);
        enc.setConstantBitrate(true);
        file.SetMp3Encoder(enc);
        break;
    }
    case Format::ogg:
        file.SetOggFormat(rate, channels, 128, 128, 128, 300);
        break;
    case Format::wav16:
        file.SetWavFormat(rate, channels, 16);
        break;
    case Format::wav8:
        file.SetWavFormat(rate, channels, 8);
        break;
    case Format::wma:
        file.SetWmaProfile(9);
        break;
    case Format::flac16:
        file.SetFlacFormat(rate, channels, 16, 5);
        break;
    case Format::flac24:
        file.SetFlacFormat(rate, channels, 24, 5);
        break;
    case Format::opus:
        file.SetOpusFormat(channels, channels * 48, false, 10);
        break;
    }
}

int64_t write_tone(TAudioFile2 &file, double seconds)
{
    ToneSource tone(file.SampleRate(), file.Channels());
    const int64_t total = static_cast<int64_t>(seconds * file.SampleRate());
    // Uneven block sizes, so block joins fall everywhere in codec frames.
    const int64_t sizes[] = {1234, 8820, 1, 4410, 3001, 17};
    int64_t done = 0;
    for (size_t i = 0; done < total; ++i) {
        const int64_t n = std::min(sizes[i % 6], total - done);
        if (!file.WriteArray(tone.next(n)))
            break;
        done += n;
    }
    return done * file.Channels();
}

SampleArray read_all(TAudioFile2 &file, int block)
{
    SampleArray all;
    // Bounded: a reader that never ends fails the test instead of hanging.
    for (int i = 0; i < 1000000; ++i) {
        SampleArray a = file.ReadArray(block);
        all.insert(all.end(), a.begin(), a.end());
        if (static_cast<int>(a.size()) < block)
            break;
    }
    return all;
}

std::vector<double> channel_of(const SampleArray &a, int channels, int channel)
{
    std::vector<double> out;
    out.reserve(a.size() / static_cast<size_t>(channels));
    for (size_t i = static_cast<size_t>(channel); i < a.size(); i += static_cast<size_t>(channels))
        out.push_back(a[i]);
    return out;
}

double zero_crossing_frequency(const std::vector<double> &x, uint32_t rate)
{
    // Crossings with hysteresis, so codec noise near silence does not count.
    constexpr double threshold = 1000.0;
    size_t first = 0, last = 0;
    int crossings = 0;
    bool below = false;
    for (size_t i = 0; i < x.size(); ++i) {
        if (x[i] < -threshold) {
            below = true;
        } else if (below && x[i] > threshold) {
            below = false;
            if (crossings == 0)
                first = i;
            last = i;
            ++crossings;
        }
    }
    if (crossings < 2)
        return 0;
    return (crossings - 1) * static_cast<double>(rate) / static_cast<double>(last - first);
}

double rms(const std::vector<double> &x, size_t from, size_t count)
{
    double sum = 0;
    size_t n = 0;
    for (size_t i = from; i < std::min(x.size(), from + count); ++i, ++n)
        sum += x[i] * x[i];
    return n ? std::sqrt(sum / static_cast<double>(n)) : 0.0;
}

} // namespace audio_test
