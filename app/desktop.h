#pragma once
// The desktop's ways into a running Velquor, beside its main window: the
// command interface of the one instance, MPRIS, the tray icon and the
// notifications. They all follow the main window's state, looked at on each
// of its changes and four times a second (the record list changes the
// current file by itself, and the tray's time moves on).

#include "desktop_state.h"

#include <QDBusConnection>
#include <QObject>
#include <QTimer>
#include <memory>

class ControlObject;
class Mpris;
class Notifications;
class Tfm_main;
class Tray;

class Desktop : public QObject
{
    Q_OBJECT
public:
    // `bus` is the session bus this instance owns its name on; the tray is
    // made without one too.
    Desktop(Tfm_main &main, QDBusConnection bus, QObject *parent = nullptr);
    ~Desktop() override;

private:
    void refresh();

    Tfm_main &m_main;
    QDBusConnection m_bus;
    DesktopState m_state;
    std::unique_ptr<ControlObject> m_control;
    std::unique_ptr<Mpris> m_mpris;
    std::unique_ptr<Notifications> m_notifications;
    std::unique_ptr<Tray> m_tray;
};
