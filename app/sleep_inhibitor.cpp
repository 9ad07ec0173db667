#include "sleep_inhibitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>

bool LoginManagerInhibitor::acquire(const QString &why)
{
    if (held())
        return true;
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return false;
    // A plain call with its own timeout: an interface object would first
    // introspect the service with the bus's default of 25 seconds.
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QStringLiteral("Velquor") << why << QStringLiteral("block");
    const QDBusReply<QDBusUnixFileDescriptor> reply = bus.call(call, QDBus::Block, 2000);
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
