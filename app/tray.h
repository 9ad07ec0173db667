#pragma once
// The tray icon: idle, recording and paused pictures made from the program's
// icon, a tooltip with the file and its time, and a menu of Record, Pause,
// Stop (the skin's commands, as a click on them), Show Velquor and Quit. A
// click on it brings the main window to the front. QSystemTrayIcon chooses
// the desktop's way: a StatusNotifierItem where a watcher is on the session
// bus, the XEmbed tray elsewhere; a desktop without either shows nothing and
// loses nothing, as every command stays in the main window.
// `[basic] tray` switches it, read at the start and at the dialog's "Ok".

#include "desktop_state.h"

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <memory>

class QAction;
class Tfm_main;

class Tray : public QObject
{
    Q_OBJECT
public:
    explicit Tray(Tfm_main &main, QObject *parent = nullptr);
    ~Tray() override;
    void update(const DesktopState &state);
    // Shown or taken away as the settings say.
    void apply_setting();
    bool shown() const { return m_icon != nullptr; }

    enum class Look { idle, recording, paused };
    // The program's icon at the tray's sizes, with the state drawn over it.
    static QIcon icon(Look look);

private:
    Tfm_main &m_main;
    QMenu m_menu;
    QAction *m_record = nullptr, *m_pause = nullptr, *m_stop = nullptr;
    std::unique_ptr<QSystemTrayIcon> m_icon;
    DesktopState m_state;
    Look m_look = Look::idle;
};
