#include "playback_files.h"

#include <QProcess>

namespace playback_files
{

namespace
{

QString output_of(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        p.kill();
        p.waitForFinished(1000);
        return {};
    }
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

} // namespace

bool run(const QString &program, const QStringList &args, int timeout_ms)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, args);
    if (!p.waitForFinished(timeout_ms)) {
        p.kill();
        p.waitForFinished(1000);
        return false;
    }
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool sox(const QString &path, const QStringList &effects, int rate, int channels, int bits)
{
    QStringList args{QStringLiteral("-q"),  QStringLiteral("-n"),  QStringLiteral("-r"),
                     QString::number(rate), QStringLiteral("-c"),  QString::number(channels),
                     QStringLiteral("-b"),  QString::number(bits), path};
    args += effects;
    return run(QStringLiteral("sox"), args);
}

double ffprobe_seconds(const QString &path)
{
    const QString rate =
        output_of(QStringLiteral("ffprobe"),
                  {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                   QStringLiteral("a:0"), QStringLiteral("-show_entries"),
                   QStringLiteral("stream=sample_rate"), QStringLiteral("-of"),
                   QStringLiteral("csv=p=0"), path});
    const QString frames = output_of(
        QStringLiteral("ffprobe"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
         QStringLiteral("a:0"), QStringLiteral("-show_entries"), QStringLiteral("frame=nb_samples"),
         QStringLiteral("-of"), QStringLiteral("csv=p=0"), path});
    // csv output may end a line with a separator: "44100,"
    const double hz = rate.section(QLatin1Char(','), 0, 0).trimmed().toDouble();
    if (hz <= 0)
        return -1;
    double samples = 0;
    for (const QString &line : frames.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        samples += line.section(QLatin1Char(','), 0, 0).trimmed().toDouble();
    return samples / hz;
}

} // namespace playback_files
