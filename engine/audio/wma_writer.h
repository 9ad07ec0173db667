#pragma once
// WMA output over FFmpeg: WMA version 2 in an ASF container, at a preset's
// rate and channels (wma_profiles.h). The bit rate is the preset's, raised to
// the encoder's lowest accepted rate where the preset's is below it.

#include "audio/audio_writer.h"

#include <vector>

struct AVFormatContext;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;

class WmaWriter : public AudioWriter
{
public:
    WmaWriter(uint32_t sample_rate, int channels, int bitrate_kbps);
    ~WmaWriter() override;

    void open(const QString &path) override;
    void write(const int16_t *samples, size_t count) override;
    void close() override;
    uint32_t sample_rate() const override { return m_sample_rate; }
    int channels() const override { return m_channels; }
    // bit/s the encoder runs at; valid after open().
    int64_t bit_rate() const { return m_bit_rate; }

private:
    void encode_frame(bool flush);
    void drain();
    void flush_to_os();
    void release();
    [[noreturn]] void fail(const QString &what, int error);

    uint32_t m_sample_rate;
    int m_channels;
    int m_bitrate_kbps;
    int64_t m_bit_rate = 0;
    QString m_path;
    AVFormatContext *m_format = nullptr;
    AVCodecContext *m_codec = nullptr;
    AVFrame *m_frame = nullptr;
    AVPacket *m_packet = nullptr;
    std::vector<int16_t> m_pending; // interleaved, less than one codec frame
    int64_t m_next_pts = 0;
    bool m_header_written = false;
    bool m_failed = false;
};
