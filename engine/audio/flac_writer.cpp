#include "audio/flac_writer.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>

namespace
{

FLAC__StreamEncoderWriteStatus write_cb(const FLAC__StreamEncoder *, const FLAC__byte buffer[],
                                        size_t bytes, uint32_t, uint32_t, void *client)
{
    auto *w = static_cast<FlacWriter *>(client);
    try {
        w->file().write(buffer, bytes);
    } catch (const EngineError &e) {
        w->fail_with(e);
        return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
    }
    return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}

FLAC__StreamEncoderSeekStatus seek_cb(const FLAC__StreamEncoder *, FLAC__uint64 offset,
                                      void *client)
{
    auto *w = static_cast<FlacWriter *>(client);
    try {
        w->file().seek(static_cast<off_t>(offset));
    } catch (const EngineError &e) {
        w->fail_with(e);
        return FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
    }
    return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
}

FLAC__StreamEncoderTellStatus tell_cb(const FLAC__StreamEncoder *, FLAC__uint64 *offset,
                                      void *client)
{
    const off_t at = static_cast<FlacWriter *>(client)->file().tell();
    if (at < 0)
        return FLAC__STREAM_ENCODER_TELL_STATUS_ERROR;
    *offset = static_cast<FLAC__uint64>(at);
    return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
}

bool plausible(const FlacSettings &s)
{
    return s.sample_rate >= 1000 && s.sample_rate <= 655350 &&
           (s.channels == 1 || s.channels == 2) &&
           (s.bits_per_sample == 16 || s.bits_per_sample == 24) && s.level >= 0 && s.level <= 8;
}

} // namespace

struct FlacWriter::Encoder {
    FLAC__StreamEncoder *stream = nullptr;
    // Room for the tags written after the recording, as the flac tool leaves it.
    FLAC__StreamMetadata *padding = nullptr;
};

bool flac_format_supported(const FlacSettings &settings)
{
    return plausible(settings);
}

FlacWriter::FlacWriter(const FlacSettings &settings) : m_settings(settings) {}

FlacWriter::~FlacWriter()
{
    release();
}

void FlacWriter::fail_with(const EngineError &error)
{
    if (m_error.isEmpty())
        m_error = error.message();
}

void FlacWriter::throw_if_failed()
{
    if (!m_error.isEmpty())
        throw EngineError(m_error);
}

void FlacWriter::release()
{
    if (m_encoder) {
        if (m_encoder->stream)
            FLAC__stream_encoder_delete(m_encoder->stream);
        if (m_encoder->padding)
            FLAC__metadata_object_delete(m_encoder->padding);
        delete m_encoder;
        m_encoder = nullptr;
    }
    m_file.close();
}

void FlacWriter::open(const QString &path)
{
    release();
    m_error.clear();
    if (!plausible(m_settings))
        throw EngineError(QStringLiteral("Unsupported FLAC format: %1 Hz, %2 channels, %3 bits")
                              .arg(m_settings.sample_rate)
                              .arg(m_settings.channels)
                              .arg(m_settings.bits_per_sample));
    m_file.open(path);
    m_encoder = new Encoder;
    m_encoder->stream = FLAC__stream_encoder_new();
    m_encoder->padding = FLAC__metadata_object_new(FLAC__METADATA_TYPE_PADDING);
    if (!m_encoder->stream || !m_encoder->padding)
        throw EngineError(QStringLiteral("Out of memory for the FLAC encoder"));
    m_encoder->padding->length = 8192;
    FLAC__StreamEncoder *e = m_encoder->stream;
    FLAC__stream_encoder_set_compression_level(e, static_cast<uint32_t>(m_settings.level));
    FLAC__stream_encoder_set_channels(e, static_cast<uint32_t>(m_settings.channels));
    FLAC__stream_encoder_set_bits_per_sample(e, static_cast<uint32_t>(m_settings.bits_per_sample));
    FLAC__stream_encoder_set_sample_rate(e, m_settings.sample_rate);
    FLAC__stream_encoder_set_metadata(e, &m_encoder->padding, 1);
    const FLAC__StreamEncoderInitStatus status =
        FLAC__stream_encoder_init_stream(e, write_cb, seek_cb, tell_cb, nullptr, this);
    throw_if_failed();
    if (status != FLAC__STREAM_ENCODER_INIT_STATUS_OK)
        throw EngineError(QStringLiteral("The FLAC encoder refused %1 Hz, %2 channels: %3")
                              .arg(m_settings.sample_rate)
                              .arg(m_settings.channels)
                              .arg(QLatin1String(FLAC__StreamEncoderInitStatusString[status])));
}

void FlacWriter::write(const int16_t *samples, size_t count)
{
    if (!m_encoder || !m_file.is_open())
        throw EngineError(QStringLiteral("No FLAC file is open"));
    throw_if_failed();
    const size_t frames = count / static_cast<size_t>(m_settings.channels);
    if (frames == 0)
        return;
    const int shift = m_settings.bits_per_sample - 16;
    m_buffer.resize(frames * static_cast<size_t>(m_settings.channels));
    for (size_t i = 0; i < m_buffer.size(); ++i)
        m_buffer[i] = static_cast<int32_t>(samples[i]) * (1 << shift);
    const bool ok = FLAC__stream_encoder_process_interleaved(m_encoder->stream, m_buffer.data(),
                                                             static_cast<uint32_t>(frames));
    throw_if_failed();
    if (!ok)
        throw EngineError(QStringLiteral("The FLAC encoder failed: %1")
                              .arg(QLatin1String(FLAC__stream_encoder_get_resolved_state_string(
                                  m_encoder->stream))));
}

void FlacWriter::close()
{
    if (!m_encoder)
        return;
    // After a failed write the frames before it stay as they are: the stream
    // info keeps "length unknown", which every decoder accepts.
    const bool finish = m_error.isEmpty() && m_file.is_open();
    const bool ok = !finish || FLAC__stream_encoder_finish(m_encoder->stream);
    const QString error = m_error;
    release();
    if (!error.isEmpty() && finish)
        throw EngineError(error);
    if (!ok)
        throw EngineError(QStringLiteral("The FLAC file could not be completed"));
}
