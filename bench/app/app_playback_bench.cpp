// CPU time per minute and wake-ups a second of playback: Velquor's main window playing a file into
// the sound server, side by side with mpg123, ogg123 and ffplay playing the
// same file into the same server. Run beside a sound server, e.g.
//   scripts/with-pulse.sh build/app/app_playback_bench [seconds]
// It makes its own files (sox, lame, oggenc, ffmpeg) and prints, per format,
// CPU seconds per minute of audio and the ratio to the cheapest other player.
// A second argument (MP3, OGG, WMA, WAV) measures that format only. It first
// prints the floor of a window that shows playback at all (bare_window_cpu).
#include "audio/audio_file.h"
#include "main.h"
#include "platform_choice.h"
#include "recordlist.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <map>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{

double cpu_seconds(const rusage &r)
{
    return r.ru_utime.tv_sec + r.ru_stime.tv_sec + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

// Wake-ups: context switches of all threads, voluntary and involuntary.
double switches(const rusage &r)
{
    return static_cast<double>(r.ru_nvcsw + r.ru_nivcsw);
}

struct Cost {
    double cpu = -1;      // seconds
    double wake_ups = -1; // in all
};

// Per thread of this process: name and context switches so far.
std::map<std::string, long> thread_switches()
{
    std::map<std::string, long> out;
    for (const QString &tid :
         QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f(QStringLiteral("/proc/self/task/%1/status").arg(tid));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        std::string name;
        long count = 0;
        for (const QByteArray &line : f.readAll().split('\n')) {
            if (line.startsWith("Name:"))
                name = line.mid(5).trimmed().toStdString() + " " + tid.toStdString();
            else if (line.contains("ctxt_switches:"))
                count += line.mid(line.indexOf(':') + 1).trimmed().toLong();
        }
        out[name] = count;
    }
    return out;
}

// CPU time and wake-ups of this process in work().
template <class F> Cost own_cost(F &&work)
{
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    work();
    getrusage(RUSAGE_SELF, &after);
    return {cpu_seconds(after) - cpu_seconds(before), switches(after) - switches(before)};
}

template <class F> double own_cpu(F &&work)
{
    return own_cost(std::forward<F>(work)).cpu;
}

bool run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(300000) && p.exitCode() == 0;
}

// CPU time and wake-ups of another player over the whole file; -1 when it cannot run.
Cost child_cost(const std::vector<std::string> &argv)
{
    const pid_t pid = fork();
    if (pid < 0)
        return {};
    if (pid == 0) {
        std::vector<char *> args;
        for (const std::string &a : argv)
            args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {};
    return {cpu_seconds(usage), switches(usage)};
}

// Velquor's own playback, the whole program as the user runs it.
Cost velquor_cost(Tfm_main &main, Tfm_list &list, const QString &path, double seconds,
                  bool per_thread)
{
    list.append_entry(path, path, QString());
    main.current_item_index = list.count() - 1;
    main.current_file = path;
    const auto threads_before = thread_switches();
    const Cost cost = own_cost([&] {
        main.start_playback();
        // A plain event loop: polling here would add wake-ups of the bench's own.
        QEventLoop loop;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, [&] {
            if (!main.playing)
                loop.quit();
        });
        check.start(500);
        QTimer::singleShot(static_cast<int>((seconds + 20) * 1000), &loop, &QEventLoop::quit);
        loop.exec();
    });
    if (per_thread)
        for (const auto &[name, count] : thread_switches()) {
            const auto was = threads_before.find(name);
            std::printf("  thread %-28s %6.1f wake-ups a second\n", name.c_str(),
                        (count - (was == threads_before.end() ? 0 : was->second)) / seconds);
        }
    return main.playing ? Cost{} : cost;
}

// The main window with nothing playing or recording: what it costs to sit there.
Cost idle_cost(double seconds)
{
    return own_cost([&] {
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
        loop.exec();
    });
}

// The floor of any window that shows playback as the main window does: a bare
// Qt window whose 107x60 level display is repainted on a 100 ms timer, with
// no sound and no decoding. A player with a window cannot cost less.
double bare_window_cpu(QSize size, double seconds)
{
    struct Meter : QWidget {
        int frame = 0;
        void paintEvent(QPaintEvent *) override
        {
            QPainter p(this);
            p.fillRect(rect(), Qt::black);
            for (int b = 0; b < 20; ++b) {
                const int lit = (frame * 7 + b * 13) % height();
                p.fillRect(b * 5, height() - lit, 4, lit, QColor(1, 138, 0));
            }
        }
    };
    QWidget window;
    window.resize(size);
    auto *meter = new Meter;
    meter->setParent(&window);
    meter->setGeometry(10, 10, 107, 60);
    window.show();
    QTest::qWait(200);
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, meter, [meter] {
        ++meter->frame;
        meter->update();
    });
    return own_cpu([&] {
        tick.start(100);
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
        loop.exec();
    });
}

