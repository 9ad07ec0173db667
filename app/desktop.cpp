#include "desktop.h"

#include "desktop_bus.h"
#include "main.h"
#include "mpris.h"
#include "notifications.h"
#include "tray.h"

Desktop::Desktop(Tfm_main &main, QDBusConnection bus, QObject *parent)
    : QObject(parent), m_main(main), m_bus(std::move(bus))
{
    if (m_bus.isConnected()) {
        m_control = std::make_unique<ControlObject>(m_main);
        m_bus.registerObject(desktop_bus::path, m_control.get(),
                             QDBusConnection::ExportScriptableSlots);
        m_mpris = std::make_unique<Mpris>(m_main, m_bus);
        m_notifications = std::make_unique<Notifications>(m_main, m_bus);
    }
    m_tray = std::make_unique<Tray>(m_main);
    m_tray->apply_setting();
    connect(&m_main, &Tfm_main::settings_applied, m_tray.get(), &Tray::apply_setting);
    connect(&m_main, &Tfm_main::desktop_changed, this, &Desktop::refresh);
    refresh();
}

Desktop::~Desktop()
{
    if (m_control)
        m_bus.unregisterObject(desktop_bus::path);
}

void Desktop::refresh()
{
    const DesktopState state = m_main.desktop_state();
    if (state == m_state)
        return;
    // The position moves at every tick: the player's properties never carry
    // it (clients ask for it) and the tooltip shows whole seconds.
    DesktopState now = state, was = m_state;
    now.position_ms = was.position_ms = 0;
    const bool moved_only = now == was;
    const bool new_second = state.position_ms / 1000 != m_state.position_ms / 1000;
    m_state = state;
    if (m_mpris && !moved_only)
        m_mpris->update(state);
    if (!moved_only || new_second)
        m_tray->update(state);
}
