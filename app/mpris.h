#pragma once
// Media keys and the desktop's player controls: MPRIS 2.2 as
// org.mpris.MediaPlayer2.velquor at /org/mpris/MediaPlayer2. The player is
// the record list's current file with the main window's playback: Play,
// Pause, PlayPause and Stop go through the skin's dispatch (a refusal is a
// D-Bus error with the main window's text), Seek and SetPosition through the
// play bar's jump. A recording is not playback: while one runs the player is
// "Stopped" with no track, and its Pause and Stop leave the recording alone.
// User-interface thread; update() is called on every change of the state.

#include "desktop_state.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QVariantMap>

class Tfm_main;

class Mpris : public QObject
{
    Q_OBJECT
public:
    static inline const QString service = QStringLiteral("org.mpris.MediaPlayer2.velquor");
    static inline const QString path = QStringLiteral("/org/mpris/MediaPlayer2");

    Mpris(Tfm_main &main, QDBusConnection bus, QObject *parent = nullptr);
    ~Mpris() override;
    // Announces what changed since the last call (PropertiesChanged).
    void update(const DesktopState &state);

    // for the adaptors
    Tfm_main &main() { return m_main; }
    QVariantMap player_properties() const { return m_properties; }
    qlonglong position_us() const;
    QDBusObjectPath track_id() const;
    void seeked(qint64 ms);

private:
    struct Track {
        QString title, artist, album;
        qint64 length_ms = 0;
        int number = 0;
        QDateTime changed; // tags edited since are read again
    };
    QVariantMap properties_of(const DesktopState &state);
    QVariantMap metadata_of(const QString &file, qint64 playing_length_ms);
    QString track_file(const DesktopState &state) const;

    Tfm_main &m_main;
    QDBusConnection m_bus;
    QVariantMap m_properties;
    QString m_track_file;
    QHash<QString, Track> m_tracks; // read once per file and run
    int m_next_number = 1;
};
