#include "desktop_bus.h"

#include "main.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <cstdio>

namespace desktop_bus
{
namespace
{

// An instance that is starting owns its name a moment before it serves it.
constexpr int start_wait_ms = 30000;
// A stop waits for the last sound of its file (seconds); a save dialog for the user.
constexpr int command_timeout_ms = 600000;

bool not_served_yet(const QDBusMessage &reply)
{
    const QDBusError::ErrorType type = QDBusError(reply).type();
    return type == QDBusError::ServiceUnknown || type == QDBusError::UnknownObject ||
           type == QDBusError::UnknownMethod || type == QDBusError::UnknownInterface;
}

// The call, tried again while the owner is still coming up.
QDBusMessage call_instance(QDBusConnection &bus, const QString &method, const QVariantList &args,
                           int timeout_ms)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
        call.setArguments(args);
        QDBusMessage reply = bus.call(call, QDBus::Block, timeout_ms);
        if (reply.type() != QDBusMessage::ErrorMessage || !not_served_yet(reply) ||
            waited.elapsed() > start_wait_ms)
            return reply;
        QThread::msleep(100);
    }
}

void say(const QString &text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

bool start_instance()
{
    // A desktop program of its own: nothing it prints goes to this terminal,
    // which may be gone long before it ends.
    QProcess velquor;
    velquor.setProgram(QCoreApplication::applicationFilePath());
    velquor.setStandardInputFile(QProcess::nullDevice());
    velquor.setStandardOutputFile(QProcess::nullDevice());
    velquor.setStandardErrorFile(QProcess::nullDevice());
    return velquor.startDetached();
}

} // namespace

Claim claim_instance(QDBusConnection bus)
{
    if (!bus.isConnected() || !bus.interface())
        return Claim::no_bus;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const auto reply =
            bus.interface()->registerService(service, QDBusConnectionInterface::DontQueueService,
                                             QDBusConnectionInterface::DontAllowReplacement);
        if (!reply.isValid())
            return Claim::no_bus; // a bus that refuses the name: this one runs alone
        if (reply.value() == QDBusConnectionInterface::ServiceRegistered)
            return Claim::owned;
        const QDBusMessage activated = call_instance(bus, QStringLiteral("Activate"), {}, 10000);
        // One that was quitting as this one started: the name is free again.
        if (activated.type() == QDBusMessage::ReplyMessage ||
            QDBusError(activated).type() != QDBusError::ServiceUnknown)
            return Claim::elsewhere;
    }
    return Claim::elsewhere;
}

int run_remote_command(int &argc, char **argv, RemoteCommand command)
{
    // The terminal gets Velquor's own words (say()) and nothing of Qt's warnings: QtDBus
    // now and then warns of its own types, registered from two threads at once.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            say(text);
    });
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()) {
        say(QStringLiteral("velquor: no session bus, so no running Velquor to reach."));
        return 2;
    }
    if (!bus.interface()->isServiceRegistered(service).value()) {
        if (command != RemoteCommand::record && command != RemoteCommand::toggle) {
            say(QStringLiteral("velquor: Velquor is not running."));
            return 2;
        }
        if (!start_instance()) {
            say(QStringLiteral("velquor: Velquor could not be started."));
            return 2;
        }
    }
    const bool status = command == RemoteCommand::status;
    const QDBusMessage reply =
        status ? call_instance(bus, QStringLiteral("Status"), {}, 10000)
               : call_instance(bus, QStringLiteral("Command"),
                               {QString::fromLatin1(remote_command_name(command))},
                               command_timeout_ms);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        if (status)
            std::printf("%s\n", reply.arguments().value(0).toString().toLocal8Bit().constData());
        return 0;
    }
    if (reply.errorName() == refused) {
        say(reply.errorMessage());
        return 1;
    }
    say(QStringLiteral("velquor: the running Velquor did not answer (%1).")
            .arg(reply.errorMessage()));
    return 2;
}

} // namespace desktop_bus

ControlObject::ControlObject(Tfm_main &main, QObject *parent) : QObject(parent), m_main(main) {}

void ControlObject::Activate()
{
    m_main.bring_to_front();
}

void ControlObject::Command(const QString &name)
{
    QString element;
    if (name == QLatin1String("record"))
        element = QStringLiteral("Record");
    else if (name == QLatin1String("pause"))
        element = QStringLiteral("Pause");
    else if (name == QLatin1String("stop"))
        element = QStringLiteral("Stop");
    else if (name == QLatin1String("toggle"))
        element = m_main.recording ? QStringLiteral("Stop") : QStringLiteral("Record");
    if (element.isEmpty()) {
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("No such command: ") + name);
        return;
    }
    const QString refusal = m_main.quiet_command(element);
    if (!refusal.isEmpty())
        sendErrorReply(desktop_bus::refused, refusal);
}

QString ControlObject::Status()
{
    return status_line(m_main.desktop_state());
}
