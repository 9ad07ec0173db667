#include "audio/wma_writer.h"

#include <algorithm>

#include <QFileInfo>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
}

namespace
{

// FFmpeg reads "name:" at the start of a relative path as a protocol; an
// explicit file URL of the absolute path is always the file itself.
QByteArray ffmpeg_file_url(const QString &path)
{
    return QByteArrayLiteral("file:") + QFile::encodeName(QFileInfo(path).absoluteFilePath());
}

QString av_text(int error)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return QString::fromUtf8(text);
}

AVCodecContext *open_encoder(const AVCodec *codec, uint32_t rate, int channels, int64_t bit_rate,
                             bool global_header)
{
    AVCodecContext *ctx = avcodec_alloc_context3(codec);
    if (!ctx)
        return nullptr;
    ctx->sample_rate = static_cast<int>(rate);
    av_channel_layout_default(&ctx->ch_layout, channels);
    ctx->sample_fmt = AV_SAMPLE_FMT_FLTP;
    ctx->bit_rate = bit_rate;
    ctx->time_base = AVRational{1, static_cast<int>(rate)};
    if (global_header)
        ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    // Refusals are expected while probing; keep them out of the error log.
    ctx->log_level_offset = AV_LOG_DEBUG - AV_LOG_ERROR;
    if (avcodec_open2(ctx, codec, nullptr) < 0)
        avcodec_free_context(&ctx);
    else
        ctx->log_level_offset = 0;
    return ctx;
}

} // namespace

WmaWriter::WmaWriter(uint32_t sample_rate, int channels, int bitrate_kbps)
    : m_sample_rate(sample_rate), m_channels(channels), m_bitrate_kbps(bitrate_kbps)
{
}

WmaWriter::~WmaWriter()
{
    release();
}

void WmaWriter::release()
{
    if (m_format) {
        if (m_format->pb)
            avio_closep(&m_format->pb);
        avformat_free_context(m_format);
        m_format = nullptr;
    }
    avcodec_free_context(&m_codec);
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
    m_pending.clear();
    m_header_written = false;
}

void WmaWriter::fail(const QString &what, int error)
{
    throw EngineError(QStringLiteral("%1 %2: %3").arg(what, m_path, av_text(error)));
}

void WmaWriter::open(const QString &path)
{
    release();
    m_path = path;
    m_failed = false;
    m_next_pts = 0;
    if (m_sample_rate < 8000 || m_sample_rate > 48000 || m_channels < 1 || m_channels > 2)
        throw EngineError(QStringLiteral("Unsupported WMA format: %1 Hz, %2 channels")
                              .arg(m_sample_rate)
                              .arg(m_channels));
    const AVCodec *codec = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
    if (!codec)
        throw EngineError(QStringLiteral("This system's FFmpeg has no WMA encoder"));

    const QByteArray name = ffmpeg_file_url(path);
    int rc = avformat_alloc_output_context2(&m_format, nullptr, "asf", name.constData());
    if (rc < 0 || !m_format)
        fail(QStringLiteral("Cannot create"), rc);
    const bool global_header = (m_format->oformat->flags & AVFMT_GLOBALHEADER) != 0;

    // The encoder states a lowest bit rate only by refusing lower ones; walk
    // up from the preset's rate to the first one it takes.
    int64_t bit_rate = int64_t{m_bitrate_kbps} * 1000;
    for (int attempt = 0; attempt < 64 && !m_codec; ++attempt, bit_rate += 1000)
        m_codec = open_encoder(codec, m_sample_rate, m_channels, bit_rate, global_header);
    if (!m_codec) {
        release();
        throw EngineError(QStringLiteral("The WMA encoder refused %1 Hz, %2 channels")
                              .arg(m_sample_rate)
                              .arg(m_channels));
    }
    m_bit_rate = m_codec->bit_rate;

    AVStream *stream = avformat_new_stream(m_format, nullptr);
    if (!stream) {
        release();
        throw EngineError(QStringLiteral("Out of memory"));
    }
    stream->time_base = m_codec->time_base;
    avcodec_parameters_from_context(stream->codecpar, m_codec);

    rc = avio_open(&m_format->pb, name.constData(), AVIO_FLAG_WRITE);
    if (rc < 0) {
        release();
        fail(QStringLiteral("Cannot create"), rc);
    }
    // Audio reaches the file a whole ASF packet at a time; at low bit rates the
    // default 3200-byte packet holds a second, so size packets to about a
    // quarter second of audio.
    AVDictionary *options = nullptr;
    const int64_t packet = std::clamp<int64_t>(m_bit_rate / 8 / 4, 800, 3200);
    av_dict_set_int(&options, "packet_size", packet, 0);
    rc = avformat_write_header(m_format, &options);
    av_dict_free(&options);
    if (rc < 0) {
        release();
        fail(QStringLiteral("Cannot write to"), rc);
    }
    m_header_written = true;
    avio_flush(m_format->pb);

    m_frame = av_frame_alloc();
    m_packet = av_packet_alloc();
    if (!m_frame || !m_packet) {
        release();
        throw EngineError(QStringLiteral("Out of memory"));
    }
    m_frame->format = m_codec->sample_fmt;
    m_frame->sample_rate = m_codec->sample_rate;
    av_channel_layout_copy(&m_frame->ch_layout, &m_codec->ch_layout);
    m_frame->nb_samples = m_codec->frame_size;
    if (av_frame_get_buffer(m_frame, 0) < 0) {
        release();
        throw EngineError(QStringLiteral("Out of memory"));
    }
}

