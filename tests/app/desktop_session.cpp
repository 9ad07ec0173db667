#include "desktop_session.h"

#include "test_support.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <signal.h>

namespace
{

// The first line a tool writes on a file descriptor it was given (Xvfb's
// display, dbus-daemon's address), read through a pipe.
QString first_line(QProcess &process, int timeout_ms)
{
    if (!process.waitForStarted(timeout_ms))
        return {};
    QElapsedTimer waited;
    waited.start();
    while (!process.canReadLine() && waited.elapsed() < timeout_ms)
        process.waitForReadyRead(100);
    return QString::fromUtf8(process.readLine()).trimmed();
}

} // namespace

DesktopSession::DesktopSession(bool x_display)
    : m_x(x_display), m_started(QDateTime::currentMSecsSinceEpoch())
{
    QDir().mkpath(path(QStringLiteral("config")));
    QDir().mkpath(out_folder());
    if (m_x) {
        auto &x = m_processes.emplace_back(std::make_unique<QProcess>());
        x->start(QStringLiteral("Xvfb"),
                 {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                  QStringLiteral("0"), QStringLiteral("800x600x24"), QStringLiteral("-nolisten"),
                  QStringLiteral("tcp")});
        const QString number = first_line(*x, 10000);
        if (!number.isEmpty())
            display = QLatin1Char(':') + number;
    }
    auto &bus = m_processes.emplace_back(std::make_unique<QProcess>());
    bus->start(QStringLiteral("dbus-daemon"),
               {QStringLiteral("--session"), QStringLiteral("--nofork"),
                QStringLiteral("--print-address=1")});
    bus_address = first_line(*bus, 10000);
}

DesktopSession::~DesktopSession()
{
    stop_velquor();
    for (auto it = m_processes.rbegin(); it != m_processes.rend(); ++it) {
        (*it)->terminate();
        if (!(*it)->waitForFinished(3000)) {
            (*it)->kill();
            (*it)->waitForFinished(3000);
        }
    }
}

qint64 DesktopSession::elapsed_ms() const
{
    return QDateTime::currentMSecsSinceEpoch() - m_started;
}

QString DesktopSession::program()
{
    return QStringLiteral(VELQUOR_APP_DIR "/velquor");
}

QProcessEnvironment DesktopSession::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus_address);
    env.insert(QStringLiteral("HOME"), m_home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_MUSIC_DIR"), out_folder());
    if (m_x) {
        env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    } else {
        env.remove(QStringLiteral("DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    }
    return env;
}

void DesktopSession::write_settings(const QString &more) const
{
    QFile ini(path(QStringLiteral("config/velquor.ini")));
    if (!ini.open(QIODevice::WriteOnly))
        return;
    // WAV: its length is exact to the sample.
    ini.write(QStringLiteral("[format]\npath=%1\nformat=2\n%2").arg(out_folder(), more).toUtf8());
}

DesktopSession::Run DesktopSession::run(const QString &program, const QStringList &args,
                                        int timeout_ms)
{
    Run run;
    QProcess process;
    process.setProcessEnvironment(environment());
    run.started_ms = elapsed_ms();
    process.start(program, args);
    if (!process.waitForFinished(timeout_ms)) {
        process.kill();
        process.waitForFinished(3000);
    }
    run.ended_ms = elapsed_ms();
    run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

QProcess *DesktopSession::start(const QString &program, const QStringList &args,
                                const QProcessEnvironment &extra)
{
    auto &process = m_processes.emplace_back(std::make_unique<QProcess>());
    QProcessEnvironment env = environment();
    for (const QString &key : extra.keys())
        env.insert(key, extra.value(key));
    process->setProcessEnvironment(env);
    process->start(program, args);
    process->waitForStarted(5000);
    return process.get();
}

bool DesktopSession::start_velquor(const QProcessEnvironment &extra)
{
    QProcess *velquor = start(program(), {}, extra);
    velquor->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    return wait_for_name(QStringLiteral("com.tenvique.velquor"), true, 20000);
}

bool DesktopSession::wait_for_name(const QString &name, bool present, int timeout_ms) const
{
    QDBusConnection bus = QDBusConnection::connectToBus(bus_address, QStringLiteral("watch"));
    const bool reached = test_support::wait_until(
        [&] { return bus.interface()->isServiceRegistered(name).value() == present; }, timeout_ms);
    QDBusConnection::disconnectFromBus(QStringLiteral("watch"));
    return reached;
}

void DesktopSession::stop_velquor()
{
    if (bus_address.isEmpty())
        return;
    // Whichever Velquor owns the name, a child of this test or one a command started.
    QDBusConnection bus = QDBusConnection::connectToBus(bus_address, QStringLiteral("stop"));
    const QString name = QStringLiteral("com.tenvique.velquor");
    const QDBusReply<uint> pid = bus.interface()->servicePid(name);
    if (pid.isValid()) {
        bus.call(QDBusMessage::createMethodCall(QStringLiteral("org.mpris.MediaPlayer2.velquor"),
                                                QStringLiteral("/org/mpris/MediaPlayer2"),
                                                QStringLiteral("org.mpris.MediaPlayer2"),
                                                QStringLiteral("Quit")),
                 QDBus::Block, 10000);
        // Its connection closes as it ends; one that hangs is killed.
        if (!test_support::wait_until(
                [&] { return !bus.interface()->isServiceRegistered(name).value(); }, 10000))
            ::kill(static_cast<pid_t>(pid.value()), SIGKILL);
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("stop"));
}
