// The floor for start-up: a Qt window that does nothing, shown and quit the
// same way as startup_probe.
#include <QApplication>
#include <QTimer>
#include <QWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(341, 168);
    window.show();
    QTimer::singleShot(0, &window, [] { QCoreApplication::exit(0); });
    return app.exec();
}