void WmaWriter::encode_frame(bool flush)
{
    int rc;
    if (flush) {
        rc = avcodec_send_frame(m_codec, nullptr);
    } else {
        if (av_frame_make_writable(m_frame) < 0)
            throw EngineError(QStringLiteral("Out of memory"));
        const int frame_size = m_codec->frame_size;
        const int have = static_cast<int>(m_pending.size()) / m_channels;
        const int16_t *in = m_pending.data();
        for (int c = 0; c < m_channels; ++c) {
            auto *plane = reinterpret_cast<float *>(m_frame->data[c]);
            for (int i = 0; i < have; ++i)
                plane[i] = static_cast<float>(in[i * m_channels + c]) * (1.0f / 32768.0f);
            std::fill(plane + have, plane + frame_size, 0.0f);
        }
        m_frame->pts = m_next_pts;
        m_next_pts += frame_size;
        rc = avcodec_send_frame(m_codec, m_frame);
    }
    if (rc < 0 && rc != AVERROR_EOF)
        fail(QStringLiteral("Cannot encode"), rc);
    drain();
}

void WmaWriter::drain()
{
    AVStream *stream = m_format->streams[0];
    for (;;) {
        const int rc = avcodec_receive_packet(m_codec, m_packet);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
            break;
        if (rc < 0)
            fail(QStringLiteral("Cannot encode"), rc);
        av_packet_rescale_ts(m_packet, m_codec->time_base, stream->time_base);
        m_packet->stream_index = 0;
        const int wrc = av_interleaved_write_frame(m_format, m_packet);
        if (wrc < 0) {
            m_failed = true;
            fail(QStringLiteral("Cannot write to"), wrc);
        }
    }
}

void WmaWriter::flush_to_os()
{
    // Hand the muxer's buffer to the OS: a killed recording keeps it.
    avio_flush(m_format->pb);
    if (m_format->pb->error < 0) {
        m_failed = true;
        fail(QStringLiteral("Cannot write to"), m_format->pb->error);
    }
}

void WmaWriter::write(const int16_t *samples, size_t count)
{
    if (!m_header_written)
        throw EngineError(QStringLiteral("No WMA file is open"));
    const size_t frame_samples =
        static_cast<size_t>(m_codec->frame_size) * static_cast<size_t>(m_channels);
    count -= count % static_cast<size_t>(m_channels);
    while (count > 0) {
        const size_t take = std::min(count, frame_samples - m_pending.size());
        m_pending.insert(m_pending.end(), samples, samples + take);
        samples += take;
        count -= take;
        if (m_pending.size() == frame_samples) {
            encode_frame(false);
            m_pending.clear();
        }
    }
    flush_to_os();
}

void WmaWriter::close()
{
    if (!m_header_written) {
        release();
        return;
    }
    QString error;
    try {
        if (!m_failed) {
            // The codec takes whole frames only: the tail is padded with silence.
            if (!m_pending.empty())
                encode_frame(false);
            encode_frame(true);
            flush_to_os();
        }
    } catch (const EngineError &e) {
        error = e.message();
    }
    // The trailer fills in the header's sizes and the index; try it even after
    // a write error, so whatever fits still makes a complete file.
    const int rc = av_write_trailer(m_format);
    release();
    if (!error.isEmpty())
        throw EngineError(error);
    if (rc < 0 && !m_failed)
        throw EngineError(QStringLiteral("Cannot finish %1: %2").arg(m_path, av_text(rc)));
}
