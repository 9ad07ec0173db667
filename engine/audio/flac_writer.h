#pragma once
// FLAC output over libFLAC's stream encoder: 16 or 24 bits (the 16-bit
// capture in 24-bit words for the latter), compression level 0..8. Frames
// (about 0.1 s each) go to the file as they are encoded; closing goes back
// to fill in the stream info (length, MD5), so a killed recording is a file
// of unknown length that still decodes up to its last frame.

#include "audio/audio_writer.h"

struct FlacSettings {
    uint32_t sample_rate = 44100;
    int channels = 2;
    int bits_per_sample = 16; // 16 or 24
    int level = 5;            // 0 fastest .. 8 smallest
};

bool flac_format_supported(const FlacSettings &settings);

class FlacWriter : public AudioWriter
{
public:
    explicit FlacWriter(const FlacSettings &settings);
    ~FlacWriter() override;

    void open(const QString &path) override;
    void write(const int16_t *samples, size_t count) override;
    void close() override;
    uint32_t sample_rate() const override { return m_settings.sample_rate; }
    int channels() const override { return m_settings.channels; }

    // For libFLAC's callbacks.
    RawOutputFile &file() { return m_file; }
    void fail_with(const EngineError &error);

private:
    void release();
    void throw_if_failed();

    FlacSettings m_settings;
    struct Encoder;
    Encoder *m_encoder = nullptr;
    RawOutputFile m_file;
    QString m_error;
    std::vector<int32_t> m_buffer;
};
