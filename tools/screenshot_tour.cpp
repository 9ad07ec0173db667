// Renders the screenshots of the README and the AppStream metadata: the main
// window recording, with the record list docked under it, or with --settings
// the settings dialog. Run beside a sound server (tools/screenshots.sh):
//   scripts/with-pulse.sh build/app/screenshot_tour [--settings] docs/screenshot.png [scale]
#include "main.h"
#include "option.h"
#include "pulse/audio_record.h"
#include "settings_file.h"

#include <QApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>

namespace
{

QImage render(const QPixmap &window, qreal scale)
{
    QImage shot(window.deviceIndependentSize().toSize() * scale, QImage::Format_ARGB32);
    shot.setDevicePixelRatio(scale);
    shot.fill(Qt::black);
    QPainter p(&shot);
    p.drawPixmap(0, 0, window);
    return shot;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const bool settings = argc > 1 && QByteArray(argv[1]) == "--settings";
    const int first = settings ? 2 : 1;
    const QString target =
        argc > first ? QString::fromLocal8Bit(argv[first]) : QStringLiteral("screenshot.png");
    const qreal scale = argc > first + 1 ? QByteArray(argv[first + 1]).toDouble() : 1.0;
    QTemporaryDir out;
    Tfm_main main;
    Tfm_option option;
    Tfm_list list;
    main.set_windows(&option, nullptr, nullptr, &list);
    main.show();
    QCoreApplication::processEvents();
    main.settings_file->set_text(keys::format::path, out.path());
    if (settings) {
        option.show();
        QCoreApplication::processEvents();
        return render(option.grab(), scale).save(target) ? 0 : 1;
    }
    // Two finished takes in the list, then the one being recorded.
    for (int take = 0; take < 2; ++take) {
        main.start_recording();
        QTimer::singleShot(2600, &main, [&] { main.stop_recording(); });
        while (main.recording)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        QEventLoop pause;
        QTimer::singleShot(1100, &pause, &QEventLoop::quit);
        pause.exec();
    }
    main.start_recording();
    list.show();
    QEventLoop wait;
    QTimer::singleShot(4300, &wait, &QEventLoop::quit);
    wait.exec();

    // Sizes in logical pixels, so QT_SCALE_FACTOR=2 with a scale of 2 stays sharp.
    const QPixmap top = main.grab();
    const QPixmap bottom = list.grab();
    const QSize top_size = top.deviceIndependentSize().toSize();
    const QSize bottom_size = bottom.deviceIndependentSize().toSize();
    QImage shot(QSize(std::max(top_size.width(), bottom_size.width()),
                      top_size.height() + bottom_size.height()) *
                    scale,
                QImage::Format_ARGB32);
    shot.setDevicePixelRatio(scale);
    shot.fill(Qt::black);
    QPainter p(&shot);
    p.drawPixmap(0, 0, top);
    p.drawPixmap(0, top_size.height(), bottom);
    p.end();
    main.stop_recording();
    return shot.save(target) ? 0 : 1;
}
