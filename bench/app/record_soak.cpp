// A real recording through the whole program, for the soak scripts: records
// the private sound server's null-sink monitor for a while (optionally with
// the user-interface thread kept busy), stops, and reports what it cost and
// whether any sample went missing.
//
//   record_soak SECONDS FORMAT(0 mp3, 2 wav, ...) OUT_DIR [--busy] [--limit N]
//
// With --limit the recording rolls over into a new file every N seconds; the
// files are then checked joined, as one signal, and their total length is set
// against the wall time between the start and the stop.
//
// Prints one line of key=value pairs.
#include "audio/audio_file.h"
#include "audio/codecs.h"
#include "main.h"
#include "pulse/audio_record.h"
#include "settings_file.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <sys/resource.h>
#include <thread>

namespace
{

struct Check {
    double seconds = 0;
    int discontinuities = 0;
    int files = 0;
    QStringList lengths; // of each file, in seconds
    QStringList breaks;  // where the first discontinuities are, in seconds of the joined files
};

// Not a divisor of the rate nor of a 10 ms fragment's worth of periods: a
// lost or doubled stretch of whole fragments breaks the sine as well.
constexpr double soak_tone_hz = 1013.0;

// A pure tone obeys x[n+1] = 2 cos(w) x[n] - x[n-1]; a lost or repeated
// stretch breaks that at one sample, far above the quantisation noise.
Check check_tone(const QStringList &paths, double frequency)
{
    Check c;
    double a = 0, b = 0;
    int64_t n = 0;
    int64_t last_break = -100000;
    int64_t last_counted = -1; // where the latest counted break was
    uint32_t rate = 44100;
    bool lossy = false;
    for (const QString &path : paths) {
        TAudioFile2 file;
        file.OpenFile(path, 0, 1);
        const int channels = file.Channels();
        rate = file.SampleRate();
        lossy = !path.endsWith(QStringLiteral(".wav"), Qt::CaseInsensitive);
        const double k = 2 * std::cos(2 * M_PI * frequency / file.SampleRate());
        ++c.files;
        const int64_t file_start = n;
        for (SampleArray s = file.ReadArray(44100); !s.empty(); s = file.ReadArray(44100)) {
            for (size_t i = 0; i + channels <= s.size(); i += channels, ++n) {
                const double x = s[i];
                const bool loud = std::abs(x) > 1000 || std::abs(b) > 1000;
                if (n >= 2 && loud && std::abs(x - k * b + a) > 1500) {
                    if (n - last_break > 100 && !(lossy && n < 1152)) {
                        ++c.discontinuities;
                        last_counted = n;
                        if (c.breaks.size() < 8)
                            c.breaks << QString::number(static_cast<double>(n) / rate, 'f', 3);
                    }
                    last_break = n;
                }
                a = b;
                b = x;
            }
        }
        file.CloseFile();
        c.lengths << QString::number(static_cast<double>(n - file_start) / rate, 'f', 3);
    }
    // A lossy coder rings where the sound is cut off at the start and the
    // stop: those are the recording's edges, not a lost stretch.
    if (lossy && last_counted >= 0 && n - last_counted <= 1152) {
        if (c.breaks.size() == c.discontinuities)
            c.breaks.removeLast();
        --c.discontinuities;
    }
    c.seconds = static_cast<double>(n) / rate;
    return c;
}

double cpu_seconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: record_soak SECONDS FORMAT OUT_DIR [--busy]\n");
        return 2;
    }
    QApplication app(argc, argv);
    const double seconds = std::atof(argv[1]);
    const int format = std::atoi(argv[2]);
    bool busy = false;
    int limit_s = 0;
    for (int i = 4; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--busy")
            busy = true;
        else if (QByteArray(argv[i]) == "--limit" && i + 1 < argc)
            limit_s = std::atoi(argv[++i]);
    }

    Tfm_main main;
    Tfm_option option;
    Tfm_list list;
    main.set_windows(&option, nullptr, nullptr, &list);
    main.show();
    QCoreApplication::processEvents();
    main.settings_file->set_integer(keys::format::format, format);
    main.settings_file->set_text(keys::format::path, QString::fromLocal8Bit(argv[3]));

    if (limit_s > 0) {
        main.settings_file->set_integer(keys::limit::enable, 1);
        main.settings_file->set_integer(keys::limit::time, limit_s);
        main.settings_file->set_integer(keys::limit::new_file, 1);
    }

    // The codec libraries are loaded once per run of the program (start-up's
    // cost, moved to the background): a minute of recording does not include it.
    codecs();
    const double cpu_before = cpu_seconds();
    QElapsedTimer clicks; // a recording holds the time between start and stop
    clicks.start();
    main.start_recording();
    if (!main.recording) {
        std::fprintf(stderr, "record_soak: the recording did not start\n");
        return 1;
    }
    // Wall time counts from the first captured block: an idle sink starts late.
    QElapsedTimer wall;
    QObject::connect(main.AudioRecord, &TAudioRecord2::OnEndArrayRecord, &main, [&] {
        if (!wall.isValid())
            wall.start();
    });

    QTimer chores;
    int round = 0;
    if (busy) {
        // Every two seconds something keeps the user-interface thread away:
        // a modal dialog for a second, the list filled with many rows, or a
        // plain stall of 700 ms.
        QObject::connect(&chores, &QTimer::timeout, [&] {
            switch (round++ % 3) {
            case 0: {
                QDialog dialog(&main);
                QTimer::singleShot(1000, &dialog, &QDialog::accept);
                dialog.exec();
                break;
            }
            case 1: {
                // Rows of its own only: the recordings' rows tell which files to check.
                const int keep = list.count();
                for (int i = 0; i < 3000; ++i)
                    list.append_entry(QStringLiteral("row %1").arg(i), QStringLiteral("/tmp/x"),
                                      QStringLiteral("00:00:01"));
                while (list.count() > keep)
                    list.delete_entry(list.count() - 1);
                break;
            }
            default:
                std::this_thread::sleep_for(std::chrono::milliseconds(700));
                break;
            }
        });
        chores.start(2000);
    }

    QElapsedTimer limit;
    limit.start();
    QTimer watch;
    bool stopped = false;
    double wall_s = 0, clicks_s = 0;
    QString path;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!stopped) {
            if (limit.elapsed() < (seconds + 8) * 1000 &&
                (!wall.isValid() || wall.elapsed() < seconds * 1000))
                return;
            chores.stop();
            wall_s = wall.isValid() ? wall.elapsed() / 1000.0 : 0;
            clicks_s = clicks.elapsed() / 1000.0;
            stopped = true;
            // A stop that lands while a roll-over finishes its file is carried
            // out after it: the files are read once the recording is over.
            main.stop_recording();
        }
        if (main.recording && limit.elapsed() < (seconds + 30) * 1000)
            return;
        watch.stop();
        path = main.recording_file();
        QStringList paths;
        for (int row = 0; row < list.count(); ++row)
            paths << list.path_of(row);
        const double cpu = cpu_seconds() - cpu_before;
        rusage u{};
        getrusage(RUSAGE_SELF, &u);
        const Check c = check_tone(paths, soak_tone_hz);
        std::printf("file=%s files=%d clicks_s=%.3f wall_s=%.3f file_s=%.3f discontinuities=%d "
                    "cpu_s=%.3f cpu_per_min_s=%.3f maxrss_kib=%ld lengths=%s breaks_at=%s\n",
                    qPrintable(path), c.files, clicks_s, wall_s, c.seconds, c.discontinuities, cpu,
                    cpu / (c.seconds / 60.0), u.ru_maxrss, qPrintable(c.lengths.join(',')),
                    qPrintable(c.breaks.isEmpty() ? QStringLiteral("-") : c.breaks.join(',')));
        QCoreApplication::exit(0);
    });
    watch.start(250); // slow enough not to weigh on the CPU being measured
    return app.exec();
}
