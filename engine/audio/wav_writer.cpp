#include "audio/wav_writer.h"

WavWriter::WavWriter(uint32_t sample_rate, int channels, uint32_t bits_per_sample,
                     int64_t max_data_bytes)
    : m_sample_rate(sample_rate), m_channels(channels), m_bits(bits_per_sample),
      m_max_data_bytes(max_data_bytes)
{
}

WavWriter::~WavWriter()
{
    if (m_file)
        sf_close(m_file);
}

void WavWriter::open(const QString &path)
{
    if (m_sample_rate < 1000 || m_sample_rate > 384000 || m_channels < 1 || m_channels > 2 ||
        (m_bits != 8 && m_bits != 16))
        throw EngineError(QStringLiteral("Unsupported WAV format: %1 Hz, %2 channels, %3 bits")
                              .arg(m_sample_rate)
                              .arg(m_channels)
                              .arg(m_bits));
    SF_INFO info{};
    info.samplerate = static_cast<int>(m_sample_rate);
    info.channels = m_channels;
    info.format = SF_FORMAT_WAV | (m_bits == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
    m_path = path;
    m_data_bytes = 0;
    m_file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!m_file)
        throw EngineError(QStringLiteral("Cannot create %1: %2")
                              .arg(path, QString::fromLocal8Bit(sf_strerror(nullptr))));
    sf_command(m_file, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
}

void WavWriter::write(const int16_t *samples, size_t count)
{
    if (!m_file)
        throw EngineError(QStringLiteral("No WAV file is open"));
    // Whole frames only; a stray odd sample of a stereo stream is dropped.
    sf_count_t frames = static_cast<sf_count_t>(count) / m_channels;
    const int64_t frame_bytes = static_cast<int64_t>(m_channels) * (m_bits / 8);
    const int64_t room = (m_max_data_bytes - m_data_bytes) / frame_bytes;
    const bool too_long = frames > room;
    if (too_long)
        frames = room;
    if (frames > 0) {
        const sf_count_t done = sf_writef_short(m_file, samples, frames);
        m_data_bytes += done * frame_bytes;
        if (done != frames)
            throw EngineError(QStringLiteral("Cannot write to %1: %2")
                                  .arg(m_path, QString::fromLocal8Bit(sf_strerror(m_file))));
    }
    // libsndfile would go on and wrap the 32-bit sizes, leaving a file that
    // reads as a few minutes long.
    if (too_long)
        throw EngineError(
            QStringLiteral("%1 has reached the largest size a WAV file can have (4 GiB)")
                .arg(m_path));
}

int64_t WavWriter::room() const
{
    const int64_t frame_bytes = static_cast<int64_t>(m_channels) * (m_bits / 8);
    return (m_max_data_bytes - m_data_bytes) / frame_bytes * m_channels;
}

void WavWriter::close()
{
    if (!m_file)
        return;
    const int rc = sf_close(m_file);
    m_file = nullptr;
    if (rc != 0)
        throw EngineError(QStringLiteral("Cannot finish %1: %2")
                              .arg(m_path, QString::fromLocal8Bit(sf_error_number(rc))));
}
