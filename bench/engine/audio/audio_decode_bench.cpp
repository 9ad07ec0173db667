// Playback-style decoding: ReadArray(4410) until the end of a 10 s file, per
// format, as the player asks for blocks.

#include "audio_bench_util.h"

#include "audio/audio_file.h"
#include "audio/lame_enc.h"

#include <QFile>
#include <benchmark/benchmark.h>

namespace
{

void write_file(int format)
{
    TAudioFile2 file;
    choose_default_format(file, format);
    file.CreateOutputFile(bench_path(format), 0);
    file.WriteArray(bench_audio());
    file.CloseFile();
}

void decode(benchmark::State &state, int format)
{
    write_file(format);
    int64_t samples = 0;
    for (auto _ : state) {
        TAudioFile2 file;
        file.OpenFile(bench_path(format), 0, 1);
        file.Seek(0, 3);
        for (;;) {
            const SampleArray a = file.ReadArray(4410);
            samples += static_cast<int64_t>(a.size());
            if (a.size() < 4410)
                break;
        }
        file.CloseFile();
    }
    QFile::remove(bench_path(format));
    state.counters["audio_s"] =
        benchmark::Counter(static_cast<double>(samples) / 88200.0, benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK_CAPTURE(decode, mp3, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decode, ogg, 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decode, wav, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decode, wma, 1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
