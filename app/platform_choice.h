#pragma once
// The windowing platform for this run. Wayland lets no program place its
// windows, yet the record list docks under the main window: on a Wayland
// session with an X display at hand, Velquor runs through XWayland (xcb).
// A platform the user chose with QT_QPA_PLATFORM is always kept.

#include <QByteArray>

struct PlatformEnvironment {
    QByteArray qt_qpa_platform;  // QT_QPA_PLATFORM
    QByteArray xdg_session_type; // XDG_SESSION_TYPE
    QByteArray wayland_display;  // WAYLAND_DISPLAY
    QByteArray display;          // DISPLAY
};

// The value to give QT_QPA_PLATFORM before the application starts; empty
// leaves Qt's own choice.
QByteArray platform_override(const PlatformEnvironment &env);

PlatformEnvironment current_platform_environment();
// Applies platform_override to this process's environment, and keeps the X
// platform from using shared-memory images (see platform_choice.cpp).
void choose_platform();
