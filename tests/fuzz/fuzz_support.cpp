#include "fuzz_support.h"

#include <QDir>
#include <QFile>
#include <cstdlib>
#include <unistd.h>

namespace fuzz
{

QString scratch_folder()
{
    static const QString folder = [] {
        const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm")
                                                                       : QDir::tempPath();
        QByteArray pattern = QFile::encodeName(base) + "/velquor-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data()))
            abort();
        const QString made = QFile::decodeName(pattern);
        // Removed at exit; a crash leaves it for the one who looks into it.
        static const QByteArray remove_at_exit = pattern;
        atexit([] { QDir(QFile::decodeName(remove_at_exit)).removeRecursively(); });
        return made;
    }();
    return folder;
}

QString write_input(const QString &name, const uint8_t *data, size_t size)
{
    const QString path = scratch_folder() + QLatin1Char('/') + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        abort(); // the scratch folder must always take a file
    if (size > 0 && file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size)) !=
                        static_cast<qint64>(size))
        abort();
    return path;
}

} // namespace fuzz
