#pragma once
// What the desktop's ways in (the bus, the tray, media keys) see of the main
// window: what it is doing, with which file, how far, and the file that
// "Play" would play. A value, taken by Tfm_main::desktop_state().

#include <QString>
#include <cstdint>

struct DesktopState {
    enum class Activity { idle, waiting, recording, record_paused, playing, play_paused };
    Activity activity = Activity::idle;
    QString file;            // being recorded or played
    int64_t position_ms = 0; // recorded so far, or the play position
    int64_t length_ms = 0;   // of the file played
    QString next_file;       // the record list's current file: what "Play" plays
    bool operator==(const DesktopState &) const = default;
};

// The one line of "velquor --status": "idle", "waiting", "recording FILE
// SECONDS", "paused FILE SECONDS", "playing FILE SECONDS", "play-paused FILE SECONDS".
QString status_line(const DesktopState &state);
// The tray icon's tooltip: the program, and what it does with which file for how long.
QString tray_tooltip(const DesktopState &state);
