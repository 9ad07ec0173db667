#include "audio/ogg_writer.h"

#include <algorithm>
#include <random>

namespace
{

int init_encoder(vorbis_info *info, const OggSettings &s)
{
    if (s.quality < 0)
        return vorbis_encode_init(info, s.channels, static_cast<long>(s.sample_rate),
                                  s.max_bitrate_kbps * 1000L, s.bitrate_kbps * 1000L,
                                  s.min_bitrate_kbps * 1000L);
    return vorbis_encode_init_vbr(info, s.channels, static_cast<long>(s.sample_rate),
                                  ogg_vorbis_quality(s.quality));
}

bool plausible(uint32_t sample_rate, int channels)
{
    return sample_rate >= 1000 && sample_rate <= 200000 && (channels == 1 || channels == 2);
}

} // namespace

float ogg_vorbis_quality(int quality)
{
    return -0.1f + 1.1f * static_cast<float>(std::clamp(quality, 0, 1000)) / 1000.0f;
}

bool ogg_format_supported(uint32_t sample_rate, int channels, int bitrate_kbps,
                          int max_bitrate_kbps, int min_bitrate_kbps)
{
    if (!plausible(sample_rate, channels) || bitrate_kbps <= 0 || max_bitrate_kbps <= 0 ||
        min_bitrate_kbps <= 0 || bitrate_kbps > 10000 || max_bitrate_kbps > 10000)
        return false;
    OggSettings s;
    s.sample_rate = sample_rate;
    s.channels = channels;
    s.bitrate_kbps = bitrate_kbps;
    s.max_bitrate_kbps = max_bitrate_kbps;
    s.min_bitrate_kbps = min_bitrate_kbps;
    vorbis_info info;
    vorbis_info_init(&info);
    const int rc = init_encoder(&info, s);
    vorbis_info_clear(&info);
    return rc == 0;
}

OggWriter::OggWriter(const OggSettings &settings) : m_settings(settings) {}

OggWriter::~OggWriter()
{
    release();
}

void OggWriter::release()
{
    if (m_ready) {
        ogg_stream_clear(&m_stream);
        vorbis_block_clear(&m_block);
        vorbis_dsp_clear(&m_dsp);
        vorbis_comment_clear(&m_comment);
        vorbis_info_clear(&m_info);
    }
    m_ready = false;
    m_file.close();
}

void OggWriter::open(const QString &path)
{
    release();
    if (!plausible(m_settings.sample_rate, m_settings.channels))
        throw EngineError(QStringLiteral("Unsupported OGG format: %1 Hz, %2 channels")
                              .arg(m_settings.sample_rate)
                              .arg(m_settings.channels));
    vorbis_info_init(&m_info);
    if (init_encoder(&m_info, m_settings) != 0) {
        vorbis_info_clear(&m_info);
        throw EngineError(QStringLiteral("The OGG encoder refused %1 Hz, %2 channels at these "
                                         "bit rates")
                              .arg(m_settings.sample_rate)
                              .arg(m_settings.channels));
    }
    vorbis_comment_init(&m_comment);
    vorbis_analysis_init(&m_dsp, &m_info);
    vorbis_block_init(&m_dsp, &m_block);
    std::random_device seed;
    ogg_stream_init(&m_stream, static_cast<int>(seed() & 0x7fffffff));
    m_ready = true;
    m_failed = false;
    m_flushed_granule = 0;
    m_file.open(path);

    ogg_packet header, comments, codebooks;
    vorbis_analysis_headerout(&m_dsp, &m_comment, &header, &comments, &codebooks);
    ogg_stream_packetin(&m_stream, &header);
    ogg_stream_packetin(&m_stream, &comments);
    ogg_stream_packetin(&m_stream, &codebooks);
    // The headers end on a page of their own, as the format asks.
    write_pages(true);
}

void OggWriter::write_pages(bool force)
{
    ogg_page page;
    auto put = [&] {
        try {
            m_file.write(page.header, static_cast<size_t>(page.header_len));
            m_file.write(page.body, static_cast<size_t>(page.body_len));
        } catch (...) {
            m_failed = true;
            throw;
        }
        const ogg_int64_t granule = ogg_page_granulepos(&page);
        if (granule >= 0)
            m_flushed_granule = granule;
    };
    while (ogg_stream_pageout(&m_stream, &page) > 0)
        put();
    const ogg_int64_t pending = m_stream.granulepos - m_flushed_granule;
    if (force || pending > static_cast<ogg_int64_t>(m_settings.sample_rate / 2))
        while (ogg_stream_flush(&m_stream, &page) > 0)
            put();
}

void OggWriter::encode_blocks()
{
    ogg_packet packet;
    while (vorbis_analysis_blockout(&m_dsp, &m_block) == 1) {
        vorbis_analysis(&m_block, nullptr);
        vorbis_bitrate_addblock(&m_block);
        while (vorbis_bitrate_flushpacket(&m_dsp, &packet) == 1)
            ogg_stream_packetin(&m_stream, &packet);
    }
}

void OggWriter::write(const int16_t *samples, size_t count)
{
    if (!m_ready || !m_file.is_open())
        throw EngineError(QStringLiteral("No OGG file is open"));
    const int channels = m_settings.channels;
    size_t frames = count / static_cast<size_t>(channels);
    constexpr size_t chunk = 4096;
    while (frames > 0) {
        const int n = static_cast<int>(std::min(frames, chunk));
        float **buffer = vorbis_analysis_buffer(&m_dsp, n);
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < channels; ++c)
                buffer[c][i] = static_cast<float>(samples[i * channels + c]) / 32768.0f;
        vorbis_analysis_wrote(&m_dsp, n);
        encode_blocks();
        samples += static_cast<size_t>(n) * static_cast<size_t>(channels);
        frames -= static_cast<size_t>(n);
    }
    write_pages(false);
}

void OggWriter::close()
{
    if (!m_ready)
        return;
    try {
        if (!m_failed && m_file.is_open()) {
            vorbis_analysis_wrote(&m_dsp, 0); // end of stream
            encode_blocks();
            write_pages(true);
        }
    } catch (...) {
        release();
        throw;
    }
    release();
}
