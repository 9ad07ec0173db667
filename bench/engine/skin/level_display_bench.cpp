// Cost of one level-display tick (1024 frames analysed, the picture compared
// and, when it changed, painted) for a steady tone and for changing sound.
#include "skin/audio_visualization.h"

#include <QApplication>
#include <QPixmap>
#include <benchmark/benchmark.h>
#include <cmath>
#include <random>

namespace
{

SampleArray tone(int frames, double hz, double amplitude)
{
    SampleArray s(static_cast<size_t>(frames) * 2);
    for (int i = 0; i < frames; ++i)
        s[2 * i] = s[2 * i + 1] =
            static_cast<int16_t>(amplitude * 32767 * std::sin(2 * M_PI * hz * i / 44100.0));
    return s;
}

void BM_SteadyTone(benchmark::State &state)
{
    TAudioVisualizationEx2 vis;
    vis.setChannels(2);
    vis.show();
    const SampleArray s = tone(1024, 1000, 0.5);
    for (auto _ : state) {
        vis.ShowArray(s);
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_SteadyTone);

void BM_ChangingSound(benchmark::State &state)
{
    TAudioVisualizationEx2 vis;
    vis.setChannels(2);
    vis.show();
    std::mt19937 random(7);
    std::vector<SampleArray> sounds;
    for (int i = 0; i < 16; ++i)
        sounds.push_back(tone(1024, 100 + 700 * i, 0.05 + 0.06 * (random() % 16)));
    size_t i = 0;
    for (auto _ : state) {
        vis.ShowArray(sounds[i++ % sounds.size()]);
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_ChangingSound);

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
