#include "program.h"

#include "ID3.h"
#include "command_line.h"
#include "desktop.h"
#include "desktop_bus.h"
#include "dir.h"
#include "main.h"
#include "option.h"
#include "platform_choice.h"
#include "recordlist.h"
#include "velquor_application.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <memory>

#include <cstdio>

namespace
{

// Runs `then` once `window` has painted for the first time, after the paint
// has gone to the screen.
class AfterFirstPaint : public QObject
{
public:
    AfterFirstPaint(QWidget *window, std::function<void()> then)
        : m_window(window), m_then(std::move(then))
    {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget *>(watched)->window() == m_window) {
            qApp->removeEventFilter(this);
            QTimer::singleShot(0, this, m_then);
        }
        return false;
    }

private:
    QWidget *m_window;
    std::function<void()> m_then;
};

} // namespace

int run_velquor(int &argc, char **argv, const std::function<void(Tfm_main &)> &on_shown)
{
    // Answered before the application object exists: no display, no sound server.
    if (const auto reply = command_line_reply(argc, argv)) {
        std::puts(reply->c_str());
        return 0;
    }
    // A command for the running instance needs no window of its own.
    if (const RemoteCommand command = remote_command(argc, argv); command != RemoteCommand::none)
        return desktop_bus::run_remote_command(argc, argv, command);
    choose_platform();
    VelquorApplication app(argc, argv);
    // One Velquor per session: a second start brings the first to the front.
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (desktop_bus::claim_instance(bus) == desktop_bus::Claim::elsewhere)
        return 0;
    Tfm_main fm_main;
    app.set_main_window(&fm_main);
    // Built once the main window is on screen (see set_option_maker); owned
    // here, and gone before the main window.
    std::unique_ptr<Tfm_option> fm_option;
    Tfm_id3 fm_id3(&fm_main);
    Tfm_dir fm_dir(&fm_main);
    Tfm_list fm_list(&fm_main);
    fm_main.set_windows(nullptr, &fm_id3, &fm_dir, &fm_list);
    fm_main.set_option_maker([&] {
        fm_option = std::make_unique<Tfm_option>(&fm_main);
        return fm_option.get();
    });
    AfterFirstPaint painted(&fm_main, [&] {
        if (on_shown)
            on_shown(fm_main);
        // Its own turn of the loop: the window answers first.
        QTimer::singleShot(0, &fm_main, [&] { fm_main.option_window(); });
    });
    fm_main.show();
    Desktop desktop(fm_main, bus);
    return app.exec();
}
