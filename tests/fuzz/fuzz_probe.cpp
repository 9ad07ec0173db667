// A file handed to "Open", "Add" or the tag editor: the low three bits of the
// first byte pick its extension, the rest is the file. It is probed as those
// commands probe it (format, length, channels, rate), played to its end and
// after seeks, as "Play" does, and its tags read; with bit 3 set the tag
// editor's "Ok" writes tags into it too.

#include "audio/audio_file.h"
#include "audio/audio_information.h"
#include "audio/codecs.h"
#include "fuzz_support.h"

#include <QCoreApplication>
#include <algorithm>
#include <climits>
#include <cstdlib>

namespace
{

void check(bool ok)
{
    if (!ok)
        abort();
}

void probe(const QString &path)
{
    TAudioFile2 file;
    try {
        file.OpenFile(path, 0, 1);
    } catch (const EngineError &e) {
        check(!e.message().isEmpty() && !file.IsOpen());
        return;
    }
    check(file.TotalSamples() >= 0 && file.Duration() >= 0 && file.Bitrate() >= 0);
    check(file.Channels() >= 1 && file.Channels() <= 8);
    check(file.SampleRate() >= 1 && file.SampleRate() <= 768000);
    file.FormatCode();
    file.BitsPerSample();
    // Played to the end, as "Play" does, up to 200 s of 44.1 kHz stereo: a few
    // bytes of some codecs decode to hours.
    int64_t read = 0;
    for (int i = 0; i < 2000; ++i) {
        const SampleArray block = file.ReadArray(4410);
        check(block.size() <= 4410);
        read += static_cast<int64_t>(block.size());
        if (block.empty())
            break;
    }
    // Seeks as the play bar makes them: the middle, the last sample, past the end.
    // A seek may reopen the file; should that fail, the player stops with a word.
    try {
        for (const int64_t at : {read / 2, read - 1, read + 4410}) {
            file.Seek(static_cast<int>(std::clamp<int64_t>(at, 0, INT32_MAX)), 3);
            check(file.ReadArray(4410).size() <= 4410);
        }
    } catch (const EngineError &e) {
        check(!e.message().isEmpty());
    }
    file.CloseFile();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::start_application<QCoreApplication>("fuzz_probe");
    // Loaded now, so the fuzzer sees the module's code from the first input.
    codecs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    static const char *const extensions[] = {"mp3",  "ogg",  "wav", "wma",
                                             "flac", "aiff", "au",  "bin"};
    const QString path = fuzz::write_input(
        QStringLiteral("input.") + QLatin1String(extensions[data[0] & 7]), data + 1, size - 1);
    probe(path);
    TAudioInformation2 tags;
    if (tags.ReadFromFile(path)) {
        check(tags.infoYear >= 0 && tags.infoTrack >= 0);
        if (data[0] & 8) {
            tags.infoTitle = QStringLiteral("Fuzzed title");
            tags.WriteToFile(path);
        }
    }
    return 0;
}
