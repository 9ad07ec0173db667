#include "mpris.h"

#include "audio/audio_file.h"
#include "audio/audio_information.h"
#include "main.h"

#include <QDBusAbstractAdaptor>
#include <QDBusContext>
#include <QDBusMessage>
#include <QFileInfo>
#include <QUrl>

namespace
{

using Activity = DesktopState::Activity;

const QString player_interface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString no_track = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");

bool recording(Activity a)
{
    return a == Activity::waiting || a == Activity::recording || a == Activity::record_paused;
}

bool playing(Activity a)
{
    return a == Activity::playing || a == Activity::play_paused;
}

} // namespace

class MprisRoot : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    // cppcheck-suppress unknownMacro
    Q_PROPERTY(bool CanQuit READ yes)
    Q_PROPERTY(bool CanRaise READ yes)
    Q_PROPERTY(bool HasTrackList READ no)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktop_entry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ none)
    Q_PROPERTY(QStringList SupportedMimeTypes READ none)
public:
    explicit MprisRoot(Mpris *mpris) : QDBusAbstractAdaptor(mpris), m_mpris(mpris) {}
    bool yes() const { return true; }
    bool no() const { return false; }
    QString identity() const { return QStringLiteral("Velquor"); }
    QString desktop_entry() const { return QStringLiteral("velquor"); }
    QStringList none() const { return {}; }

public slots:
    void Raise() { m_mpris->main().bring_to_front(); }
    void Quit() { m_mpris->main().close(); }

private:
    Mpris *m_mpris;
};

class MprisPlayer : public QDBusAbstractAdaptor, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playback_status)
    Q_PROPERTY(double Rate READ one WRITE set_ignored)
    Q_PROPERTY(double MinimumRate READ one)
    Q_PROPERTY(double MaximumRate READ one)
    Q_PROPERTY(double Volume READ one WRITE set_ignored)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ no)
    Q_PROPERTY(bool CanGoPrevious READ no)
    Q_PROPERTY(bool CanPlay READ can_play)
    Q_PROPERTY(bool CanPause READ can_pause)
    Q_PROPERTY(bool CanSeek READ can_seek)
    Q_PROPERTY(bool CanControl READ yes)
public:
    explicit MprisPlayer(Mpris *mpris) : QDBusAbstractAdaptor(mpris), m_mpris(mpris) {}
    QString playback_status() const { return value("PlaybackStatus").toString(); }
    double one() const { return 1.0; }
    void set_ignored(double) {}
    QVariantMap metadata() const { return value("Metadata").toMap(); }
    qlonglong position() const { return m_mpris->position_us(); }
    bool no() const { return false; }
    bool yes() const { return true; }
    bool can_play() const { return value("CanPlay").toBool(); }
    bool can_pause() const { return value("CanPause").toBool(); }
    bool can_seek() const { return value("CanSeek").toBool(); }

public slots:
    void Next() {}
    void Previous() {}
    void Play()
    {
        const DesktopState s = state();
        if (s.activity != Activity::playing)
            command(QStringLiteral("Play"));
    }
    void Pause()
    {
        if (state().activity == Activity::playing)
            command(QStringLiteral("Pause"));
    }
    void PlayPause()
    {
        if (state().activity == Activity::playing)
            command(QStringLiteral("Pause"));
        else
            command(QStringLiteral("Play"));
    }
    void Stop()
    {
        if (playing(state().activity))
            command(QStringLiteral("Stop"));
    }
    void Seek(qlonglong offset_us)
    {
        const DesktopState s = state();
        if (!playing(s.activity))
            return;
        m_mpris->main().seek_playback_ms(std::max<qint64>(s.position_ms + offset_us / 1000, 0));
    }
    void SetPosition(const QDBusObjectPath &track, qlonglong position_us)
    {
        const DesktopState s = state();
        if (!playing(s.activity) || track != m_mpris->track_id() || position_us < 0 ||
            position_us / 1000 > s.length_ms)
            return;
        m_mpris->main().seek_playback_ms(position_us / 1000);
    }

signals:
    void Seeked(qlonglong position_us);

private:
    QVariant value(const char *name) const
    {
        return m_mpris->player_properties().value(QLatin1String(name));
    }
    DesktopState state() const { return m_mpris->main().desktop_state(); }
    void command(const QString &name)
    {
        const QString refusal = m_mpris->main().quiet_command(name);
        if (!refusal.isEmpty() && calledFromDBus())
            sendErrorReply(QStringLiteral("com.tenvique.velquor.Error.Refused"), refusal);
    }

    Mpris *m_mpris;
};

