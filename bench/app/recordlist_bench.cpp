// Adding 200 three-minute files to the record list (MP3 CBR, MP3 VBR, OGG,
// WAV, a quarter each): the whole loop's time, the longest time the event
// loop waited between two turns, and each length against ffprobe's.
// The files are made once with sox, lame and oggenc under the build folder.
#include "fake_capture_backend.h"
#include "main.h"
#include "recordlist.h"
#include "settings_file.h"

#include "clock_text.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <filesystem>

namespace
{

bool run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(600000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

double ffprobe_duration(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("ffprobe"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
             QStringLiteral("format=duration"), QStringLiteral("-of"),
             QStringLiteral("default=nw=1:nk=1"), path});
    p.waitForFinished(60000);
    return p.readAllStandardOutput().trimmed().toDouble();
}

// The eight sources: four kinds, two lengths each around three minutes.
QStringList make_sources(const QString &folder)
{
    QDir().mkpath(folder);
    QStringList sources;
    for (const char *seconds : {"179.6", "180.4"}) {
        const QString base =
            QDir(folder).filePath(QStringLiteral("tone_%1").arg(QLatin1String(seconds)));
        const QString wav = base + QStringLiteral(".wav");
        const QString cbr = base + QStringLiteral("_cbr.mp3");
        const QString vbr = base + QStringLiteral("_vbr.mp3");
        const QString ogg = base + QStringLiteral(".ogg");
        if (!QFileInfo::exists(wav))
            run(QStringLiteral("sox"),
                {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"),
                 QStringLiteral("-c"), QStringLiteral("2"), QStringLiteral("-b"),
                 QStringLiteral("16"), wav, QStringLiteral("synth"), QLatin1String(seconds),
                 QStringLiteral("pinknoise"), QStringLiteral("vol"), QStringLiteral("0.3")});
        if (!QFileInfo::exists(cbr))
            run(QStringLiteral("lame"),
                {QStringLiteral("--quiet"), QStringLiteral("-b"), QStringLiteral("128"), wav, cbr});
        if (!QFileInfo::exists(vbr))
            run(QStringLiteral("lame"),
                {QStringLiteral("--quiet"), QStringLiteral("-V"), QStringLiteral("4"), wav, vbr});
        if (!QFileInfo::exists(ogg))
            run(QStringLiteral("oggenc"), {QStringLiteral("-Q"), QStringLiteral("-q"),
                                           QStringLiteral("3"), wav, QStringLiteral("-o"), ogg});
        sources << cbr << vbr << ogg << wav;
    }
    return sources;
}

class PickedFiles : public Dialogs
{
public:
    QStringList files;
    std::optional<SaveChoice> save_file(QWidget *, const QString &, const QString &) override
    {
        return std::nullopt;
    }
    std::optional<QString> open_file(QWidget *, const QString &) override { return std::nullopt; }
    std::optional<QStringList> open_files(QWidget *, const QString &, const QString &) override
    {
        return files;
    }
    void information(QWidget *, const QString &) override {}
    void message_box(QWidget *, const QString &text, const QString &) override
    {
        std::printf("unexpected message: %s\n", qPrintable(text));
    }
    bool ask_yes_no(QWidget *, const QString &) override { return false; }
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString data = QDir(QCoreApplication::applicationDirPath())
                             .filePath(QStringLiteral("../bench-data/recordlist"));
    const QStringList sources = make_sources(data);
    for (const QString &s : sources)
        if (!QFileInfo::exists(s)) {
            std::printf("could not make %s (needs sox, lame, oggenc)\n", qPrintable(s));
            return 1;
        }

    // 200 names: hard links, so every entry is a file of its own on disk.
    const QString links = QDir(data).filePath(QStringLiteral("links"));
    QDir(links).removeRecursively();
    QDir().mkpath(links);
    auto picked = std::make_unique<PickedFiles>();
    for (int i = 0; i < 200; ++i) {
        const QString source = sources[i % sources.size()];
        const QString link = QDir(links).filePath(QStringLiteral("%1_%2")
                                                      .arg(i, 3, 10, QLatin1Char('0'))
                                                      .arg(QFileInfo(source).fileName()));
        std::filesystem::create_hard_link(source.toStdString(), link.toStdString());
        picked->files << link;
    }

    Services services;
    auto fake = std::make_unique<FakeCaptureBackend>();
    CaptureDeviceInfo device;
    device.name = QStringLiteral("Bench");
    device.lines.push_back({QStringLiteral("Bench line"), QStringLiteral("bench.monitor"), {}});
    fake->device_list.push_back(device);
    services.capture = std::move(fake);
    services.dialogs = std::move(picked);
    services.program_folder = QCoreApplication::applicationDirPath();
    Tfm_main main(std::move(services));
    Tfm_list list;
    main.set_windows(nullptr, nullptr, nullptr, &list);
    main.show();
    QCoreApplication::processEvents();

    // A turn of the event loop ticks this timer; the longest gap is the stall.
    QElapsedTimer since_tick;
    qint64 longest_ms = 0;
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { longest_ms = std::max(longest_ms, since_tick.restart()); });
    QElapsedTimer total;
    total.start();
    since_tick.start();
    ticker.start();
    list.add_files();
    longest_ms = std::max(longest_ms, since_tick.elapsed());
    const qint64 total_ms = total.elapsed();
    ticker.stop();

    int matches = 0;
    for (int i = 0; i < sources.size(); ++i) {
        const double probe = ffprobe_duration(sources[i]);
        const QString expected = clock_text(static_cast<int64_t>(std::floor(probe)));
        const QString got = list.length_text_of(i);
        std::printf("%-28s ffprobe %9.3f s  list %s  %s\n",
                    qPrintable(QFileInfo(sources[i]).fileName()), probe, qPrintable(got),
                    got == expected ? "same" : "DIFFERENT");
        matches += got == expected;
    }
    std::printf("entries added: %d of 200\n", list.count());
    std::printf("total time: %lld ms (%.1f ms a file)\n", static_cast<long long>(total_ms),
                total_ms / 200.0);
    std::printf("longest event-loop stall: %lld ms\n", static_cast<long long>(longest_ms));
    std::printf("lengths equal to ffprobe's (whole seconds): %d of %d sources\n", matches,
                static_cast<int>(sources.size()));
    QDir(links).removeRecursively();
    main.close();
    return list.count() == 200 && matches == sources.size() ? 0 : 1;
}
