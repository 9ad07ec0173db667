#include "test_support.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QtEndian>
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdint>
#include <sys/types.h>

namespace test_support
{

bool require_pulse()
{
    if (qEnvironmentVariableIsEmpty("VELQUOR_TEST_PULSE")) {
        ADD_FAILURE() << "no private sound server: run the tests through scripts/with-pulse.sh";
        return false;
    }
    if (!qEnvironmentVariableIsEmpty("VELQUOR_TEST_PULSE_FAILED")) {
        ADD_FAILURE() << "the private sound server could not be started";
        return false;
    }
    return true;
}

bool wait_until(const std::function<bool()> &pred, int timeout_ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!pred()) {
        if (clock.elapsed() > timeout_ms)
            return pred();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

qint64 play_sine(double frequency, double seconds, int rate, int channels, double amplitude)
{
    // Raw samples through paplay: no file format in the way of the test.
    static int counter = 0;
    const QString path = QStringLiteral("%1/velquor-sine-%2-%3.raw")
                             .arg(QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR")))
                             .arg(QCoreApplication::applicationPid())
                             .arg(counter++);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return -1;
    const int64_t frames = static_cast<int64_t>(seconds * rate);
    QByteArray data;
    data.resize(static_cast<qsizetype>(frames * channels * 2));
    auto *out = reinterpret_cast<int16_t *>(data.data());
    for (int64_t i = 0; i < frames; ++i) {
        const double v =
            amplitude * std::sin(2.0 * M_PI * frequency * static_cast<double>(i) / rate);
        for (int c = 0; c < channels; ++c)
            *out++ = qToLittleEndian(static_cast<int16_t>(std::lround(v * 32767.0)));
    }
    f.write(data);
    f.close();
    qint64 pid = -1;
    QProcess::startDetached(QStringLiteral("paplay"),
                            {QStringLiteral("--raw"), QStringLiteral("--device=velquor_null"),
                             QStringLiteral("--format=s16le"),
                             QStringLiteral("--rate=%1").arg(rate),
                             QStringLiteral("--channels=%1").arg(channels), path},
                            QString(), &pid);
    return pid;
}

void kill_player(qint64 pid)
{
    if (pid > 0)
        ::kill(static_cast<pid_t>(pid), SIGTERM);
}

QString null_monitor_source()
{
    return QStringLiteral("velquor_null.monitor");
}

} // namespace test_support

namespace test_support
{

ToolResult run_tool(const QString &program, const QStringList &args, int timeout_ms)
{
    ToolResult r;
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(10000)) {
        r.err = program + QStringLiteral(" could not be started");
        return r;
    }
    if (!p.waitForFinished(timeout_ms)) {
        p.kill();
        p.waitForFinished();
        r.err = program + QStringLiteral(" did not finish");
        return r;
    }
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    r.exit_code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return r;
}

} // namespace test_support
