#pragma once
// OGG Vorbis output over libvorbisenc and libogg. Bit-rate mode (nominal,
// max and min in kbit/s, libvorbisenc's managed mode) or quality mode.
// Pages go to the file as libogg completes them, and a page is forced out
// once it holds half a second of audio, so a killed recording keeps all but
// the last moment.

#include "audio/audio_writer.h"

#include <vorbis/vorbisenc.h>

struct OggSettings {
    uint32_t sample_rate = 44100;
    int channels = 2;
    int bitrate_kbps = 128;
    int max_bitrate_kbps = 128;
    int min_bitrate_kbps = 128;
    // -1: bit-rate mode; 0..1000: quality mode, mapped linearly onto vorbis
    // quality -0.1..1.0 (300 is about 0.23).
    int quality = -1;
};

float ogg_vorbis_quality(int quality);
// Whether libvorbisenc's managed mode accepts these values.
bool ogg_format_supported(uint32_t sample_rate, int channels, int bitrate_kbps,
                          int max_bitrate_kbps, int min_bitrate_kbps);

class OggWriter : public AudioWriter
{
public:
    explicit OggWriter(const OggSettings &settings);
    ~OggWriter() override;

    void open(const QString &path) override;
    void write(const int16_t *samples, size_t count) override;
    void close() override;
    uint32_t sample_rate() const override { return m_settings.sample_rate; }
    int channels() const override { return m_settings.channels; }

private:
    void encode_blocks();
    void write_pages(bool force);
    void release();

    OggSettings m_settings;
    bool m_ready = false;
    bool m_failed = false;
    vorbis_info m_info{};
    vorbis_comment m_comment{};
    vorbis_dsp_state m_dsp{};
    vorbis_block m_block{};
    ogg_stream_state m_stream{};
    ogg_int64_t m_flushed_granule = 0;
    RawOutputFile m_file;
};
