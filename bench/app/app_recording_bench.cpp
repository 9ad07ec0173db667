// The recording's cost on the user-interface thread: one block event (its
// message pumping, GetArray and the encoding WriteArray) for a 200 ms block
// at the defaults (MP3, 44100 Hz, stereo, 128 kbit/s); and memory while an
// hour of audio goes through the same path as fast as it can.
#include "audio_bench_util.h"
#include "fake_capture_backend.h"
#include "main.h"
#include "pulse/audio_record.h"
#include "settings_file.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>

namespace
{

struct Recorder {
    QTemporaryDir out;
    FakeCaptureBackend *capture = nullptr;
    std::unique_ptr<Tfm_main> main;
    Tfm_option option;
    Tfm_list list;

    Recorder()
    {
        Services services;
        auto fake = std::make_unique<FakeCaptureBackend>();
        CaptureDeviceInfo device;
        device.name = QStringLiteral("Bench");
        device.lines.push_back({QStringLiteral("Bench line"), QStringLiteral("bench.monitor"), {}});
        fake->device_list.push_back(device);
        capture = fake.get();
        services.capture = std::move(fake);
        services.program_folder = QCoreApplication::applicationDirPath();
        main = std::make_unique<Tfm_main>(std::move(services));
        main->set_windows(&option, nullptr, nullptr, &list);
        main->show();
        QCoreApplication::processEvents();
        main->settings_file->set_text(keys::format::path, out.path());
        main->start_recording();
        // The benchmark calls the handler itself, at the moments it measures.
        QObject::disconnect(main->AudioRecord, &TAudioRecord2::OnEndArrayRecord, main.get(),
                            nullptr);
    }
    ~Recorder()
    {
        if (main->recording)
            main->stop_recording();
    }
    void one_block(const SampleArray &block)
    {
        capture->push(block);
        QCoreApplication::processEvents();
    }
};

void BM_BlockEventOnTheUiThread(benchmark::State &state)
{
    Recorder r;
    const SampleArray &audio = bench_audio();
    const size_t block = 8820 * 2; // 200 ms of 44100 Hz stereo
    std::vector<double> ms;
    size_t at = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (at + block > audio.size())
            at = 0;
        r.one_block(SampleArray(audio.begin() + static_cast<long>(at),
                                audio.begin() + static_cast<long>(at + block)));
        at += block;
        state.ResumeTiming();
        QElapsedTimer t;
        t.start();
        r.main->AudioRecordEndArrayRecord(r.main->AudioRecord, 0);
        ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    state.counters["p50_ms"] = ms[ms.size() / 2];
    state.counters["p99_ms"] = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
    state.counters["max_ms"] = ms.back();
}
BENCHMARK(BM_BlockEventOnTheUiThread)->Iterations(1000)->Unit(benchmark::kMillisecond);

void BM_HourOfRecordingMemory(benchmark::State &state)
{
    for (auto _ : state) {
        Recorder r;
        const SampleArray &audio = bench_audio(); // 10 s, repeated
        const long rss_start = current_rss_kib();
        long rss_after_5_min = 0;
        for (int seconds = 0; seconds < 3600; seconds += 10) {
            for (size_t at = 0; at < audio.size(); at += 8820 * 2) {
                r.one_block(SampleArray(
                    audio.begin() + static_cast<long>(at),
                    audio.begin() + static_cast<long>(std::min(audio.size(), at + 8820 * 2))));
                r.main->AudioRecordEndArrayRecord(r.main->AudioRecord, 0);
            }
            if (seconds == 300)
                rss_after_5_min = current_rss_kib();
        }
        state.counters["rss_start_kib"] = static_cast<double>(rss_start);
        state.counters["rss_5min_kib"] = static_cast<double>(rss_after_5_min);
        state.counters["rss_60min_kib"] = static_cast<double>(current_rss_kib());
        r.main->stop_recording();
    }
}
BENCHMARK(BM_HourOfRecordingMemory)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
