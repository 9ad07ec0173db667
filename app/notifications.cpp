#include "notifications.h"

#include "clock_text.h"
#include "main.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>

namespace
{
const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString play_action = QStringLiteral("play");
const QString folder_action = QStringLiteral("show-in-folder");
} // namespace

Notifications::Notifications(Tfm_main &main, QDBusConnection bus, std::function<bool()> looking,
                             QObject *parent)
    : QObject(parent), m_main(main), m_bus(bus), m_looking(std::move(looking)), m_file_manager(bus)
{
    if (!m_looking)
        m_looking = [this] { return m_main.isActiveWindow(); };
    connect(&m_main, &Tfm_main::scheduled_started, this, &Notifications::scheduled_started);
    connect(&m_main, &Tfm_main::scheduled_ended, this, &Notifications::scheduled_ended);
    connect(&m_main, &Tfm_main::recording_fault, this, &Notifications::recording_fault);
    m_bus.connect(service, path, service, QStringLiteral("ActionInvoked"), this,
                  SLOT(action_invoked(uint, QString)));
    m_bus.connect(service, path, service, QStringLiteral("NotificationClosed"), this,
                  SLOT(closed(uint, uint)));
}

void Notifications::scheduled_started(const QString &file)
{
    notify(QStringLiteral("Scheduled recording started"),
           file.isEmpty() ? QStringLiteral("Waiting for sound") : QFileInfo(file).fileName(), file,
           {}, false);
}

void Notifications::scheduled_ended(const QString &file, int duration_ms)
{
    notify(
        QStringLiteral("Scheduled recording finished"),
        QStringLiteral("%1 (%2)").arg(QFileInfo(file).fileName(), clock_text(duration_ms / 1000)),
        file,
        {play_action, QStringLiteral("Play"), folder_action, QStringLiteral("Show in Folder")},
        false);
}

void Notifications::recording_fault(const QString &file, const QString &text)
{
    notify(QStringLiteral("Recording stopped"), text, file,
           {folder_action, QStringLiteral("Show in Folder")}, true);
}

void Notifications::notify(const QString &summary, const QString &body, const QString &file,
                           const QStringList &actions, bool urgent)
{
    if (!m_bus.isConnected() || m_looking())
        return;
    QVariantMap hints;
    hints[QStringLiteral("desktop-entry")] = desktop_entry;
    hints[QStringLiteral("urgency")] = QVariant::fromValue(uchar(urgent ? 2 : 1));
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, path, service, QStringLiteral("Notify"));
    // The whole body is plain text: a file name may hold '<' or '&'.
    QString plain = body.toHtmlEscaped();
    call << QStringLiteral("Velquor") << uint(0) << QStringLiteral("velquor") << summary << plain
         << QStringList{QStringLiteral("default"), QStringLiteral("Show Velquor")} + actions
         << hints << -1;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, file] {
        watcher->deleteLater();
        const QDBusPendingReply<uint> reply = *watcher;
        if (reply.isValid())
            m_files.insert(reply.value(), file);
    });
}

void Notifications::action_invoked(uint id, const QString &action)
{
    const auto found = m_files.constFind(id);
    if (found == m_files.constEnd())
        return; // another program's
    if (action == play_action)
        m_main.play_listed(*found);
    else if (action == folder_action)
        m_file_manager.show_item(*found);
    else if (action == QLatin1String("default"))
        m_main.bring_to_front();
}

void Notifications::closed(uint id, uint reason)
{
    Q_UNUSED(reason);
    m_files.remove(id);
}
