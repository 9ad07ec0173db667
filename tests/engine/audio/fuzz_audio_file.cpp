// libFuzzer entry for the file reader and the tag reader (not built by default:
// configure with CXX=clang++ -DVELQUOR_AUDIO_FUZZER=ON, then run
// audio_file_fuzzer tests/corpus). The first byte picks the file's extension,
// the rest is the file.

#include "audio/audio_file.h"
#include "audio/audio_information.h"

#include <QDir>
#include <QFile>
#include <cstdint>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    static const char *const extensions[] = {".mp3", ".ogg", ".wav", ".wma", ".flac", ".bin"};
    const QString path = QDir::tempPath() + QStringLiteral("/velquor-fuzz-%1").arg(getpid()) +
                         QLatin1String(extensions[data[0] % 6]);
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data + 1), static_cast<qint64>(size - 1));
    }
    try {
        TAudioFile2 reader;
        reader.OpenFile(path, 0, 1);
        for (int i = 0; i < 2000 && reader.ReadArray(4410).size() == 4410; ++i) {
        }
        reader.Seek(reader.TotalSamples() / 2, 3);
        reader.ReadArray(4410);
    } catch (const EngineError &) {
    }
    TAudioInformation2 tags;
    tags.ReadFromFile(path);
    QFile::remove(path);
    return 0;
}
