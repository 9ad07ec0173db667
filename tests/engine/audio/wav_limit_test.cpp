// A WAV file stops at the 32-bit size limit with a write error instead of
// wrapping its header sizes. The limit is lowered through the constructor so
// the test stays small.

#include "audio/audio_file.h"
#include "audio/wav_writer.h"
#include "audio_test_util.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace audio_test;

namespace
{

TEST(WavLimit, WritingPastTheLimitFailsAndKeepsAReadableFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("limit.wav"));
    constexpr int64_t limit = 100000; // bytes of audio
    WavWriter writer(8000, 2, 16, limit);
    writer.open(path);
    ToneSource tone(8000, 2);
    int64_t accepted = 0;
    bool failed = false;
    EXPECT_EQ(writer.room(), limit / 2);
    for (int i = 0; i < 100 && !failed; ++i) {
        const SampleArray block = tone.next(1000);
        // What is said to fit is what the next write takes.
        const int64_t room = writer.room();
        EXPECT_EQ(room, (limit - accepted * 2) / 4 * 2);
        try {
            writer.write(block.data(), block.size());
            accepted += static_cast<int64_t>(block.size());
        } catch (const EngineError &e) {
            failed = true;
            EXPECT_TRUE(e.message().contains(QStringLiteral("4 GiB")));
        }
    }
    ASSERT_TRUE(failed);
    EXPECT_EQ(writer.room(), 0);
    writer.close();

    TAudioFile2 in;
    in.OpenFile(path);
    // Everything up to the limit, whole frames only, and nothing wrapped.
    EXPECT_EQ(in.TotalSamples(), limit / 2);
    EXPECT_EQ(static_cast<int64_t>(read_all(in).size()), limit / 2);
    EXPECT_GE(limit / 2, accepted);
}

} // namespace
