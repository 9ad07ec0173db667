// Which WAV files get their tags rewritten in place (the rest go through a
// checked copy): the program's own recordings, tagged or not, and nothing
// with bytes that no chunk accounts for.
#include "audio/audio_file.h"
#include "audio/tags.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

struct Layout {
    const char *name;
    uint32_t bits;
    int samples;          // of a mono recording
    bool tagged;          // tags written once before the check
    const char *appended; // bytes after the recording, as hex pairs
    const char *corpus;   // instead of a recording: a file of tests/corpus
    bool in_place;
};

void PrintTo(const Layout &l, std::ostream *os)
{
    *os << l.name;
}

const Layout layouts[] = {
    {"recording", 16, 8000, false, "", nullptr, true},
    {"tagged_recording", 16, 8000, true, "", nullptr, true},
    {"odd_8_bit_recording", 8, 7999, true, "", nullptr, true},
    {"list_before_data", 0, 0, false, "", "tone8k_mono.wav", false},
    {"junk_after_last_chunk", 16, 8000, true, "898787", nullptr, false},
    {"chunk_past_the_end", 16, 8000, false, "4c495354e80300000000", nullptr, false},
    {"chunk_id_not_text", 16, 8000, false, "0089878700000000", nullptr, false},
};

class WavLayout : public ::testing::TestWithParam<Layout>
{
};

TEST_P(WavLayout, TagsAreRewrittenInPlaceOnlyWhenEveryByteBelongsToAChunk)
{
    const Layout &l = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("take.wav"));
    if (l.corpus) {
        ASSERT_TRUE(
            QFile::copy(QStringLiteral(AUDIO_CORPUS_DIR "/") + QLatin1String(l.corpus), path));
    } else {
        TAudioFile2 file;
        file.SetWavFormat(8000, 1, l.bits);
        file.CreateOutputFile(path);
        ASSERT_EQ(file.ErrorCode(), 0);
        ASSERT_TRUE(file.WriteArray(SampleArray(static_cast<size_t>(l.samples), 1000)));
        file.CloseFile();
    }
    TagValues tags;
    tags.title = QStringLiteral("Take");
    if (l.tagged) {
        ASSERT_TRUE(write_tags(path, tags));
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write(QByteArray::fromHex(l.appended));
    f.close();

    EXPECT_EQ(wav_tags_follow_audio(path), l.in_place);
    // Either way a write that succeeds reads back.
    tags.title = QStringLiteral("Second take");
    if (write_tags(path, tags)) {
        TagValues again;
        ASSERT_TRUE(read_tags(path, again));
        EXPECT_EQ(again.title, tags.title);
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, WavLayout, ::testing::ValuesIn(layouts),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
