#pragma once
// WAV output over libsndfile: 16-bit signed or 8-bit unsigned PCM (converted
// from the int16 input). The header is rewritten after every write, so the
// file on disk is always a complete WAV file.

#include "audio/audio_writer.h"

#include <sndfile.h>

// RIFF sizes are 32 bits: a WAV file ends at 4 GiB. The margin leaves room for
// the tags written after the recording.
constexpr int64_t wav_max_data_bytes = 0xFFFFFFFFLL - 16 * 1024 * 1024;

class WavWriter : public AudioWriter
{
public:
    // A write that would pass max_data_bytes of audio stores what fits and fails.
    WavWriter(uint32_t sample_rate, int channels, uint32_t bits_per_sample,
              int64_t max_data_bytes = wav_max_data_bytes);
    ~WavWriter() override;

    void open(const QString &path) override;
    void write(const int16_t *samples, size_t count) override;
    void close() override;
    uint32_t sample_rate() const override { return m_sample_rate; }
    int channels() const override { return m_channels; }
    int64_t room() const override;

private:
    uint32_t m_sample_rate;
    int m_channels;
    uint32_t m_bits;
    int64_t m_max_data_bytes;
    int64_t m_data_bytes = 0;
    SNDFILE *m_file = nullptr;
    QString m_path;
};
