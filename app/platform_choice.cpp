#include "platform_choice.h"

#include <QtGlobal>

QByteArray platform_override(const PlatformEnvironment &env)
{
    if (!env.qt_qpa_platform.isEmpty())
        return {};
    const bool wayland = env.xdg_session_type == "wayland" || !env.wayland_display.isEmpty();
    if (wayland && !env.display.isEmpty())
        return QByteArrayLiteral("xcb;wayland"); // native Wayland if XWayland does not answer
    return {};
}

PlatformEnvironment current_platform_environment()
{
    return {qgetenv("QT_QPA_PLATFORM"), qgetenv("XDG_SESSION_TYPE"), qgetenv("WAYLAND_DISPLAY"),
            qgetenv("DISPLAY")};
}

void choose_platform()
{
    const QByteArray platform = platform_override(current_platform_environment());
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform);
    // A small window repainted ten times a second while it plays or records:
    // under X, shared-memory images cost a completion event per repaint, which
    // wakes two threads each time; plain image requests cost less here.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
}
