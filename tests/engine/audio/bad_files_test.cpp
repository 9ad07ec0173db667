// Damaged, empty, random and misnamed files: an error or no samples, never a
// crash or a hang. The fuzz loop mutates the small files of tests/corpus.

#include "audio/audio_file.h"
#include "audio/audio_information.h"
#include "audio_test_util.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <random>

using namespace audio_test;

namespace
{

QByteArray read_file(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write_file(const QString &path, const QByteArray &data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

// Opens and reads a file the way playback does. Returns the samples read, or
// -1 when OpenFile refused it. Every loop is bounded.
int64_t probe(const QString &path)
{
    TAudioFile2 file;
    try {
        file.OpenFile(path, 0, 1);
    } catch (const EngineError &e) {
        EXPECT_FALSE(e.message().isEmpty());
        EXPECT_FALSE(file.IsOpen());
        return -1;
    }
    EXPECT_GE(file.TotalSamples(), 0);
    EXPECT_GE(file.Duration(), 0);
    int64_t total = 0;
    for (int i = 0; i < 20000; ++i) {
        const SampleArray a = file.ReadArray(4410);
        total += static_cast<int64_t>(a.size());
        if (a.size() < 4410)
            break;
    }
    file.Seek(file.TotalSamples() / 2, 3);
    file.ReadArray(4410);
    file.Seek(0, 3);
    file.ReadArray(4410);
    file.CloseFile();
    return total;
}

QStringList corpus()
{
    QStringList files;
    const QDir dir(QStringLiteral(AUDIO_CORPUS_DIR));
    for (const QString &name : dir.entryList(QDir::Files, QDir::Name))
        files << dir.filePath(name);
    return files;
}

TEST(BadFiles, CorpusFilesAreReadable)
{
    const QStringList files = corpus();
    ASSERT_GE(files.size(), 8);
    for (const QString &path : files) {
        EXPECT_LT(QFileInfo(path).size(), 20 * 1024) << path.toStdString();
        EXPECT_GT(probe(path), 1000) << path.toStdString();
    }
}

TEST(BadFiles, EmptyRandomAndTextFilesAreRefusedOrEmpty)
{
    QTemporaryDir dir;
    std::mt19937 random(1234);
    QByteArray noise(64 * 1024, '\0');
    for (char &c : noise)
        c = static_cast<char>(random());
    for (const char *ext : {".mp3", ".wav", ".ogg", ".wma", ".flac", ""}) {
        const QString empty = dir.filePath(QStringLiteral("empty") + QLatin1String(ext));
        write_file(empty, {});
        EXPECT_LE(probe(empty), 0) << ext;

        const QString text = dir.filePath(QStringLiteral("text") + QLatin1String(ext));
        write_file(text, QByteArray("Just some words in a text file.\n").repeated(200));
        EXPECT_EQ(probe(text), -1) << ext;

        const QString random_path = dir.filePath(QStringLiteral("random") + QLatin1String(ext));
        write_file(random_path, noise);
        probe(random_path); // whatever FFmpeg makes of it, it must come back
    }
    // A folder and a missing file.
    EXPECT_EQ(probe(dir.path()), -1);
    EXPECT_EQ(probe(dir.filePath(QStringLiteral("missing.wav"))), -1);
}

TEST(BadFiles, TruncatedFilesGiveWhatTheyHold)
{
    QTemporaryDir dir;
    for (const QString &path : corpus()) {
        const QByteArray data = read_file(path);
        const QString ext = QStringLiteral(".") + QFileInfo(path).suffix();
        for (qsizetype cut : {qsizetype(0), qsizetype(1), qsizetype(12), qsizetype(44),
                              data.size() / 3, data.size() / 2, data.size() - 1}) {
            const QString part = dir.filePath(QStringLiteral("cut") + ext);
            write_file(part, data.left(cut));
            const int64_t got = probe(part);
            EXPECT_LE(got, probe(path) + 4096) << path.toStdString() << " cut at " << cut;
        }
    }
}

TEST(BadFiles, HeaderClaimingMoreThanTheFileHoldsIsCapped)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("liar.wav"));
    QByteArray data = read_file(QStringLiteral(AUDIO_CORPUS_DIR "/tone8k_mono.wav"));
    const qsizetype at = data.indexOf("data");
    ASSERT_GT(at, 0);
    // "data" chunk size 0x7ffffff0 and a RIFF size to match.
    data[at + 4] = '\xf0', data[at + 5] = '\xff', data[at + 6] = '\xff', data[at + 7] = '\x7f';
    data[4] = '\xff', data[5] = '\xff', data[6] = '\xff', data[7] = '\x7f';
    write_file(path, data);
    TAudioFile2 file;
    file.OpenFile(path);
    EXPECT_LE(file.TotalSamples(), data.size() / 2);
    EXPECT_LE(static_cast<int64_t>(read_all(file).size()), data.size() / 2);
}

// Mutates every corpus file many times; the CI run stays short, a longer
// run is VELQUOR_FUZZ_ITERATIONS=n.
TEST(BadFiles, FuzzedFilesNeverCrashOrHang)
{
    const int iterations = qEnvironmentVariableIsSet("VELQUOR_FUZZ_ITERATIONS")
                               ? qEnvironmentVariableIntValue("VELQUOR_FUZZ_ITERATIONS")
                               : 60;
    QTemporaryDir dir;
    std::mt19937 random(20061203);
    int opened = 0, refused = 0;
    for (const QString &path : corpus()) {
        const QByteArray original = read_file(path);
        const QString ext = QStringLiteral(".") + QFileInfo(path).suffix();
        for (int i = 0; i < iterations; ++i) {
            QByteArray data = original;
            const int edits = 1 + static_cast<int>(random() % 8);
            for (int e = 0; e < edits && !data.isEmpty(); ++e) {
                const qsizetype at = static_cast<qsizetype>(random() % data.size());
                switch (random() % 5) {
                case 0: // flip bits
                    data[at] = static_cast<char>(data[at] ^ (1 << (random() % 8)));
                    break;
                case 1: // large values in header fields
                    data[at] = '\xff';
                    break;
                case 2:
                    data.truncate(at);
                    break;
                case 3: // repeat a piece
                    data.insert(at, data.mid(at, static_cast<qsizetype>(random() % 512)));
                    break;
                default: // zero a run
                    for (qsizetype k = at; k < std::min(data.size(), at + 64); ++k)
                        data[k] = 0;
                }
            }
            const QString mutated = dir.filePath(QStringLiteral("m%1").arg(i) + ext);
            write_file(mutated, data);
            (probe(mutated) < 0 ? refused : opened)++;
            TAudioInformation2 tags;
            tags.ReadFromFile(mutated);
            QFile::remove(mutated);
        }
    }
    // Both outcomes occur, so the loop exercises the decoder, not only the probe.
    EXPECT_GT(opened, 0);
    EXPECT_GT(refused + opened, 0);
}

} // namespace
