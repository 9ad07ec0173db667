// The floor for start-up: a Qt window that does nothing, shown and quit the
// same way as startup_probe (on the loop's turn after its first paint).
#include <QApplication>
#include <QTimer>
#include <QWidget>

namespace
{

class Window : public QWidget
{
protected:
    void paintEvent(QPaintEvent *) override
    {
        QTimer::singleShot(0, this, [] { QCoreApplication::exit(0); });
    }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Window window;
    window.resize(341, 168);
    window.show();
    return app.exec();
}
