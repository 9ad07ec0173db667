// Shows the settings dialog page by page and the folder chooser, saving each
// as a PNG, to look at them as a user would at any scale:
//   scripts/with-pulse.sh xvfb-run -a env QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=2
//       build/app/options_tour /tmp/shots   (one command line)
#include "dir.h"
#include "main.h"

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <QTreeWidgetItemIterator>

namespace
{
void settle(int ms)
{
    QEventLoop wait;
    QTimer::singleShot(ms, &wait, &QEventLoop::quit);
    wait.exec();
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    QDir().mkpath(out.path());
    Tfm_main main;
    Tfm_option option(&main);
    Tfm_dir dir(&main);
    main.set_windows(&option, nullptr, &dir, nullptr);
    main.show();
    settle(200);
    option.show();
    settle(200);
    int page = 0;
    for (QTreeWidgetItemIterator it(option.tv); *it; ++it, ++page) {
        option.tv->setCurrentItem(*it);
        option.tvClick();
        settle(150);
        option.grab().save(out.filePath(QStringLiteral("option_%1.png").arg(page)));
    }
    option.hide();
    dir.show();
    settle(300);
    dir.grab().save(out.filePath(QStringLiteral("dir.png")));
    return 0;
}
