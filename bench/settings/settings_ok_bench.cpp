// The settings dialog's Ok writes 40 keys. Key by key, every key rewrites
// and syncs velquor.ini; in one batch the file is replaced once. Run it on
// the disk whose speed matters (the folder is VELQUOR_BENCH_DIR, else the
// current folder), e.g. VELQUOR_BENCH_DIR=~/.config build/bench/settings/settings_ok_bench
#include "settings_file.h"

#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace
{

void write_ok_keys(SettingsFile &f, int round)
{
    const QString sections[] = {QStringLiteral("source"), QStringLiteral("schedule"),
                                QStringLiteral("limit"),  QStringLiteral("format"),
                                QStringLiteral("mp3"),    QStringLiteral("wav"),
                                QStringLiteral("wma"),    QStringLiteral("ogg")};
    for (int k = 0; k < 40; ++k)
        f.write_integer(sections[k % 8], QStringLiteral("key %1").arg(k), round + k);
}

QString bench_folder()
{
    const QByteArray env = qgetenv("VELQUOR_BENCH_DIR");
    return env.isEmpty() ? QDir::currentPath() : QString::fromLocal8Bit(env);
}

void BM_OkKeyByKey(benchmark::State &state)
{
    QTemporaryDir dir(QDir(bench_folder()).filePath(QStringLiteral("velquor-bench-XXXXXX")));
    SettingsFile f(QStringLiteral("velquor.ini"), dir.path(), QLocale::c());
    int round = 0;
    for (auto _ : state)
        write_ok_keys(f, ++round);
}

void BM_OkOneBatch(benchmark::State &state)
{
    QTemporaryDir dir(QDir(bench_folder()).filePath(QStringLiteral("velquor-bench-XXXXXX")));
    SettingsFile f(QStringLiteral("velquor.ini"), dir.path(), QLocale::c());
    int round = 0;
    for (auto _ : state) {
        f.begin_batch();
        write_ok_keys(f, ++round);
        f.commit_batch();
    }
}

} // namespace

BENCHMARK(BM_OkKeyByKey)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OkOneBatch)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
