// The two header readers of the project's own, without FFmpeg in the way. The
// first byte picks one: even, the MP3 length probe (ID3 skip, Xing/Info/VBRI
// header, frame walk); odd, the WAV chunk walk that decides whether tags can
// be rewritten in place, then TagLib's WAV reading and writing of tags into it
// as the tag editor does.

#include "audio/mp3_length.h"
#include "audio/tags.h"
#include "fuzz_support.h"

#include <QCoreApplication>
#include <cstdlib>

namespace
{

void check(bool ok)
{
    if (!ok)
        abort();
}

void probe_mp3(const QString &path, size_t size)
{
    const auto length = probe_mp3_length(path);
    if (!length)
        return;
    check(length->frames > 0);
    check(length->sample_rate >= 8000 && length->sample_rate <= 48000);
    // Counted frames cannot outnumber the bytes: the smallest frame is 24 bytes.
    if (!length->from_header)
        check(length->frames <= static_cast<int64_t>(size) / 24 * 1152);
}

void walk_wav(const QString &path)
{
    wav_tags_follow_audio(path);
    TagValues values;
    if (!read_tags(path, values))
        return;
    check(values.year >= 0 && values.track >= 0);
    values.title = QStringLiteral("Fuzzed title");
    values.year = 2026;
    if (write_tags(path, values)) {
        TagValues again;
        check(read_tags(path, again) && again.title == values.title);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::start_application<QCoreApplication>("fuzz_headers");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    if (data[0] % 2 == 0)
        probe_mp3(fuzz::write_input(QStringLiteral("input.mp3"), data + 1, size - 1), size - 1);
    else
        walk_wav(fuzz::write_input(QStringLiteral("input.wav"), data + 1, size - 1));
    return 0;
}
