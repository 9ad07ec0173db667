// What capture and playback cost the program: the user-interface thread's
// share of one 200 ms block (delivery of OnEndArrayRecord plus GetArray, over
// the fake backend so the server's timing stays out of it), and the CPU time
// of the whole process per minute of real capture or playback.

#include "pulse/audio_player.h"
#include "pulse/audio_record.h"
#include "fakes/fake_capture_backend.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <sys/resource.h>

namespace
{

double process_cpu_ms()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto ms = [](const timeval &t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(u.ru_utime) + ms(u.ru_stime);
}

void set_percentiles(benchmark::State &state, std::vector<double> us)
{
    if (us.empty())
        return;
    std::sort(us.begin(), us.end());
    state.counters["median_us"] = us[us.size() / 2];
    state.counters["p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
}

void BM_block_delivery_and_get_array(benchmark::State &state)
{
    auto backend = std::make_unique<FakeCaptureBackend>();
    FakeCaptureBackend *fake = backend.get();
    TAudioRecord2 rec(nullptr, std::move(backend));
    rec.SetWaveFormat(44100, 2);
    rec.setBlockSize(rec.MillisecondsToSamples(200));
    size_t taken = 0;
    QObject::connect(&rec, &TAudioRecord2::OnEndArrayRecord,
                     [&](QObject *, int) { taken += rec.GetArray().size(); });
    rec.Start();
    const std::vector<int16_t> block(static_cast<size_t>(rec.BlockSize()), 1234);
    std::vector<double> us;
    for (auto _ : state) {
        fake->push(block); // the capture thread's part, not timed
        const auto t0 = std::chrono::steady_clock::now();
        QCoreApplication::sendPostedEvents(&rec);
        const auto t1 = std::chrono::steady_clock::now();
        const double s = std::chrono::duration<double>(t1 - t0).count();
        state.SetIterationTime(s);
        us.push_back(s * 1e6);
    }
    rec.Stop();
    if (taken != us.size() * block.size())
        state.SkipWithError("blocks went missing");
    set_percentiles(state, std::move(us));
}
BENCHMARK(BM_block_delivery_and_get_array)
    ->UseManualTime()
    ->Iterations(5000)
    ->Unit(benchmark::kMicrosecond);

void BM_cpu_per_minute_of_capture(benchmark::State &state)
{
    const int seconds = static_cast<int>(state.range(0));
    for (auto _ : state) {
        TAudioRecord2 rec;
        rec.SetWaveFormat(44100, 2);
        rec.setBlockSize(rec.MillisecondsToSamples(200));
        size_t taken = 0;
        QObject::connect(&rec, &TAudioRecord2::OnEndArrayRecord, [&](QObject *, int) {
            QCoreApplication::processEvents();
            QCoreApplication::processEvents();
            taken += rec.GetArray().size();
        });
        QObject::connect(&rec, &TAudioRecord2::OnTimer, [&](QObject *, int, int, int) {
            benchmark::DoNotOptimize(rec.PeekArray(2048));
        });
        const double cpu0 = process_cpu_ms();
        rec.Start();
        if (rec.ErrorCode() != 0) {
            state.SkipWithError("no sound server: run under scripts/with-pulse.sh");
            return;
        }
        QElapsedTimer clock;
        clock.start();
        QEventLoop loop;
        QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        rec.Stop();
        taken += rec.GetArray().size();
        const double cpu = process_cpu_ms() - cpu0;
        state.counters["cpu_ms_per_min"] = cpu * 60000.0 / static_cast<double>(clock.elapsed());
        state.counters["captured_s"] = static_cast<double>(taken) / 88200.0;
    }
}
BENCHMARK(BM_cpu_per_minute_of_capture)->Arg(20)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_cpu_per_minute_of_playback(benchmark::State &state)
{
    const int seconds = static_cast<int>(state.range(0));
    for (auto _ : state) {
        TAudioPlayer2 player;
        player.SetWaveFormat(44100, 2);
        const int64_t total = int64_t{88200} * seconds;
        int64_t position = 0;
        bool ended = false;
        auto feed = [&] {
            const int64_t n = std::clamp<int64_t>(total - position, 0, 4410);
            SampleArray block(static_cast<size_t>(n));
            for (int64_t i = 0; i < n; ++i)
                block[static_cast<size_t>(i)] = static_cast<int16_t>(
                    8000 * std::sin(0.0628 * static_cast<double>((position + i) / 2)));
            position += n;
            player.PlayArray(block);
        };
        QObject::connect(&player, &TAudioPlayer2::OnEndArrayPlay, feed);
        QObject::connect(&player, &TAudioPlayer2::OnRequestOnLoadArray, feed);
        QEventLoop loop;
        QObject::connect(&player, &TAudioPlayer2::OnEndPlay, [&] {
            ended = true;
            loop.quit();
        });
        QObject::connect(&player, &TAudioPlayer2::OnTimer, [&](QObject *, int, int, int) {
            benchmark::DoNotOptimize(player.PeekArray(2048));
        });
        const double cpu0 = process_cpu_ms();
        QElapsedTimer clock;
        clock.start();
        player.Play();
        feed();
        feed();
        QTimer::singleShot((seconds + 10) * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        const double cpu = process_cpu_ms() - cpu0;
        if (!ended || player.ErrorCode() != 0) {
            state.SkipWithError("playback did not end: run under scripts/with-pulse.sh");
            return;
        }
        state.counters["cpu_ms_per_min"] = cpu * 60000.0 / static_cast<double>(clock.elapsed());
        state.counters["played_s"] = player.PlayedSamples() / 88200.0;
    }
}
BENCHMARK(BM_cpu_per_minute_of_playback)->Arg(20)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
