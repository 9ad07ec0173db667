#include "desktop_state.h"

#include "clock_text.h"

#include <QFileInfo>

namespace
{

using Activity = DesktopState::Activity;

const char *status_word(Activity activity)
{
    switch (activity) {
    case Activity::idle:
        return "idle";
    case Activity::waiting:
        return "waiting";
    case Activity::recording:
        return "recording";
    case Activity::record_paused:
        return "paused";
    case Activity::playing:
        return "playing";
    case Activity::play_paused:
        return "play-paused";
    }
    return "idle";
}

} // namespace

QString status_line(const DesktopState &state)
{
    const QString word = QString::fromLatin1(status_word(state.activity));
    if (state.activity == Activity::idle || state.activity == Activity::waiting)
        return word;
    return QStringLiteral("%1 %2 %3").arg(word, state.file).arg(state.position_ms / 1000);
}

QString tray_tooltip(const DesktopState &state)
{
    const QString name = QFileInfo(state.file).fileName();
    const QString time = clock_text(state.position_ms / 1000);
    switch (state.activity) {
    case Activity::idle:
        return QStringLiteral("Velquor");
    case Activity::waiting:
        return QStringLiteral("Velquor\nWaiting for sound");
    case Activity::recording:
        return QStringLiteral("Velquor\nRecording %1\n%2").arg(name, time);
    case Activity::record_paused:
        return QStringLiteral("Velquor\nPaused %1\n%2").arg(name, time);
    case Activity::playing:
        return QStringLiteral("Velquor\nPlaying %1\n%2/%3")
            .arg(name, time, clock_text(state.length_ms / 1000));
    case Activity::play_paused:
        return QStringLiteral("Velquor\nPlayback paused %1\n%2/%3")
            .arg(name, time, clock_text(state.length_ms / 1000));
    }
    return QStringLiteral("Velquor");
}
