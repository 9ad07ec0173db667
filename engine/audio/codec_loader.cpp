#include "audio/codecs.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <dlfcn.h>
#include <mutex>

namespace
{

// Beside the executable once installed; the build tree's copy for programs
// (tests, benchmarks) that live elsewhere in it.
QStringList module_candidates()
{
    QStringList paths;
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (!self.isEmpty())
        paths << QFileInfo(self).absolutePath() + QStringLiteral("/" VELQUOR_CODECS_NAME);
#ifdef VELQUOR_CODECS_BUILD_PATH
    paths << QStringLiteral(VELQUOR_CODECS_BUILD_PATH);
#endif
    return paths;
}

const CodecTable *load()
{
    QString reasons;
    for (const QString &path : module_candidates()) {
        if (!QFile::exists(path))
            continue;
        void *handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            reasons += QString::fromLocal8Bit(dlerror()) + QLatin1Char('\n');
            continue;
        }
        using Entry = const CodecTable *(*)();
        auto entry = reinterpret_cast<Entry>(dlsym(handle, "velquor_codec_table"));
        const CodecTable *table = entry ? entry() : nullptr;
        if (table && table->version == codec_table_version)
            return table; // stays loaded for the life of the process
        reasons += path + QStringLiteral(" is not this program's codec module\n");
        dlclose(handle);
    }
    throw EngineError(
        QStringLiteral("The audio codecs cannot be loaded (%1 is missing or broken). %2")
            .arg(QStringLiteral(VELQUOR_CODECS_NAME), reasons.trimmed()));
}

} // namespace

const CodecTable &codecs()
{
    static std::mutex lock;
    static const CodecTable *table = nullptr;
    std::lock_guard guard(lock);
    if (!table)
        table = load(); // a failure is retried on the next call
    return *table;
}

void CodecPreload::start()
{
    if (m_thread.joinable())
        return;
    m_thread = std::thread([] {
        try {
            codecs();
        } catch (const EngineError &) {
        }
    });
}

CodecPreload::~CodecPreload()
{
    if (m_thread.joinable())
        m_thread.join();
}
