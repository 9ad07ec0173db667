// Renders the README's screenshot: the main window recording, with the record
// list docked under it. Run beside a sound server with a tone playing:
//   scripts/with-pulse.sh build/app/screenshot_tour docs/screenshot.png
#include "pulse/audio_record.h"
#include "main.h"
#include "settings_file.h"

#include <QApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString target =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshot.png");
    const qreal scale = argc > 2 ? QByteArray(argv[2]).toDouble() : 1.0;
    QTemporaryDir out;
    Tfm_main main;
    Tfm_option option;
    Tfm_list list;
    main.set_windows(&option, nullptr, nullptr, &list);
    main.show();
    QCoreApplication::processEvents();
    main.settings_file->write_string(QStringLiteral("format"), QStringLiteral("path"), out.path());
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

    const QPixmap top = main.grab();
    const QPixmap bottom = list.grab();
    QImage shot(QSize(std::max(top.width(), bottom.width()), top.height() + bottom.height()) *
                    scale,
                QImage::Format_ARGB32);
    shot.setDevicePixelRatio(scale);
    shot.fill(Qt::black);
    QPainter p(&shot);
    p.drawPixmap(0, 0, top);
    p.drawPixmap(0, top.height() / top.devicePixelRatio(), bottom);
    p.end();
    main.stop_recording();
    return shot.save(target) ? 0 : 1;
}
