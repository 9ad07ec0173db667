#include "audio/audio_decoder.h"

#include "audio/mp3_length.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <limits>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace
{

// FFmpeg reads "name:" at the start of a relative path as a protocol; an
// explicit file URL of the absolute path is always the file itself.
QByteArray ffmpeg_file_url(const QString &path)
{
    return QByteArrayLiteral("file:") + QFile::encodeName(QFileInfo(path).absoluteFilePath());
}

// Limits against damaged or hostile headers.
constexpr int max_channels = 8;
constexpr int max_sample_rate = 768000;
// Reads that bring no new samples before we call it the end of the file.
constexpr int max_idle_reads = 4096;
// A longer length is a damaged header's; the cap keeps frames x channels, and
// the times made of them, within 64 bits.
constexpr int64_t max_frames = std::numeric_limits<int64_t>::max() / max_channels;

struct FormatCloser {
    void operator()(AVFormatContext *f) const { avformat_close_input(&f); }
};
struct CodecCloser {
    void operator()(AVCodecContext *c) const { avcodec_free_context(&c); }
};
struct SwrCloser {
    void operator()(SwrContext *s) const { swr_free(&s); }
};
struct PacketCloser {
    void operator()(AVPacket *p) const { av_packet_free(&p); }
};
struct FrameCloser {
    void operator()(AVFrame *f) const { av_frame_free(&f); }
};

class FfmpegDecoder : public AudioDecoder
{
public:
    explicit FfmpegDecoder(const QString &path) : m_path(path) { open_input(); }
    ~FfmpegDecoder() override { av_channel_layout_uninit(&m_swr_layout); }

    uint32_t sample_rate() const override { return m_rate; }
    int channels() const override { return m_channels; }
    uint32_t bits_per_sample() const override { return m_bits; }
    int64_t bit_rate() const override { return m_bit_rate; }
    int64_t total_samples() const override { return m_total_frames * m_channels; }
    QString format_code() const override { return m_format_code; }

    void seek(int64_t position) override;
    SampleArray read(int64_t count) override;

private:
    void open_input();
    void measure();
    bool decode_more();
    void append(const AVFrame *frame);
    int64_t raw_frame_index(const AVFrame *frame) const;
    void rewind_to_start();
    void skip_from_start(int64_t target);
    [[noreturn]] void refuse(const QString &why) const
    {
        throw EngineError(QStringLiteral("%1 is not a readable audio file (%2)").arg(m_path, why));
    }

    QString m_path;
    QString m_format_code;
    std::unique_ptr<AVFormatContext, FormatCloser> m_format;
    std::unique_ptr<AVCodecContext, CodecCloser> m_codec;
    std::unique_ptr<SwrContext, SwrCloser> m_swr;
    std::unique_ptr<AVPacket, PacketCloser> m_packet{av_packet_alloc()};
    std::unique_ptr<AVFrame, FrameCloser> m_frame{av_frame_alloc()};
    int m_stream = -1;
    uint32_t m_rate = 0;
    int m_channels = 0;
    uint32_t m_bits = 16;
    int64_t m_bit_rate = 0;
    int64_t m_total_frames = 0;
    int m_swr_format = -1;
    AVChannelLayout m_swr_layout{};
    int m_swr_rate = 0;

    std::vector<int16_t> m_pending; // decoded, not yet read
    size_t m_pending_pos = 0;
    int64_t m_next_frame = 0;  // file position of m_pending[m_pending_pos], in frames
    int64_t m_skip_until = -1; // after a seek: drop frames before this one
    // Timestamp of the first sample the file decodes to: encoder delays and
    // container offsets shift it away from zero.
    int64_t m_origin = AV_NOPTS_VALUE;
    bool m_from_start = true;
    int64_t m_skip_cursor = 0;
    bool m_seek_checked = true;
    bool m_seek_failed = false;
    bool m_flushing = false;
    bool m_eof = false;
};

void FfmpegDecoder::open_input()
{
    if (!m_packet || !m_frame)
        throw EngineError(QStringLiteral("Out of memory"));
    AVFormatContext *raw = avformat_alloc_context();
    if (!raw)
        throw EngineError(QStringLiteral("Out of memory"));
    raw->probesize = 2 * 1024 * 1024;
    raw->max_analyze_duration = 5 * AV_TIME_BASE;
    // The seek index would grow with the length of the file; our seeks
    // correct themselves by decoding, so a coarse index is enough.
    raw->max_index_size = 256 * 1024;
    const QByteArray name = ffmpeg_file_url(m_path);
    if (avformat_open_input(&raw, name.constData(), nullptr, nullptr) < 0)
        refuse(QStringLiteral("unknown format")); // raw is freed on failure
    m_format.reset(raw);
    if (avformat_find_stream_info(raw, nullptr) < 0)
        refuse(QStringLiteral("no stream information"));
    // Demuxer names may list aliases ("mov,mp4,m4a"); the first one names it.
    const QString demuxer = QString::fromLatin1(raw->iformat->name).section(QLatin1Char(','), 0, 0);
    m_format_code =
        demuxer == QLatin1String("asf") ? QStringLiteral("WMA") : demuxer.toUpper().left(3);
    const AVCodec *codec = nullptr;
    m_stream = av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (m_stream < 0 || !codec)
        refuse(QStringLiteral("no audio"));
    const AVCodecParameters *par = raw->streams[m_stream]->codecpar;
    if (par->ch_layout.nb_channels < 1 || par->ch_layout.nb_channels > max_channels ||
        par->sample_rate < 1 || par->sample_rate > max_sample_rate)
        refuse(QStringLiteral("implausible format"));
    m_codec.reset(avcodec_alloc_context3(codec));
    if (!m_codec || avcodec_parameters_to_context(m_codec.get(), par) < 0)
        throw EngineError(QStringLiteral("Out of memory"));
    m_codec->pkt_timebase = raw->streams[m_stream]->time_base;
    if (avcodec_open2(m_codec.get(), codec, nullptr) < 0)
        refuse(QStringLiteral("no decoder"));
    m_rate = static_cast<uint32_t>(par->sample_rate);
    m_channels = par->ch_layout.nb_channels;
    // Files without a container duration are measured below; discard the
    // other streams so the demuxer does not hand us their packets.
    for (unsigned i = 0; i < raw->nb_streams; ++i)
        if (static_cast<int>(i) != m_stream)
            raw->streams[i]->discard = AVDISCARD_ALL;
    measure();
}

void FfmpegDecoder::measure()
{
    AVFormatContext *fmt = m_format.get();
    const AVStream *st = fmt->streams[m_stream];
    const AVCodecParameters *par = st->codecpar;
    const int pcm_bits = av_get_bits_per_sample(par->codec_id);
    const bool pcm = pcm_bits > 0 && pcm_bits <= 32 && par->codec_id >= AV_CODEC_ID_PCM_S16LE &&
                     par->codec_id < AV_CODEC_ID_ADPCM_IMA_QT;
    if (pcm)
        m_bits = static_cast<uint32_t>(pcm_bits);
    else if (par->codec_id == AV_CODEC_ID_FLAC && par->bits_per_raw_sample > 0)
        m_bits = static_cast<uint32_t>(par->bits_per_raw_sample); // lossless: its own depth
    // Read before a counting pass below replaces the contexts.
    const int64_t stream_rate = par->bit_rate;
    const int64_t container_rate = fmt->bit_rate;

    int64_t frames = -1;
    if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
        frames = av_rescale_q(st->duration, st->time_base, AVRational{1, static_cast<int>(m_rate)});
    else if (fmt->duration != AV_NOPTS_VALUE && fmt->duration > 0)
        frames = av_rescale(fmt->duration, m_rate, AV_TIME_BASE);
    if (par->codec_id == AV_CODEC_ID_MP3) {
        // FFmpeg guesses a headerless MP3's length from its first frame's bit
        // rate, which is wrong for VBR; the probe counts the frames instead.
        // A header is trusted only when it agrees with the container.
        const auto probed = probe_mp3_length(m_path);
        if (probed && probed->sample_rate == m_rate &&
            (!probed->from_header || frames <= 0 || std::abs(probed->frames - frames) < 4 * 1152))
            frames = probed->frames;
    }
    fmt = m_format.get(); // a counting pass reopens the file
    const int64_t size = fmt->pb ? avio_size(fmt->pb) : -1;
    // A PCM header can claim more than the file holds (an interrupted write).
    if (pcm_bits > 0 && size > 0 && frames > 0)
        frames = std::min<int64_t>(frames, size * 8 / (pcm_bits * m_channels));
    if (frames < 0) {
        // No length anywhere in the file: count by decoding it once.
        int64_t counted = 0;
        while (decode_more()) {
            counted += static_cast<int64_t>(m_pending.size() - m_pending_pos) / m_channels;
            m_pending.clear();
            m_pending_pos = 0;
        }
        frames = counted;
        rewind_to_start();
    }
    m_total_frames = std::clamp<int64_t>(frames, 0, max_frames);

    // The stream's own rate first: the container's counts its overhead too.
    if (pcm)
        m_bit_rate = static_cast<int64_t>(m_rate) * m_channels * pcm_bits;
    else if (stream_rate > 0)
        m_bit_rate = stream_rate;
    else if (container_rate > 0)
        m_bit_rate = container_rate;
    else if (size > 0 && m_total_frames > 0)
        m_bit_rate = size * 8 * m_rate / m_total_frames;
}

void FfmpegDecoder::rewind_to_start()
{
    // Some demuxers cannot seek at all: reopen instead, which always works.
    m_format.reset();
    m_codec.reset();
    m_swr.reset();
    m_swr_format = -1;
    m_pending.clear();
    m_pending_pos = 0;
    m_next_frame = 0;
    m_skip_until = -1;
    m_flushing = m_eof = false;
    m_from_start = true;
    AVFormatContext *raw = avformat_alloc_context();
    if (!raw)
        throw EngineError(QStringLiteral("Out of memory"));
    raw->probesize = 2 * 1024 * 1024;
    raw->max_index_size = 256 * 1024;
    const QByteArray name = ffmpeg_file_url(m_path);
    if (avformat_open_input(&raw, name.constData(), nullptr, nullptr) < 0)
        refuse(QStringLiteral("it can no longer be opened"));
    m_format.reset(raw);
    if (avformat_find_stream_info(raw, nullptr) < 0 ||
        m_stream >= static_cast<int>(raw->nb_streams))
        refuse(QStringLiteral("it changed"));
    const AVCodec *codec = avcodec_find_decoder(raw->streams[m_stream]->codecpar->codec_id);
    m_codec.reset(codec ? avcodec_alloc_context3(codec) : nullptr);
    if (!m_codec ||
        avcodec_parameters_to_context(m_codec.get(), raw->streams[m_stream]->codecpar) < 0 ||
        avcodec_open2(m_codec.get(), codec, nullptr) < 0)
        refuse(QStringLiteral("no decoder"));
    m_codec->pkt_timebase = raw->streams[m_stream]->time_base;
    for (unsigned i = 0; i < raw->nb_streams; ++i)
        if (static_cast<int>(i) != m_stream)
            raw->streams[i]->discard = AVDISCARD_ALL;
}

int64_t FfmpegDecoder::raw_frame_index(const AVFrame *frame) const
{
    const AVStream *st = m_format->streams[m_stream];
    int64_t ts = frame->best_effort_timestamp;
    if (ts == AV_NOPTS_VALUE)
        return AV_NOPTS_VALUE;
    if (st->start_time != AV_NOPTS_VALUE)
        ts -= st->start_time;
    const int64_t index = av_rescale_q(ts, st->time_base, AVRational{1, static_cast<int>(m_rate)});
    // Millisecond clocks (ASF) cannot name a sample; codec frames can, so
    // snap to the frame grid the decoder works in.
    const bool coarse = av_cmp_q(st->time_base, AVRational{1, static_cast<int>(m_rate)}) > 0;
    const int64_t grid = frame->nb_samples;
    if (coarse && grid > 0)
        return (index + grid / 2) / grid * grid;
    return index;
}

void FfmpegDecoder::append(const AVFrame *frame)
{
    if (frame->nb_samples <= 0)
        return;
    if (!m_swr || m_swr_format != frame->format || m_swr_rate != frame->sample_rate ||
        av_channel_layout_compare(&m_swr_layout, &frame->ch_layout) != 0) {
        AVChannelLayout in{}, out{};
        if (frame->ch_layout.nb_channels < 1 || frame->ch_layout.nb_channels > max_channels ||
            frame->sample_rate < 1 || frame->sample_rate > max_sample_rate)
            return; // a damaged frame; drop it
        if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&in, frame->ch_layout.nb_channels);
        else
            av_channel_layout_copy(&in, &frame->ch_layout);
        av_channel_layout_default(&out, m_channels);
        SwrContext *swr = nullptr;
        const int rc = swr_alloc_set_opts2(&swr, &out, AV_SAMPLE_FMT_S16, static_cast<int>(m_rate),
                                           &in, static_cast<AVSampleFormat>(frame->format),
                                           frame->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&in);
        av_channel_layout_uninit(&out);
        if (rc < 0 || swr_init(swr) < 0) {
            swr_free(&swr);
            m_swr.reset();
            return;
        }
        m_swr.reset(swr);
        m_swr_format = frame->format;
        m_swr_rate = frame->sample_rate;
        av_channel_layout_uninit(&m_swr_layout);
        av_channel_layout_copy(&m_swr_layout, &frame->ch_layout);
    }
    // Interleaved 16-bit in the file's own layout needs no conversion.
    if (frame->format == AV_SAMPLE_FMT_S16 && frame->ch_layout.nb_channels == m_channels &&
        frame->sample_rate == static_cast<int>(m_rate) && swr_get_delay(m_swr.get(), 1) == 0) {
        const auto *data = reinterpret_cast<const int16_t *>(frame->data[0]);
        if (m_pending_pos > 0) {
            m_pending.erase(m_pending.begin(),
                            m_pending.begin() + static_cast<ptrdiff_t>(m_pending_pos));
            m_pending_pos = 0;
        }
        m_pending.insert(m_pending.end(), data,
                         data + static_cast<size_t>(frame->nb_samples) *
                                    static_cast<size_t>(m_channels));
        return;
    }
    const int capacity = swr_get_out_samples(m_swr.get(), frame->nb_samples);
    if (capacity <= 0)
        return;
    // Drop what was read before to keep the buffer from growing.
    if (m_pending_pos > 0) {
        m_pending.erase(m_pending.begin(),
                        m_pending.begin() + static_cast<ptrdiff_t>(m_pending_pos));
        m_pending_pos = 0;
    }
    const size_t old_size = m_pending.size();
    m_pending.resize(old_size + static_cast<size_t>(capacity) * static_cast<size_t>(m_channels));
    uint8_t *out = reinterpret_cast<uint8_t *>(m_pending.data() + old_size);
    const int got =
        swr_convert(m_swr.get(), &out, capacity, const_cast<const uint8_t **>(frame->extended_data),
                    frame->nb_samples);
    m_pending.resize(old_size +
                     static_cast<size_t>(std::max(got, 0)) * static_cast<size_t>(m_channels));
}

