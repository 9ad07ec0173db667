// Memory while writing and reading one long file (default one hour of 44.1
// kHz stereo; VELQUOR_BENCH_MINUTES changes it): resident size at the start,
// its peak, and its growth from the first audio minute to the last. Flat means no buffer
// grows with the length of the recording.

#include "audio_bench_util.h"

#include "audio/audio_file.h"
#include "audio/lame_enc.h"

#include <QFile>
#include <benchmark/benchmark.h>

namespace
{

int minutes()
{
    return qEnvironmentVariableIsSet("VELQUOR_BENCH_MINUTES")
               ? qEnvironmentVariableIntValue("VELQUOR_BENCH_MINUTES")
               : 60;
}

void write_and_read(benchmark::State &state, int format)
{
    const SampleArray block_source = make_bench_audio(60.0); // one minute, reused
    const size_t block = 8820 * 2;                           // 200 ms
    const QString path = bench_path(format);
    long start = 0, write_peak = 0, write_end = 0, read_peak = 0, read_end = 0;
    long write_1min = 0, read_1min = 0;
    for (auto _ : state) {
        start = current_rss_kib();
        {
            TAudioFile2 file;
            choose_default_format(file, format);
            file.CreateOutputFile(path, 0);
            for (int m = 0; m < minutes(); ++m) {
                for (size_t at = 0; at < block_source.size(); at += block)
                    file.WriteArray(
                        SampleArray(block_source.begin() + static_cast<ptrdiff_t>(at),
                                    block_source.begin() + static_cast<ptrdiff_t>(at + block)));
                write_peak = std::max(write_peak, current_rss_kib());
                if (m == 0)
                    write_1min = current_rss_kib();
            }
            write_end = current_rss_kib();
            file.CloseFile();
        }
        {
            TAudioFile2 file;
            file.OpenFile(path, 0, 1);
            int64_t read = 0;
            for (;;) {
                const SampleArray a = file.ReadArray(4410);
                read += static_cast<int64_t>(a.size());
                if (read % (88200 * 60) < 4410) {
                    read_peak = std::max(read_peak, current_rss_kib());
                    if (read_1min == 0 && read >= 88200 * 60)
                        read_1min = current_rss_kib();
                }
                if (a.size() < 4410)
                    break;
            }
            read_end = current_rss_kib();
            state.counters["read_minutes"] = static_cast<double>(read) / (88200.0 * 60);
        }
    }
    QFile::remove(path);
    state.counters["rss_start_MiB"] = start / 1024.0;
    state.counters["write_peak_MiB"] = write_peak / 1024.0;
    // Growth after the first minute is what a longer recording would add.
    state.counters["write_growth_MiB"] = (write_end - write_1min) / 1024.0;
    state.counters["read_peak_MiB"] = read_peak / 1024.0;
    state.counters["read_growth_MiB"] = (read_end - read_1min) / 1024.0;
}

} // namespace

BENCHMARK_CAPTURE(write_and_read, mp3, 0)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(write_and_read, ogg, 3)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(write_and_read, wav, 2)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(write_and_read, wma, 1)->Iterations(1)->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
