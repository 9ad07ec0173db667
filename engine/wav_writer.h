#pragma once
// WAV output over libsndfile: 16-bit signed or 8-bit unsigned PCM (converted
// from the int16 input). The header is rewritten after every write, so the
// file on disk is always a complete WAV file.

#include "audio_writer.h"

#include <sndfile.h>

class WavWriter : public AudioWriter
{
public:
    WavWriter(uint32_t sample_rate, int channels, uint32_t bits_per_sample);
    ~WavWriter() override;

    void open(const QString &path) override;
    void write(const int16_t *samples, size_t count) override;
    void close() override;
    uint32_t sample_rate() const override { return m_sample_rate; }
    int channels() const override { return m_channels; }

private:
    uint32_t m_sample_rate;
    int m_channels;
    uint32_t m_bits;
    SNDFILE *m_file = nullptr;
    QString m_path;
};