bool FfmpegDecoder::decode_more()
{
    if (m_eof)
        return false;
    for (int idle = 0; idle < max_idle_reads; ++idle) {
        if (!m_flushing) {
            const int rc = av_read_frame(m_format.get(), m_packet.get());
            if (rc == AVERROR(EAGAIN))
                continue;
            if (rc < 0) {
                m_flushing = true;
                avcodec_send_packet(m_codec.get(), nullptr);
            } else {
                if (m_packet->stream_index == m_stream)
                    avcodec_send_packet(m_codec.get(), m_packet.get()); // bad data: skipped
                av_packet_unref(m_packet.get());
            }
        }
        bool produced = false;
        for (;;) {
            const int rc = avcodec_receive_frame(m_codec.get(), m_frame.get());
            if (rc == AVERROR(EAGAIN))
                break;
            if (rc < 0) { // end of stream or a decoder that gave up
                m_eof = true;
                return produced;
            }
            if (m_from_start) {
                m_from_start = false;
                if (m_origin == AV_NOPTS_VALUE) {
                    const int64_t raw = raw_frame_index(m_frame.get());
                    m_origin = raw == AV_NOPTS_VALUE ? 0 : raw;
                }
            }
            int64_t first = m_next_frame;
            if (m_skip_until >= 0) {
                const int64_t raw = raw_frame_index(m_frame.get());
                const int64_t at = raw == AV_NOPTS_VALUE ? raw : raw - m_origin;
                if (!m_seek_checked) {
                    m_seek_checked = true;
                    if (at == AV_NOPTS_VALUE || at > m_skip_until) {
                        av_frame_unref(m_frame.get());
                        m_seek_failed = true;
                        m_skip_until = -1;
                        return false;
                    }
                }
                // Frames without a timestamp follow on from the one before.
                first = at == AV_NOPTS_VALUE ? m_skip_cursor : at;
            }
            const size_t before = m_pending.size() - m_pending_pos;
            append(m_frame.get());
            av_frame_unref(m_frame.get());
            const size_t added = m_pending.size() - m_pending_pos - before;
            if (added == 0)
                continue;
            if (m_skip_until >= 0) {
                // First frames after a seek: cut what lies before the target.
                const int64_t frames = static_cast<int64_t>(added) / m_channels;
                m_skip_cursor = first + frames;
                const int64_t drop = std::clamp<int64_t>(m_skip_until - first, 0, frames);
                const size_t start = m_pending.size() - added;
                m_pending.erase(
                    m_pending.begin() + static_cast<ptrdiff_t>(start),
                    m_pending.begin() +
                        static_cast<ptrdiff_t>(start + static_cast<size_t>(drop) *
                                                           static_cast<size_t>(m_channels)));
                if (drop == frames)
                    continue;
                m_skip_until = -1;
            }
            produced = true;
        }
        if (produced)
            return true;
        if (m_flushing) {
            m_eof = true;
            return false;
        }
    }
    m_eof = true;
    return false;
}

