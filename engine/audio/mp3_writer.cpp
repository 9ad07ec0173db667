#include "audio/mp3_writer.h"

#include <algorithm>
#include <lame/lame.h>

namespace
{

// LAME rounds a bit rate it cannot use to the nearest one instead of
// refusing it, so a setting counts as supported only when it survives
// lame_init_params unchanged.
lame_t make_encoder(const Mp3Settings &s)
{
    lame_t lame = lame_init();
    if (!lame)
        return nullptr;
    lame_set_in_samplerate(lame, static_cast<int>(s.sample_rate));
    lame_set_out_samplerate(lame, static_cast<int>(s.sample_rate));
    lame_set_num_channels(lame, s.channels);
    lame_set_mode(lame, s.channels == 1 ? MONO : JOINT_STEREO);
    lame_set_quality(lame, std::clamp(s.quality, 0, 9));
    lame_set_write_id3tag_automatic(lame, 0);
    lame_set_bWriteVbrTag(lame, 1);
    if (s.constant_bitrate) {
        lame_set_VBR(lame, vbr_off);
        lame_set_brate(lame, s.bitrate_kbps);
    } else {
        lame_set_VBR(lame, vbr_default);
        lame_set_VBR_quality(lame, static_cast<float>(std::clamp(s.vbr_quality, 0, 9)));
        lame_set_VBR_min_bitrate_kbps(lame, s.vbr_min_kbps);
    }
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        return nullptr;
    }
    return lame;
}

} // namespace

bool mp3_format_supported(uint32_t sample_rate, int bitrate_kbps, int channels)
{
    if (channels < 1 || channels > 2 || bitrate_kbps <= 0 || sample_rate == 0 ||
        sample_rate > 48000)
        return false;
    Mp3Settings s;
    s.sample_rate = sample_rate;
    s.channels = channels;
    s.bitrate_kbps = bitrate_kbps;
    lame_t lame = make_encoder(s);
    if (!lame)
        return false;
    const bool ok = lame_get_out_samplerate(lame) == static_cast<int>(sample_rate) &&
                    lame_get_brate(lame) == bitrate_kbps;
    lame_close(lame);
    return ok;
}

Mp3Writer::Mp3Writer(const Mp3Settings &settings) : m_settings(settings) {}

Mp3Writer::~Mp3Writer()
{
    release();
}

void Mp3Writer::release()
{
    if (m_lame)
        lame_close(m_lame);
    m_lame = nullptr;
    m_file.close();
}

void Mp3Writer::open(const QString &path)
{
    release();
    if (!mp3_format_supported(m_settings.sample_rate, m_settings.bitrate_kbps, m_settings.channels))
        throw EngineError(QStringLiteral("Unsupported MP3 format: %1 Hz, %2 kbit/s, %3 channels")
                              .arg(m_settings.sample_rate)
                              .arg(m_settings.bitrate_kbps)
                              .arg(m_settings.channels));
    m_lame = make_encoder(m_settings);
    if (!m_lame)
        throw EngineError(QStringLiteral("The MP3 encoder refused its settings"));
    m_failed = false;
    m_file.open(path);
}

void Mp3Writer::write(const int16_t *samples, size_t count)
{
    if (!m_lame || !m_file.is_open())
        throw EngineError(QStringLiteral("No MP3 file is open"));
    const size_t channels = static_cast<size_t>(m_settings.channels);
    size_t frames = count / channels;
    // Bounded chunks keep the output buffer small for any block size.
    constexpr size_t chunk = 8192;
    while (frames > 0) {
        const size_t n = std::min(frames, chunk);
        m_buffer.resize(n * 5 / 4 + 7200);
        int bytes;
        if (channels == 2)
            bytes = lame_encode_buffer_interleaved(m_lame, const_cast<short *>(samples),
                                                   static_cast<int>(n), m_buffer.data(),
                                                   static_cast<int>(m_buffer.size()));
        else
            bytes = lame_encode_buffer(m_lame, samples, samples, static_cast<int>(n),
                                       m_buffer.data(), static_cast<int>(m_buffer.size()));
        if (bytes < 0)
            throw EngineError(QStringLiteral("The MP3 encoder failed (%1)").arg(bytes));
        try {
            m_file.write(m_buffer.data(), static_cast<size_t>(bytes));
        } catch (...) {
            m_failed = true;
            throw;
        }
        samples += n * channels;
        frames -= n;
    }
}

void Mp3Writer::close()
{
    if (!m_lame)
        return;
    try {
        // After a failed write the disk is full or gone: the frames already on
        // disk stay playable, and the placeholder header keeps them readable.
        if (!m_failed) {
            m_buffer.resize(7200);
            const int bytes =
                lame_encode_flush(m_lame, m_buffer.data(), static_cast<int>(m_buffer.size()));
            if (bytes > 0)
                m_file.write(m_buffer.data(), static_cast<size_t>(bytes));
            std::vector<unsigned char> tag(2880);
            const size_t size = lame_get_lametag_frame(m_lame, tag.data(), tag.size());
            if (size > 0 && size <= tag.size())
                m_file.write_at(0, tag.data(), size);
        }
    } catch (...) {
        release();
        throw;
    }
    release();
}
