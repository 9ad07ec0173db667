#pragma once
// Opus output in an Ogg container over libopusenc, at 48000 Hz (Opus's own
// rate: the recording is captured at it). Bit rate 6..256 kbit/s, mono or
// stereo, the "audio" or "voice" application, complexity 0..10. Each file
// is a stream of its own with its own pre-skip, so files split one after
// the other join without a gap. Pages reach the file at least every half
// second, so a killed recording keeps all but its last moment.

#include "audio/audio_writer.h"

struct OpusSettings {
    int channels = 2;
    int bitrate_kbps = 64;
    bool voice = false; // the "voice" application, else "audio"
    int complexity = 10;
};

constexpr uint32_t opus_sample_rate = 48000;

bool opus_format_supported(const OpusSettings &settings);

class OpusWriter : public AudioWriter
{
public:
    explicit OpusWriter(const OpusSettings &settings);
    ~OpusWriter() override;

    void open(const QString &path) override;
    void write(const int16_t *samples, size_t count) override;
    void close() override;
    uint32_t sample_rate() const override { return opus_sample_rate; }
    int channels() const override { return m_settings.channels; }

    // For libopusenc's callback.
    bool put(const unsigned char *data, size_t size);

private:
    void release();
    void check(int result, const char *what);

    OpusSettings m_settings;
    struct Encoder;
    Encoder *m_encoder = nullptr;
    RawOutputFile m_file;
    QString m_error;
    int64_t m_frames = 0; // written since open
};
