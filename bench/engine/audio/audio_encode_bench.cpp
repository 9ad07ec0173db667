// Encoding cost of TAudioFile2 per format, next to the bare library (or,
// for FLAC and Opus, the flac and opusenc programs) on the same samples. Each iteration encodes 10
// s of 44.1 kHz stereo in 200 ms blocks, as the recorder delivers them; "per audio second" = time
// / 10.

#include "audio_bench_util.h"

#include "audio/audio_file.h"
#include "audio/lame_enc.h"

#include <benchmark/benchmark.h>
#include <lame/lame.h>
#include <sndfile.h>
#include <vorbis/vorbisenc.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <QProcess>
#include <cstdio>
#include <random>
#include <sys/resource.h>

namespace
{

constexpr int rate = 44100;
constexpr int block_frames = rate / 5;

void component(benchmark::State &state, int format)
{
    const SampleArray &audio = format == 5 ? bench_audio_48k() : bench_audio();
    const QString path = bench_path(format);
    for (auto _ : state) {
        TAudioFile2 file;
        choose_default_format(file, format);
        file.CreateOutputFile(path, 0);
        for (size_t at = 0; at < audio.size(); at += block_frames * 2) {
            const size_t n = std::min<size_t>(block_frames * 2, audio.size() - at);
            file.WriteArray(SampleArray(audio.begin() + static_cast<ptrdiff_t>(at),
                                        audio.begin() + static_cast<ptrdiff_t>(at + n)));
        }
        file.CloseFile();
        if (file.ErrorCode() != 0)
            state.SkipWithError(file.ErrorText().toStdString().c_str());
    }
    state.counters["audio_s"] = benchmark::Counter(10.0 * static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate);
}

void bare_lame(benchmark::State &state)
{
    const SampleArray &audio = bench_audio();
    std::vector<unsigned char> out(block_frames * 5 / 4 + 7200);
    for (auto _ : state) {
        FILE *f = std::fopen(bench_path(0).toLocal8Bit().constData(), "wb");
        lame_t lame = lame_init();
        lame_set_in_samplerate(lame, rate);
        lame_set_num_channels(lame, 2);
        lame_set_brate(lame, 128);
        lame_set_quality(lame, 9);
        lame_init_params(lame);
        for (size_t at = 0; at < audio.size(); at += block_frames * 2) {
            const int n =
                static_cast<int>(std::min<size_t>(block_frames * 2, audio.size() - at) / 2);
            const int bytes =
                lame_encode_buffer_interleaved(lame, const_cast<short *>(audio.data() + at), n,
                                               out.data(), static_cast<int>(out.size()));
            std::fwrite(out.data(), 1, static_cast<size_t>(bytes), f);
        }
        const int bytes = lame_encode_flush(lame, out.data(), static_cast<int>(out.size()));
        std::fwrite(out.data(), 1, static_cast<size_t>(bytes), f);
        lame_close(lame);
        std::fclose(f);
    }
    state.counters["audio_s"] = benchmark::Counter(10.0 * static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate);
}

void bare_sndfile(benchmark::State &state)
{
    const SampleArray &audio = bench_audio();
    for (auto _ : state) {
        SF_INFO info{};
        info.samplerate = rate;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE *f = sf_open(bench_path(2).toLocal8Bit().constData(), SFM_WRITE, &info);
        for (size_t at = 0; at < audio.size(); at += block_frames * 2) {
            const sf_count_t n =
                static_cast<sf_count_t>(std::min<size_t>(block_frames * 2, audio.size() - at) / 2);
            sf_writef_short(f, audio.data() + at, n);
        }
        sf_close(f);
    }
    state.counters["audio_s"] = benchmark::Counter(10.0 * static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate);
}

void bare_vorbis(benchmark::State &state)
{
    const SampleArray &audio = bench_audio();
    for (auto _ : state) {
        FILE *f = std::fopen(bench_path(3).toLocal8Bit().constData(), "wb");
        vorbis_info vi;
        vorbis_info_init(&vi);
        vorbis_encode_init_vbr(&vi, 2, rate, -0.1f + 1.1f * 0.3f);
        vorbis_comment vc;
        vorbis_comment_init(&vc);
        vorbis_dsp_state vd;
        vorbis_block vb;
        vorbis_analysis_init(&vd, &vi);
        vorbis_block_init(&vd, &vb);
        ogg_stream_state os;
        ogg_stream_init(&os, 1);
        ogg_packet h[3];
        vorbis_analysis_headerout(&vd, &vc, &h[0], &h[1], &h[2]);
        for (auto &p : h)
            ogg_stream_packetin(&os, &p);
        ogg_page og;
        while (ogg_stream_flush(&os, &og)) {
            std::fwrite(og.header, 1, static_cast<size_t>(og.header_len), f);
            std::fwrite(og.body, 1, static_cast<size_t>(og.body_len), f);
        }
        auto drain = [&] {
            ogg_packet op;
            while (vorbis_analysis_blockout(&vd, &vb) == 1) {
                vorbis_analysis(&vb, nullptr);
                vorbis_bitrate_addblock(&vb);
                while (vorbis_bitrate_flushpacket(&vd, &op))
                    ogg_stream_packetin(&os, &op);
            }
            while (ogg_stream_pageout(&os, &og)) {
                std::fwrite(og.header, 1, static_cast<size_t>(og.header_len), f);
                std::fwrite(og.body, 1, static_cast<size_t>(og.body_len), f);
            }
        };
        for (size_t at = 0; at < audio.size(); at += block_frames * 2) {
            const int n =
                static_cast<int>(std::min<size_t>(block_frames * 2, audio.size() - at) / 2);
            float **buf = vorbis_analysis_buffer(&vd, n);
            for (int i = 0; i < n; ++i) {
                buf[0][i] = audio[at + 2 * static_cast<size_t>(i)] / 32768.0f;
                buf[1][i] = audio[at + 2 * static_cast<size_t>(i) + 1] / 32768.0f;
            }
            vorbis_analysis_wrote(&vd, n);
            drain();
        }
        vorbis_analysis_wrote(&vd, 0);
        drain();
        while (ogg_stream_flush(&os, &og)) {
            std::fwrite(og.header, 1, static_cast<size_t>(og.header_len), f);
            std::fwrite(og.body, 1, static_cast<size_t>(og.body_len), f);
        }
        ogg_stream_clear(&os);
        vorbis_block_clear(&vb);
        vorbis_dsp_clear(&vd);
        vorbis_comment_clear(&vc);
        vorbis_info_clear(&vi);
        std::fclose(f);
    }
    state.counters["audio_s"] = benchmark::Counter(10.0 * static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate);
}

void bare_ffmpeg_wma(benchmark::State &state)
{
    const SampleArray &audio = bench_audio();
    const QByteArray name = bench_path(1).toLocal8Bit();
    for (auto _ : state) {
        AVFormatContext *fmt = nullptr;
        avformat_alloc_output_context2(&fmt, nullptr, "asf", name.constData());
        const AVCodec *codec = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
        AVCodecContext *ctx = avcodec_alloc_context3(codec);
        ctx->sample_rate = rate;
        av_channel_layout_default(&ctx->ch_layout, 2);
        ctx->sample_fmt = AV_SAMPLE_FMT_FLTP;
        ctx->bit_rate = 128000;
        ctx->time_base = AVRational{1, rate};
        avcodec_open2(ctx, codec, nullptr);
        AVStream *st = avformat_new_stream(fmt, nullptr);
        st->time_base = ctx->time_base;
        avcodec_parameters_from_context(st->codecpar, ctx);
        avio_open(&fmt->pb, name.constData(), AVIO_FLAG_WRITE);
        if (avformat_write_header(fmt, nullptr) < 0)
            state.SkipWithError("header");
        AVFrame *frame = av_frame_alloc();
        frame->format = AV_SAMPLE_FMT_FLTP;
        frame->sample_rate = rate;
        av_channel_layout_copy(&frame->ch_layout, &ctx->ch_layout);
        frame->nb_samples = ctx->frame_size;
        av_frame_get_buffer(frame, 0);
        AVPacket *pkt = av_packet_alloc();
        auto drain = [&] {
            while (avcodec_receive_packet(ctx, pkt) == 0) {
                av_packet_rescale_ts(pkt, ctx->time_base, st->time_base);
                av_interleaved_write_frame(fmt, pkt);
            }
        };
        const size_t fs = static_cast<size_t>(ctx->frame_size);
        int64_t pts = 0;
        for (size_t at = 0; at + fs * 2 <= audio.size(); at += fs * 2) {
            av_frame_make_writable(frame);
            auto *l = reinterpret_cast<float *>(frame->data[0]);
            auto *r = reinterpret_cast<float *>(frame->data[1]);
            for (size_t i = 0; i < fs; ++i) {
                l[i] = audio[at + 2 * i] / 32768.0f;
                r[i] = audio[at + 2 * i + 1] / 32768.0f;
            }
            frame->pts = pts;
            pts += ctx->frame_size;
            avcodec_send_frame(ctx, frame);
            drain();
        }
        avcodec_send_frame(ctx, nullptr);
        drain();
        av_write_trailer(fmt);
        avio_closep(&fmt->pb);
        avformat_free_context(fmt);
        av_packet_free(&pkt);
        av_frame_free(&frame);
        avcodec_free_context(&ctx);
    }
    state.counters["audio_s"] = benchmark::Counter(10.0 * static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate);
}

double children_cpu_seconds()
{
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Another program encoding the same 10 s from a WAV file: its CPU time, so
// that start-up of the process counts as it would for a user running it.
void tool(benchmark::State &state, const char *program, uint32_t wav_rate)
{
    const QString wav = QDir::tempPath() + QStringLiteral("/velquor-bench-%1-in.wav").arg(getpid());
    {
        TAudioFile2 file;
        file.SetWavFormat(wav_rate, 2, 16);
        file.CreateOutputFile(wav, 0);
        file.WriteArray(wav_rate == 48000 ? bench_audio_48k() : bench_audio());
        file.CloseFile();
    }
    const bool flac = QLatin1String(program) == QLatin1String("flac");
    const QString out = bench_path(flac ? 4 : 5);
    const QStringList args =
        flac ? QStringList{QStringLiteral("-5"),
                           QStringLiteral("-s"),
                           QStringLiteral("-f"),
                           QStringLiteral("-o"),
                           out,
                           wav}
             : QStringList{QStringLiteral("--quiet"), QStringLiteral("--bitrate"),
                           QStringLiteral("64"), wav, out};
    for (auto _ : state) {
        const double before = children_cpu_seconds();
        QProcess p;
        p.start(QLatin1String(program), args);
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            state.SkipWithError("the tool failed or is not installed");
            break;
        }
        state.SetIterationTime(children_cpu_seconds() - before);
    }
    QFile::remove(wav);
    state.counters["audio_s"] = benchmark::Counter(10.0 * static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK_CAPTURE(component, mp3, 0)->Unit(benchmark::kMillisecond);
BENCHMARK(bare_lame)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(component, ogg, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(bare_vorbis)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(component, wav, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(bare_sndfile)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(component, wma, 1)->Unit(benchmark::kMillisecond);
BENCHMARK(bare_ffmpeg_wma)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(component, flac, 4)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(tool, flac_tool, "flac", 44100)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(component, opus, 5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(tool, opusenc_tool, "opusenc", 48000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