Mpris::Mpris(Tfm_main &main, QDBusConnection bus, QObject *parent)
    : QObject(parent), m_main(main), m_bus(std::move(bus))
{
    new MprisRoot(this);
    new MprisPlayer(this);
    connect(&m_main, &Tfm_main::seeked, this, &Mpris::seeked);
    m_properties = properties_of(m_main.desktop_state());
    if (m_bus.registerObject(path, this, QDBusConnection::ExportAdaptors))
        m_bus.registerService(service);
}

Mpris::~Mpris()
{
    m_bus.unregisterService(service);
    m_bus.unregisterObject(path);
}

QString Mpris::track_file(const DesktopState &state) const
{
    if (playing(state.activity))
        return state.file;
    return recording(state.activity) ? QString() : state.next_file;
}

QVariantMap Mpris::metadata_of(const QString &file, qint64 playing_length_ms)
{
    if (file.isEmpty())
        return {{QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(no_track))}};
    auto found = m_tracks.find(file);
    const QDateTime changed = QFileInfo(file).lastModified();
    if (found == m_tracks.end() || found->changed != changed ||
        (playing_length_ms > 0 && found->length_ms != playing_length_ms)) {
        Track track;
        track.changed = changed;
        track.number = found == m_tracks.end() ? m_next_number++ : found->number;
        TAudioInformation2 tags;
        tags.setActive(true);
        if (tags.ReadFromFile(file)) {
            track.title = tags.infoTitle.trimmed();
            track.artist = tags.infoArtist.trimmed();
            track.album = tags.infoAlbum.trimmed();
        }
        track.length_ms = playing_length_ms;
        if (track.length_ms <= 0) {
            // Not playing: the length is read from the file, as the list reads it.
            try {
                TAudioFile2 audio;
                audio.OpenFile(file, 0, 1);
                track.length_ms = audio.Duration();
                audio.CloseFile();
            } catch (const EngineError &) {
                track.length_ms = 0;
            }
        }
        found = m_tracks.insert(file, track);
    }
    QVariantMap m;
    m[QStringLiteral("mpris:trackid")] = QVariant::fromValue(
        QDBusObjectPath(QStringLiteral("/com/tenvique/velquor/track/%1").arg(found->number)));
    m[QStringLiteral("mpris:length")] = qlonglong(found->length_ms) * 1000;
    m[QStringLiteral("xesam:url")] = QUrl::fromLocalFile(file).toString();
    m[QStringLiteral("xesam:title")] =
        found->title.isEmpty() ? QFileInfo(file).fileName() : found->title;
    if (!found->artist.isEmpty())
        m[QStringLiteral("xesam:artist")] = QStringList{found->artist};
    if (!found->album.isEmpty())
        m[QStringLiteral("xesam:album")] = found->album;
    return m;
}

QVariantMap Mpris::properties_of(const DesktopState &state)
{
    const bool busy = recording(state.activity);
    const QString file = track_file(state);
    QVariantMap p;
    p[QStringLiteral("PlaybackStatus")] =
        state.activity == Activity::playing       ? QStringLiteral("Playing")
        : state.activity == Activity::play_paused ? QStringLiteral("Paused")
                                                  : QStringLiteral("Stopped");
    p[QStringLiteral("Metadata")] =
        metadata_of(file, playing(state.activity) ? state.length_ms : 0);
    p[QStringLiteral("CanPlay")] = !busy && !file.isEmpty();
    p[QStringLiteral("CanPause")] = playing(state.activity);
    p[QStringLiteral("CanSeek")] = playing(state.activity);
    return p;
}

void Mpris::update(const DesktopState &state)
{
    const QVariantMap now = properties_of(state);
    QVariantMap changed;
    for (auto it = now.begin(); it != now.end(); ++it)
        if (m_properties.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    m_properties = now;
    if (changed.isEmpty())
        return;
    QDBusMessage signal =
        QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << player_interface << changed << QStringList();
    m_bus.send(signal);
}

qlonglong Mpris::position_us() const
{
    return qlonglong(m_main.desktop_state().position_ms) * 1000;
}

QDBusObjectPath Mpris::track_id() const
{
    return qvariant_cast<QDBusObjectPath>(m_properties.value(QStringLiteral("Metadata"))
                                              .toMap()
                                              .value(QStringLiteral("mpris:trackid")));
}

void Mpris::seeked(qint64 ms)
{
    QDBusMessage signal =
        QDBusMessage::createSignal(path, player_interface, QStringLiteral("Seeked"));
    signal << qlonglong(ms) * 1000;
    m_bus.send(signal);
}

#include "mpris.moc"
