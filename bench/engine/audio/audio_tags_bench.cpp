// Cost of a tag write: write_tags (in place for a WAV file whose tags follow
// its audio, else through a copy and one rename, with an fsync either way)
// next to TagLib saving the same tags in place, on WAV files of 1, 10 and 60
// minutes (10 MB to 635 MB) and a 10-minute MP3.

#include "audio_bench_util.h"

#include "audio/tags.h"

#include <QFile>
#include <benchmark/benchmark.h>
#include <taglib/mpegfile.h>
#include <taglib/wavfile.h>

namespace
{

QString make_file(int format, int minutes)
{
    const QString path = bench_path(format);
    TAudioFile2 file;
    choose_default_format(file, format);
    file.CreateOutputFile(path, 0);
    for (int i = 0; i < minutes * 6; ++i)
        file.WriteArray(bench_audio());
    file.CloseFile();
    return path;
}

TagValues values(int64_t n)
{
    TagValues v;
    v.title = QStringLiteral("Take %1").arg(n);
    v.artist = QStringLiteral("Ärtist");
    v.year = 2026;
    return v;
}

void velquor_write(benchmark::State &state, int format)
{
    const QString path = make_file(format, static_cast<int>(state.range(0)));
    int64_t n = 0;
    for (auto _ : state)
        if (!write_tags(path, values(++n)))
            state.SkipWithError("write failed");
    state.SetBytesProcessed(state.iterations() * QFile(path).size());
    QFile::remove(path);
}

void taglib_in_place(benchmark::State &state, int format)
{
    const QString path = make_file(format, static_cast<int>(state.range(0)));
    const QByteArray name = QFile::encodeName(path);
    int64_t n = 0;
    for (auto _ : state) {
        const TagValues v = values(++n);
        const TagLib::String title(v.title.toStdWString());
        if (format == 2) {
            TagLib::RIFF::WAV::File f(name.constData());
            f.ID3v2Tag()->setTitle(title);
            f.InfoTag()->setTitle(title);
            f.save();
        } else {
            TagLib::MPEG::File f(name.constData());
            f.ID3v2Tag(true)->setTitle(title);
            f.save();
        }
    }
    state.SetBytesProcessed(state.iterations() * QFile(path).size());
    QFile::remove(path);
}

} // namespace

BENCHMARK_CAPTURE(velquor_write, wav, 2)->Arg(1)->Arg(10)->Arg(60)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(taglib_in_place, wav, 2)->Arg(1)->Arg(10)->Arg(60)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(velquor_write, mp3, 0)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(taglib_in_place, mp3, 0)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
