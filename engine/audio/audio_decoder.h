#pragma once
// AudioDecoder: reads any audio file FFmpeg opens, as interleaved int16
// samples at the file's own rate and channel count. Counts and positions are
// interleaved samples (audio_types.h). One thread at a time; calls block
// while they read and decode. Errors: open_audio_decoder throws EngineError
// for a file that cannot be read; read() returns what it could decode and an
// empty array at the end, also for a damaged file.

#include "audio_types.h"

#include <QString>
#include <memory>

class AudioDecoder
{
public:
    virtual ~AudioDecoder() = default;
    virtual uint32_t sample_rate() const = 0;
    virtual int channels() const = 0;
    virtual uint32_t bits_per_sample() const = 0; // of the stored samples for PCM, else 16
    virtual int64_t bit_rate() const = 0;         // bit/s
    virtual int64_t total_samples() const = 0;    // 0: no audio
    // Up to three upper-case letters for the container found ("MP3", "OGG",
    // "WAV", "WMA"...), whatever the file is called.
    virtual QString format_code() const = 0;
    // Moves to an exact sample; a position past the end reads nothing.
    virtual void seek(int64_t position) = 0;
    // The next `count` samples; shorter or empty at the end of the file.
    virtual SampleArray read(int64_t count) = 0;
};

std::unique_ptr<AudioDecoder> open_audio_decoder(const QString &path);
