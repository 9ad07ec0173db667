#pragma once
// Shared input for the audio benchmarks: 10 s of 44.1 kHz stereo music-like
// signal (a chord with a little noise), and scratch paths under /tmp.

#include "audio/audio_file.h"
#include "audio/lame_enc.h"
#include "audio_types.h"

#include <QDir>
#include <QString>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <unistd.h>

inline SampleArray make_bench_audio(double seconds, uint32_t rate = 44100)
{
    const size_t frames = static_cast<size_t>(seconds * rate);
    SampleArray out(frames * 2);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> noise(-300.0, 300.0);
    const double freqs[] = {220.0, 277.18, 329.63, 440.0};
    for (size_t i = 0; i < frames; ++i) {
        double v = 0;
        for (double f : freqs)
            v += 2500.0 * std::sin(2 * std::numbers::pi * f * static_cast<double>(i) / rate);
        out[2 * i] = static_cast<int16_t>(v + noise(random));
        out[2 * i + 1] = static_cast<int16_t>(0.8 * v + noise(random));
    }
    return out;
}

inline const SampleArray &bench_audio()
{
    static const SampleArray audio = make_bench_audio(10.0);
    return audio;
}

// Opus codes 48 kHz: its input is made at that rate, as the recorder captures it.
inline const SampleArray &bench_audio_48k()
{
    static const SampleArray audio = make_bench_audio(10.0, 48000);
    return audio;
}

inline QString bench_path(int format)
{
    static const char *ext[] = {".mp3", ".wma", ".wav", ".ogg", ".flac", ".opus"};
    return QDir::tempPath() + QStringLiteral("/velquor-bench-%1").arg(getpid()) +
           QLatin1String(ext[format % 6]);
}

// Resident set size now, in KiB.
inline long current_rss_kib()
{
    long pages = 0, resident = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// The format choice at the recorder's defaults: MP3 44100 Hz stereo 128 kbit/s
// quality 9, WMA preset 9, WAV 44100 Hz stereo 16 bits, OGG quality 300,
// FLAC 44100 Hz stereo 16 bits level 5, Opus stereo 64 kbit/s complexity 10.
inline void choose_default_format(TAudioFile2 &file, int format)
{
    switch (format) {
    case 0: {
        TAudioFile2LameEnc enc;
        file.SetMp3Encoder(enc);
        break;
    }
    case 1:
        file.SetWmaProfile(9);
        break;
    case 2:
        file.SetWavFormat(44100, 2, 16);
        break;
    case 4:
        file.SetFlacFormat(44100, 2, 16, 5);
        break;
    case 5:
        file.SetOpusFormat(2, 64, false, 10);
        break;
    default:
        file.SetOggFormat(44100, 2, 128, 128, 128, 300);
    }
}
