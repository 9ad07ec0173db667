#pragma once
// MP3 output over LAME. Frames go to the file as LAME makes them; at close
// the first frame (reserved by LAME) is overwritten with the Xing/LAME
// header, so players see the true length and the encoder delay.
// Bit rates in kbit/s. VBR: vbr_quality is LAME's -V (0 best .. 9), and
// vbr_min_kbps the lowest bit rate a frame may use.

#include "audio/audio_writer.h"

struct Mp3Settings {
    uint32_t sample_rate = 44100;
    int channels = 2;
    int bitrate_kbps = 128;
    int quality = 9; // LAME's algorithm quality, 0 best .. 9 fastest
    bool constant_bitrate = true;
    int vbr_min_kbps = 128;
    int vbr_quality = 9;
};

// What LAME can encode without resampling: the rate is an MPEG rate and the
// bit rate is in the layer III table of that MPEG version.
bool mp3_format_supported(uint32_t sample_rate, int bitrate_kbps, int channels);

class Mp3Writer : public AudioWriter
{
public:
    explicit Mp3Writer(const Mp3Settings &settings);
    ~Mp3Writer() override;

    void open(const QString &path) override;
    void write(const int16_t *samples, size_t count) override;
    void close() override;
    uint32_t sample_rate() const override { return m_settings.sample_rate; }
    int channels() const override { return m_settings.channels; }

private:
    void release();

    Mp3Settings m_settings;
    struct lame_global_struct *m_lame = nullptr;
    RawOutputFile m_file;
    std::vector<unsigned char> m_buffer;
    bool m_failed = false;
};
