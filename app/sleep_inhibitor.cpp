#include "sleep_inhibitor.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>

bool LoginManagerInhibitor::acquire(const QString &why)
{
    if (held())
        return true;
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return false;
    QDBusInterface manager(QStringLiteral("org.freedesktop.login1"),
                           QStringLiteral("/org/freedesktop/login1"),
                           QStringLiteral("org.freedesktop.login1.Manager"), bus);
    if (!manager.isValid())
        return false;
    manager.setTimeout(2000);
    const QDBusReply<QDBusUnixFileDescriptor> reply =
        manager.call(QStringLiteral("Inhibit"), QStringLiteral("sleep"), QStringLiteral("Velquor"),
                     why, QStringLiteral("block"));
    if (!reply.isValid())
        return false;
    m_fd = reply.value();
    return held();
}

void LoginManagerInhibitor::release()
{
    // Closing our copy of the descriptor ends the inhibition.
    m_fd = QDBusUnixFileDescriptor();
}
