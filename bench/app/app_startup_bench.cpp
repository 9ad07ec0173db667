// Start-up time: process start to main window shown. Each run starts this
// program again with --probe, which starts Velquor exactly as the program
// does and quits as soon as the main window is on screen.
#include "main.h"
#include "program.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <benchmark/benchmark.h>

#include <cstring>

namespace
{

std::string self_path;

void BM_StartupToWindowShown(benchmark::State &state)
{
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        QProcess probe;
        probe.start(QString::fromStdString(self_path), {QStringLiteral("--probe")});
        if (!probe.waitForFinished(10000) || probe.exitCode() != 0) {
            state.SkipWithError("the probe did not start");
            return;
        }
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(BM_StartupToWindowShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--probe") == 0) {
        int one = 1;
        return run_velquor(one, argv, [](Tfm_main &) { QCoreApplication::exit(0); });
    }
    self_path = argv[0];
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