// Reading the whole file as the player does, block by block, with no sound:
// what the decoder alone costs of a playback.
double decode_cpu(const QString &path)
{
    return own_cpu([&] {
        TAudioFile2 file;
        file.OpenFile(path, 0, 1);
        while (file.ReadArray(4410).size() == 4410) {
        }
        file.CloseFile();
    });
}

} // namespace

int main(int argc, char **argv)
{
    choose_platform(); // as the program starts
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("music.wav"));
    // A sweep with noise under it: the encoders cannot make it trivially small.
    if (!run(QStringLiteral("sox"), {"-q", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth",
                                     QString::number(seconds), "sine", "200-4000", "synth",
                                     "pinknoise", "mix", "gain", "-8"})) {
        std::fprintf(stderr, "sox failed\n");
        return 1;
    }
    struct Format {
        const char *name;
        QString path;
        std::vector<std::vector<std::string>> others;
    };
    std::vector<Format> formats;
    const QString mp3 = dir.filePath(QStringLiteral("music.mp3"));
    const QString ogg = dir.filePath(QStringLiteral("music.ogg"));
    const QString wma = dir.filePath(QStringLiteral("music.wma"));
    run(QStringLiteral("lame"), {"--quiet", "-b", "192", wav, mp3});
    run(QStringLiteral("oggenc"), {"-Q", "-q", "5", "-o", ogg, wav});
    run(QStringLiteral("ffmpeg"),
        {"-v", "error", "-y", "-i", wav, "-c:a", "wmav2", "-b:a", "128k", wma});
    auto ffplay = [](const QString &p) {
        return std::vector<std::string>{"ffplay",    "-nodisp", "-autoexit",
                                        "-loglevel", "quiet",   p.toStdString()};
    };
    formats.push_back({"MP3", mp3, {{"mpg123", "-q", mp3.toStdString()}, ffplay(mp3)}});
    formats.push_back({"OGG", ogg, {{"ogg123", "-q", ogg.toStdString()}, ffplay(ogg)}});
    formats.push_back({"WMA", wma, {ffplay(wma)}});
    formats.push_back({"WAV", wav, {ffplay(wav)}});

    Services services;
    Tfm_main main(std::move(services));
    auto *list = new Tfm_list(&main);
    main.set_windows(nullptr, nullptr, nullptr, list);
    main.show();
    QTest::qWait(200);

    main.hide();
    const double floor = bare_window_cpu(main.size(), seconds) * 60 / seconds;
    main.show();
    QTest::qWait(200);
    const Cost idle = idle_cost(std::min(seconds, 20.0));
    std::printf("idle main window: %.2f wake-ups a second\n",
                idle.wake_ups / std::min(seconds, 20.0));
    std::printf("CPU seconds per minute of playback (%.0f s files), and wake-ups a second\n",
                seconds);
    std::printf("floor: a bare Qt window repainting a level display 10 times a second: %.3f\n",
                floor);
    std::fflush(stdout);
    std::printf("%-5s %8s %8s %9s %7s  %s\n", "file", "Velquor", "decoding", "x floor", "wakes/s",
                "others: CPU, wakes/s (CPU ratio Velquor / cheapest other; floor + decoding / "
                "cheapest other; wake-up ratio Velquor / fewest other)");
    const QString only = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    for (const Format &f : formats) {
        if (!only.isEmpty() && only != QLatin1String(f.name))
            continue;
        const Cost ours = velquor_cost(main, *list, f.path, seconds, f.name == std::string("MP3"));
        const double ours_cpu = ours.cpu * 60 / seconds;
        const double ours_wakes = ours.wake_ups / seconds;
        const double decoding = decode_cpu(f.path) * 60 / seconds;
        double cheapest = -1, fewest = -1;
        std::string line;
        for (const auto &other : f.others) {
            const Cost c = child_cost(other);
            const double per_minute = c.cpu < 0 ? -1 : c.cpu * 60 / seconds;
            const double wakes = c.cpu < 0 ? -1 : c.wake_ups / seconds;
            char cell[128];
            std::snprintf(cell, sizeof cell, "%s %.3f %.1f  ", other[0].c_str(), per_minute, wakes);
            line += cell;
            if (per_minute >= 0 && (cheapest < 0 || per_minute < cheapest))
                cheapest = per_minute;
            if (wakes >= 0 && (fewest < 0 || wakes < fewest))
                fewest = wakes;
        }
        // "x floor": Velquor against the floor plus this file's decoding, which any
        // player of it pays.
        std::printf("%-5s %8.3f %8.3f %9.2f %7.1f  %s(%.2f; %.2f; %.2f)\n", f.name, ours_cpu,
                    decoding, ours_cpu / (floor + decoding), ours_wakes, line.c_str(),
                    cheapest > 0 ? ours_cpu / cheapest : -1.0,
                    cheapest > 0 ? (floor + decoding) / cheapest : -1.0,
                    fewest > 0 ? ours_wakes / fewest : -1.0);
        std::fflush(stdout);
    }
    main.close();
    return 0;
}
