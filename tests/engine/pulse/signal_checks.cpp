#include "signal_checks.h"

#include "test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QThread>
#include <QUuid>

#include <cmath>
#include <csignal>
#include <cstdlib>

namespace signal_checks
{

SampleArray channel(const SampleArray &interleaved, int channels, int which)
{
    SampleArray out;
    out.reserve(interleaved.size() / static_cast<size_t>(channels));
    for (size_t i = static_cast<size_t>(which); i < interleaved.size();
         i += static_cast<size_t>(channels))
        out.push_back(interleaved[i]);
    return out;
}

Span loud_span(const SampleArray &mono, int threshold)
{
    Span s{1, 0};
    for (size_t i = 0; i < mono.size(); ++i) {
        if (std::abs(static_cast<int>(mono[i])) > threshold) {
            if (!s.found())
                s.first = i;
            s.last = i;
        }
    }
    return s;
}

double crossing_frequency(const SampleArray &mono, size_t from, size_t to, uint32_t rate)
{
    size_t crossings = 0, first = 0, last = 0;
    for (size_t i = from + 1; i < to && i < mono.size(); ++i) {
        if ((mono[i - 1] < 0) != (mono[i] < 0)) {
            if (crossings == 0)
                first = i;
            last = i;
            ++crossings;
        }
    }
    if (crossings < 3)
        return 0;
    return (crossings - 1) / 2.0 * rate / static_cast<double>(last - first);
}

double worst_sine_break(const SampleArray &mono, size_t from, size_t to, double frequency,
                        uint32_t rate, double amplitude)
{
    const double k = 2.0 * std::cos(2.0 * M_PI * frequency / rate);
    double worst = 0;
    for (size_t n = std::max<size_t>(from, 1); n + 1 < to && n + 1 < mono.size(); ++n) {
        const double r = mono[n + 1] + mono[n - 1] - k * mono[n];
        worst = std::max(worst, std::abs(r));
    }
    return worst / amplitude;
}

int peak(const SampleArray &mono, size_t from, size_t to)
{
    int p = 0;
    for (size_t i = from; i < to && i < mono.size(); ++i)
        p = std::max(p, std::abs(static_cast<int>(mono[i])));
    return p;
}

OwnerLikeRecording::OwnerLikeRecording(uint32_t rate, int channels,
                                       std::unique_ptr<CaptureBackend> backend)
    : rec(nullptr, std::move(backend))
{
    rec.SetWaveFormat(rate, channels);
    rec.setBlockSize(rec.MillisecondsToSamples(200));
    QObject::connect(&rec, &TAudioRecord2::OnEndArrayRecord, [this](QObject *, int) {
        if (block_events++ == 0) {
            if (on_first_event)
                on_first_event();
            if (sleep_ms_in_first_event > 0)
                QThread::msleep(static_cast<unsigned long>(sleep_ms_in_first_event));
        }
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        if (rec.ErrorCode() != 0) {
            error_seen_at_event = rec.ErrorCode();
            return;
        }
        const SampleArray a = rec.GetArray();
        stream.insert(stream.end(), a.begin(), a.end());
    });
}

bool OwnerLikeRecording::select_device(const QString &name)
{
    const int16_t last = rec.LastDeviceIndex();
    for (int16_t i = 0; i <= last; ++i) {
        rec.setDeviceIndex(i);
        if (rec.DeviceName() == name && rec.InputLineCount() > 0) {
            rec.setInputLineIndex(1);
            rec.setInputLineSelected(true);
            return true;
        }
    }
    return false;
}

bool OwnerLikeRecording::start()
{
    rec.Start();
    return rec.ErrorCode() == 0;
}

void OwnerLikeRecording::stop()
{
    end(&TAudioRecord2::Stop);
}

void OwnerLikeRecording::end(void (TAudioRecord2::*how)())
{
    (rec.*how)();
    // The capture bounds the wait itself (~2.5 s); the test's bound is wider.
    test_support::wait_until(
        [&] {
            for (SampleArray a = rec.GetArray(); !a.empty(); a = rec.GetArray())
                stream.insert(stream.end(), a.begin(), a.end());
            return rec.Drained();
        },
        8000);
    for (SampleArray a = rec.GetArray(); !a.empty(); a = rec.GetArray())
        stream.insert(stream.end(), a.begin(), a.end());
}

ServerLogMark::ServerLogMark()
    : m_path(qEnvironmentVariable("VELQUOR_SERVER_LOG")), m_from(QFileInfo(m_path).size())
{
}

QString ServerLogMark::since() const
{
    QString found;
    QFile file(m_path);
    if (!m_path.isEmpty() && file.open(QIODevice::ReadOnly) && file.seek(m_from)) {
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine());
            if (line.contains(QLatin1String("UNDERFLOW")) ||
                line.contains(QLatin1String("OVERFLOW")))
                found += line;
        }
    }
    return found.isEmpty() ? QStringLiteral("none logged") : found;
}

