// Memory over a long playback: a one-hour file (made with sox, and as MP3
// with lame when asked) played through the main window in stretches at
// real time, each one a seek further on, so the whole file passes through
// the reader within a run of about a minute. RSS is read every second.
//   scripts/with-pulse.sh build/app/app_play_memory_bench [stretches] [wav|mp3]
#include "main.h"
#include "recordlist.h"
#include "skin/skin.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace
{

double rss_mb()
{
    long pages = 0, resident = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

bool run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(600000) && p.exitCode() == 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int stretches = argc > 1 ? std::max(2, std::atoi(argv[1])) : 40;
    const bool mp3 = argc > 2 && QByteArray(argv[2]) == "mp3";
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/velquor-mem.XXXXXX"));
    const QString wav = dir.filePath(QStringLiteral("hour.wav"));
    // A sweep over the hour: every part of the file is different sound.
    if (!run(QStringLiteral("sox"), {"-q", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth",
                                     "3600", "sine", "200-4000", "gain", "-8"})) {
        std::fprintf(stderr, "sox failed\n");
        return 1;
    }
    QString path = wav;
    if (mp3) {
        path = dir.filePath(QStringLiteral("hour.mp3"));
        if (!run(QStringLiteral("lame"), {"--quiet", "-b", "128", wav, path})) {
            std::fprintf(stderr, "lame failed\n");
            return 1;
        }
        QFile::remove(wav);
    }
    const double decoded_mb = 3600.0 * 44100 * 2 * 2 / (1024.0 * 1024.0);

    Services services;
    Tfm_main main(std::move(services));
    auto *list = new Tfm_list(&main);
    main.set_windows(nullptr, nullptr, nullptr, list);
    main.show();
    list->append_entry(QFileInfo(path).fileName(), path, QString());
    main.current_item_index = 0;
    main.current_file = path;
    QTest::qWait(300);

    const double start = rss_mb();
    double peak = start, after_first = 0;
    main.start_playback();
    for (int i = 0; i < stretches && main.playing; ++i) {
        // A stretch heard, then the bar released further on.
        for (int s = 0; s < 3; ++s) {
            QTest::qWait(500);
            peak = std::max(peak, rss_mb());
        }
        if (i == 0)
            after_first = rss_mb();
        if (!main.play_bar)
            break;
        main.SkinMouseDown(nullptr, main.play_bar, 1, 0, 0);
        main.play_bar->SetPosition((i + 1) * 999 / stretches);
        main.SkinMouseUp(nullptr, main.play_bar, 1, 0, 0);
    }
    const bool reached_end = main.playing;
    // The last stretch up to the end of the file, by the player's own end.
    main.play_bar->SetPosition(999);
    main.SkinMouseUp(nullptr, main.play_bar, 1, 0, 0);
    for (int s = 0; s < 40 && main.playing; ++s) {
        QTest::qWait(500);
        peak = std::max(peak, rss_mb());
    }
    const double end = rss_mb();
    std::printf("One hour of %s (%.0f MB as a file, %.0f MB decoded), %d stretches of 1.5 s "
                "spread over it\n",
                mp3 ? "MP3 128 kbit/s" : "WAV 44100 Hz stereo",
                QFileInfo(path).size() / (1024.0 * 1024.0), decoded_mb, stretches);
    std::printf("RSS MB: start %.1f  after the first stretch %.1f  end %.1f  max %.1f  "
                "(growth %.1f, max/decoded %.3f)%s\n",
                start, after_first, end, peak, end - after_first, peak / decoded_mb,
                reached_end && !main.playing ? "" : "  [playback did not end normally]");
    main.close();
    return 0;
}
