#include "audio/opus_writer.h"

#include <opus/opusenc.h>

#include <vector>

namespace
{

int write_cb(void *user, const unsigned char *data, opus_int32 size)
{
    return static_cast<OpusWriter *>(user)->put(data, static_cast<size_t>(size)) ? 0 : 1;
}

int close_cb(void *)
{
    return 0; // the writer closes its own file
}

bool plausible(const OpusSettings &s)
{
    return (s.channels == 1 || s.channels == 2) && s.bitrate_kbps >= 6 && s.bitrate_kbps <= 256 &&
           s.complexity >= 0 && s.complexity <= 10;
}

} // namespace

struct OpusWriter::Encoder {
    OggOpusComments *comments = nullptr;
    OggOpusEnc *enc = nullptr;
};

bool opus_format_supported(const OpusSettings &settings)
{
    return plausible(settings);
}

OpusWriter::OpusWriter(const OpusSettings &settings) : m_settings(settings) {}

OpusWriter::~OpusWriter()
{
    release();
}

bool OpusWriter::put(const unsigned char *data, size_t size)
{
    try {
        m_file.write(data, size);
        return true;
    } catch (const EngineError &e) {
        if (m_error.isEmpty())
            m_error = e.message();
        return false;
    }
}

void OpusWriter::release()
{
    if (m_encoder) {
        if (m_encoder->enc)
            ope_encoder_destroy(m_encoder->enc);
        if (m_encoder->comments)
            ope_comments_destroy(m_encoder->comments);
        delete m_encoder;
        m_encoder = nullptr;
    }
    m_file.close();
}

void OpusWriter::check(int result, const char *what)
{
    if (!m_error.isEmpty())
        throw EngineError(m_error);
    if (result != OPE_OK)
        throw EngineError(QStringLiteral("The Opus encoder failed to %1: %2")
                              .arg(QLatin1String(what), QLatin1String(ope_strerror(result))));
}

void OpusWriter::open(const QString &path)
{
    release();
    m_error.clear();
    m_frames = 0;
    if (!plausible(m_settings))
        throw EngineError(QStringLiteral("Unsupported Opus format: %1 channels, %2 kbit/s")
                              .arg(m_settings.channels)
                              .arg(m_settings.bitrate_kbps));
    m_file.open(path);
    m_encoder = new Encoder;
    m_encoder->comments = ope_comments_create();
    if (!m_encoder->comments)
        throw EngineError(QStringLiteral("Out of memory for the Opus encoder"));
    const OpusEncCallbacks callbacks{write_cb, close_cb};
    int error = OPE_OK;
    m_encoder->enc = ope_encoder_create_callbacks(&callbacks, this, m_encoder->comments,
                                                  static_cast<opus_int32>(opus_sample_rate),
                                                  m_settings.channels, 0, &error);
    if (!m_encoder->enc)
        check(error == OPE_OK ? OPE_INTERNAL_ERROR : error, "start");
    OggOpusEnc *enc = m_encoder->enc;
    check(ope_encoder_ctl(enc, OPUS_SET_BITRATE(m_settings.bitrate_kbps * 1000)),
          "set the bit rate");
    check(ope_encoder_ctl(enc, OPUS_SET_COMPLEXITY(m_settings.complexity)), "set the complexity");
    check(ope_encoder_ctl(enc, OPUS_SET_APPLICATION(m_settings.voice ? OPUS_APPLICATION_VOIP
                                                                     : OPUS_APPLICATION_AUDIO)),
          "set the application");
    // Pages out at least every half second (the defaults hold up to 2 s back).
    check(ope_encoder_ctl(enc, OPE_SET_DECISION_DELAY(9600)), "set the decision delay");
    check(ope_encoder_ctl(enc, OPE_SET_MUXING_DELAY(24000)), "set the muxing delay");
    check(ope_encoder_flush_header(enc), "write the header");
}

void OpusWriter::write(const int16_t *samples, size_t count)
{
    if (!m_encoder || !m_file.is_open())
        throw EngineError(QStringLiteral("No Opus file is open"));
    if (!m_error.isEmpty())
        throw EngineError(m_error);
    const size_t frames = count / static_cast<size_t>(m_settings.channels);
    if (frames == 0)
        return;
    check(ope_encoder_write(m_encoder->enc, samples, static_cast<int>(frames)), "encode");
    m_frames += static_cast<int64_t>(frames);
}

void OpusWriter::close()
{
    if (!m_encoder)
        return;
    // After a failed write the pages before it stay as they are.
    const bool finish = m_error.isEmpty() && m_file.is_open();
    if (finish && m_frames == 0) {
        // The encoder cannot end a stream that holds no audio at all: give it
        // its shortest frame of silence.
        const std::vector<int16_t> silence(120 * static_cast<size_t>(m_settings.channels), 0);
        ope_encoder_write(m_encoder->enc, silence.data(), 120);
    }
    const int result = finish ? ope_encoder_drain(m_encoder->enc) : OPE_OK;
    const QString error = m_error;
    release();
    if (finish && !error.isEmpty())
        throw EngineError(error);
    if (result != OPE_OK)
        throw EngineError(QStringLiteral("The Opus file could not be completed: %1")
                              .arg(QLatin1String(ope_strerror(result))));
}