QString pactl(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral("pactl"), args);
    if (!p.waitForFinished(5000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

PrivateSink::PrivateSink()
{
    const QString id = QUuid::createUuid().toString(QUuid::Id128).left(10);
    m_name = QStringLiteral("velquor_test_") + id;
    m_description = QStringLiteral("Velquor_Test_") + id;
    const QString out =
        pactl({QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
               QStringLiteral("sink_name=") + m_name, QStringLiteral("rate=44100"),
               QStringLiteral("sink_properties=device.description=") + m_description});
    bool ok = false;
    const int module = out.trimmed().toInt(&ok);
    m_module = ok ? module : -1;
    if (m_module >= 0 && qgetenv("VELQUOR_TEST_SERVER") != "pipewire")
        settle();
}

void PrivateSink::settle()
{
    // PulseAudio's null sink renders two seconds ahead while no client asks
    // for less, and a stream that starts in that lead is heard late or in
    // part. Stopped, it starts afresh when resumed: resume it only once a
    // low-latency recording holds its latency down, and keep that recording.
    pactl({QStringLiteral("suspend-sink"), m_name, QStringLiteral("1")});
    const QString keeper = QStringLiteral("velquor_keeper_") + m_name;
    m_keeper.setStandardOutputFile(QProcess::nullDevice());
    m_keeper.start(QStringLiteral("parec"),
                   {QStringLiteral("--raw"), QStringLiteral("--latency-msec=20"),
                    QStringLiteral("--stream-name=") + keeper, QStringLiteral("-d"), monitor()});
    test_support::wait_until(
        [&] {
            return pactl({QStringLiteral("list"), QStringLiteral("source-outputs")})
                .contains(keeper);
        },
        3000);
    pactl({QStringLiteral("suspend-sink"), m_name, QStringLiteral("0")});
}

PrivateSink::~PrivateSink()
{
    m_keeper.kill();
    m_keeper.waitForFinished(2000);
    if (m_module >= 0)
        pactl({QStringLiteral("unload-module"), QString::number(m_module)});
}

bool PrivateSink::unload()
{
    if (m_module < 0)
        return false;
    const QString module = QString::number(m_module);
    m_module = -1;
    QProcess p;
    p.start(QStringLiteral("pactl"), {QStringLiteral("unload-module"), module});
    return p.waitForFinished(5000) && p.exitCode() == 0;
}

qint64 PrivateSink::play_tone(double frequency, double seconds, double amplitude) const
{
    return play_tone(frequency, seconds, amplitude, amplitude, 0);
}

qint64 PrivateSink::play_tone(double frequency, double seconds, double left, double right,
                              int latency_ms) const
{
    const int rate = 44100;
    const QString path =
        m_dir.filePath(QUuid::createUuid().toString(QUuid::Id128) + QStringLiteral(".raw"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return -1;
    const int64_t frames = static_cast<int64_t>(seconds * rate);
    QByteArray data(static_cast<qsizetype>(frames * 4), Qt::Uninitialized);
    auto *out = reinterpret_cast<int16_t *>(data.data());
    for (int64_t i = 0; i < frames; ++i) {
        const double v = std::sin(2.0 * M_PI * frequency * static_cast<double>(i) / rate);
        out[2 * i] = static_cast<int16_t>(std::lround(left * v * 32767.0));
        out[2 * i + 1] = static_cast<int16_t>(std::lround(right * v * 32767.0));
    }
    f.write(data);
    f.close();
    qint64 pid = -1;
    QStringList args{QStringLiteral("--raw"), QStringLiteral("--device=") + m_name,
                     QStringLiteral("--format=s16le"), QStringLiteral("--rate=44100"),
                     QStringLiteral("--channels=2")};
    if (latency_ms > 0)
        args << QStringLiteral("--latency-msec=%1").arg(latency_ms);
    QProcess::startDetached(QStringLiteral("paplay"), args << path, QString(), &pid);
    return pid;
}

OwnServer::OwnServer(bool pipewire_pulse) : m_pipewire_pulse(pipewire_pulse)
{
    if (pipewire_pulse)
        m_sink = QStringLiteral("own_null_") + QUuid::createUuid().toString(QUuid::Id128).left(10);
}

bool OwnServer::start_pipewire_pulse()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Its socket is <PULSE_RUNTIME_PATH>/native; the graph is the session's.
    env.insert(QStringLiteral("PULSE_RUNTIME_PATH"), m_dir.path());
    m_process.setProcessEnvironment(env);
    m_process.setProgram(QStringLiteral("pipewire-pulse"));
    m_process.setArguments({});
    m_process.setStandardOutputFile(m_dir.filePath(QStringLiteral("log")));
    m_process.setStandardErrorFile(m_dir.filePath(QStringLiteral("log")));
    m_process.start();
    if (!m_process.waitForStarted(5000))
        return false;
    if (!test_support::wait_until(
            [&] {
                return QFile::exists(m_dir.filePath(QStringLiteral("native"))) &&
                       !pactl({QStringLiteral("info")}).isEmpty();
            },
            5000))
        return false;
    return !pactl({QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                   QStringLiteral("sink_name=") + m_sink, QStringLiteral("rate=44100")})
                .trimmed()
                .isEmpty();
}

OwnServer::~OwnServer()
{
    kill();
}

QString OwnServer::address() const
{
    return QStringLiteral("unix:") + m_dir.filePath(QStringLiteral("native"));
}

bool OwnServer::start()
{
    if (m_pipewire_pulse)
        return start_pipewire_pulse();
    QFile script(m_dir.filePath(QStringLiteral("server.pa")));
    if (!script.open(QIODevice::WriteOnly))
        return false;
    script.write(QStringLiteral("load-module module-native-protocol-unix socket=%1\n"
                                "load-module module-null-sink sink_name=own_null\n"
                                "set-default-source own_null.monitor\n")
                     .arg(m_dir.filePath(QStringLiteral("native")))
                     .toUtf8());
    script.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString run = m_dir.filePath(QStringLiteral("run"));
    QDir().mkpath(run);
    QFile::setPermissions(run,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), run);
    env.insert(QStringLiteral("HOME"), m_dir.path());
    // A desktop's session bus is not this server's to take names on.
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    m_process.setProcessEnvironment(env);
    m_process.setProgram(QStringLiteral("pulseaudio"));
    m_process.setArguments(
        {QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
         QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--use-pid-file=no"),
         QStringLiteral("--system=no"), QStringLiteral("-F"), script.fileName(),
         QStringLiteral("--log-target=file:") + m_dir.filePath(QStringLiteral("log"))});
    m_process.start();
    if (!m_process.waitForStarted(5000))
        return false;
    // The socket comes before the sink: wait for the source to record from.
    return test_support::wait_until(
        [&] {
            return QFile::exists(m_dir.filePath(QStringLiteral("native"))) &&
                   pactl(
                       {QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sources")})
                       .contains(QLatin1String("own_null.monitor"));
        },
        5000);
}

void OwnServer::kill()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

void OwnServer::freeze(bool frozen)
{
    if (m_process.state() != QProcess::NotRunning)
        ::kill(static_cast<pid_t>(m_process.processId()), frozen ? SIGSTOP : SIGCONT);
}

bool OwnServer::restart()
{
    kill();
    QFile::remove(m_dir.filePath(QStringLiteral("native")));
    return start();
}

QString OwnServer::pactl(const QStringList &args) const
{
    return signal_checks::pactl(QStringList{QStringLiteral("-s"), address()} + args);
}

bool OwnServer::running() const
{
    return m_process.state() == QProcess::Running;
}

} // namespace signal_checks