void FfmpegDecoder::skip_from_start(int64_t target)
{
    rewind_to_start();
    int64_t skipped = 0;
    while (skipped < target && decode_more()) {
        const int64_t have = static_cast<int64_t>(m_pending.size() - m_pending_pos) / m_channels;
        const int64_t take = std::min(have, target - skipped);
        m_pending_pos += static_cast<size_t>(take * m_channels);
        skipped += take;
    }
    m_next_frame = target;
}

void FfmpegDecoder::seek(int64_t position)
{
    const int64_t target = std::max<int64_t>(position, 0) / std::max(m_channels, 1);
    m_pending.clear();
    m_pending_pos = 0;
    m_flushing = m_eof = false;
    // Near the start, decoding from the beginning is cheap and always exact
    // (the encoder delay some formats trim lives there).
    const int64_t preroll = m_rate / 4;
    if (target <= 2 * preroll) {
        skip_from_start(target);
        return;
    }
    // Otherwise start a little early so the decoder has settled (overlap, bit
    // reservoir) when it reaches the target, then cut by timestamp.
    if (m_origin == AV_NOPTS_VALUE) {
        rewind_to_start();
        decode_more();
        m_pending.clear();
        m_pending_pos = 0;
        m_flushing = m_eof = false;
    }
    const AVStream *st = m_format->streams[m_stream];
    int64_t ts = av_rescale_q(target - preroll + (m_origin == AV_NOPTS_VALUE ? 0 : m_origin),
                              AVRational{1, static_cast<int>(m_rate)}, st->time_base);
    if (st->start_time != AV_NOPTS_VALUE)
        ts += st->start_time;
    if (av_seek_frame(m_format.get(), m_stream, ts, AVSEEK_FLAG_BACKWARD) < 0) {
        skip_from_start(target);
        return;
    }
    avcodec_flush_buffers(m_codec.get());
    m_swr.reset();
    m_swr_format = -1;
    m_next_frame = target;
    m_skip_until = target;
    m_seek_checked = false;
    // The first frame tells whether the container placed us well; if not, the
    // slow way is the exact one.
    if (!decode_more() && !m_seek_failed)
        return; // past the end
    if (m_seek_failed) {
        m_seek_failed = false;
        skip_from_start(target);
    }
}

SampleArray FfmpegDecoder::read(int64_t count)
{
    count -= count % std::max(m_channels, 1);
    while (count > 0 && static_cast<int64_t>(m_pending.size() - m_pending_pos) < count &&
           decode_more()) {
    }
    const int64_t have = static_cast<int64_t>(m_pending.size() - m_pending_pos);
    const int64_t take = std::clamp<int64_t>(count, 0, have);
    SampleArray out(m_pending.begin() + static_cast<ptrdiff_t>(m_pending_pos),
                    m_pending.begin() +
                        static_cast<ptrdiff_t>(m_pending_pos + static_cast<size_t>(take)));
    m_pending_pos += static_cast<size_t>(take);
    m_next_frame += take / std::max(m_channels, 1);
    if (m_pending_pos == m_pending.size()) {
        m_pending.clear();
        m_pending_pos = 0;
    }
    return out;
}

} // namespace

std::unique_ptr<AudioDecoder> open_audio_decoder(const QString &path)
{
    return std::make_unique<FfmpegDecoder>(path);
}
