// TAudioRecord2's runs on a stream that keeps running: a run ends at the
// moment of Stop, Pause or Split by the stream's clock (the fake says where
// the source is), waits for what is still on its way, leaves out what came
// later; pause and split keep the stream, so nothing is lost or inserted.

#include "fakes/fake_capture_backend.h"
#include "pulse/audio_record.h"
#include "test_support.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace
{

// Stereo frames whose two samples both carry the frame's stream index.
SampleArray frames(int64_t from, size_t count)
{
    SampleArray a(count * 2);
    for (size_t i = 0; i < count; ++i)
        a[2 * i] = a[2 * i + 1] = static_cast<int16_t>((from + static_cast<int64_t>(i)) % 30000);
    return a;
}

struct Stream {
    FakeCaptureBackend *fake;
    std::unique_ptr<TAudioRecord2> rec;
    int64_t pushed = 0; // frames

    Stream()
    {
        auto b = std::make_unique<FakeCaptureBackend>();
        fake = b.get();
        rec = std::make_unique<TAudioRecord2>(nullptr, std::move(b));
        rec->SetWaveFormat(8000, 2);
        rec->setBlockSize(200);
    }
    void push(size_t n)
    {
        fake->push(frames(pushed, n));
        pushed += static_cast<int64_t>(n);
    }
    // Everything GetArray has for the run until it is complete.
    SampleArray drain()
    {
        SampleArray all;
        for (int i = 0; i < 1000 && !rec->Drained(); ++i) {
            const SampleArray a = rec->GetArray();
            all.insert(all.end(), a.begin(), a.end());
            QCoreApplication::processEvents();
        }
        const SampleArray a = rec->GetArray();
        all.insert(all.end(), a.begin(), a.end());
        return all;
    }
};

// The stream indices a run holds, one per frame.
std::vector<int> indices(const SampleArray &a)
{
    std::vector<int> out;
    for (size_t i = 0; i + 1 < a.size(); i += 2)
        out.push_back(a[i]);
    return out;
}

std::vector<int> range(int from, int to)
{
    std::vector<int> out;
    for (int i = from; i < to; ++i)
        out.push_back(i);
    return out;
}

enum class End { stop, pause, split };

struct Case {
    const char *name;
    End end;
    int received;  // frames that arrived before the end call
    int source_at; // where the source's clock is at the call
    int arrives;   // frames arriving after the call
    int expected;  // frames the run holds
};

void end_run(TAudioRecord2 &rec, End end)
{
    switch (end) {
    case End::stop:
        rec.Stop();
        break;
    case End::pause:
        rec.Pause();
        break;
    case End::split:
        rec.Split();
        break;
    }
}

} // namespace

class RecordRunEnd : public ::testing::TestWithParam<Case>
{
};

TEST_P(RecordRunEnd, HoldsTheSoundUpToTheMomentOfTheCall)
{
    const Case c = GetParam();
    Stream s;
    s.rec->Start();
    ASSERT_EQ(s.rec->ErrorCode(), 0);
    s.push(static_cast<size_t>(c.received));
    s.fake->source_frames = c.source_at;
    SampleArray run = s.rec->GetArray();
    // What the time display and the limits count is what the run will hold.
    EXPECT_EQ(s.rec->RunSamples(), c.expected * 2);
    end_run(*s.rec, c.end);
    if (c.source_at > c.received) {
        EXPECT_FALSE(s.rec->Drained()) << "the sound of the moment is still on its way";
    }
    s.push(static_cast<size_t>(c.arrives));
    const SampleArray rest = s.drain();
    run.insert(run.end(), rest.begin(), rest.end());
    EXPECT_EQ(indices(run), range(0, c.expected));
    EXPECT_EQ(s.rec->RecordedSamples(), c.expected * 2);
    // Only a plain stop gives the stream up.
    EXPECT_EQ(s.fake->stops, c.end == End::stop ? 1 : 0);
    EXPECT_EQ(s.fake->running(), c.end != End::stop);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecordRunEnd,
    ::testing::Values(Case{"StopWaitsForTheTail", End::stop, 100, 150, 80, 150},
                      Case{"StopLeavesOutWhatCameEarly", End::stop, 200, 150, 0, 150},
                      Case{"StopOnTime", End::stop, 120, 120, 40, 120},
                      Case{"PauseWaitsForTheTail", End::pause, 60, 90, 100, 90},
                      Case{"SplitWaitsForTheTail", End::split, 10, 300, 400, 300},
                      Case{"SplitLeavesOutWhatCameEarly", End::split, 300, 250, 0, 250}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(RecordRun, SplitGoesOnWithTheVerySampleAfter)
{
    Stream s;
    s.rec->Start();
    std::vector<int> joined;
    // Five files of 100 frames each; the stream runs ahead of every split.
    for (int file = 0; file < 5; ++file) {
        s.push(130);
        // The stream delivered 30 frames past the moment of the split.
        s.fake->source_frames = s.pushed - 30;
        SampleArray run = s.rec->GetArray();
        s.rec->Split();
        const SampleArray rest = s.drain();
        run.insert(run.end(), rest.begin(), rest.end());
        const std::vector<int> part = indices(run);
        joined.insert(joined.end(), part.begin(), part.end());
        s.rec->Start();
        ASSERT_EQ(s.rec->ErrorCode(), 0);
    }
    s.fake->source_frames = -1;
    s.rec->Stop();
    const std::vector<int> last = indices(s.drain());
    joined.insert(joined.end(), last.begin(), last.end());
    EXPECT_EQ(joined, range(0, static_cast<int>(s.pushed))) << "a sample lost or doubled at a join";
    EXPECT_EQ(s.fake->starts.size(), 1u);
}

TEST(RecordRun, PauseLeavesOutThePausedTimeAndKeepsTheStream)
{
    Stream s;
    s.rec->Start();
    s.push(100);
    s.fake->source_frames = 100;
    s.rec->Pause();
    SampleArray first = s.drain();
    s.push(500); // the stream goes on while paused
    s.fake->source_frames = 600;
    s.rec->Start();
    EXPECT_EQ(s.rec->RecordedSamples(), 0);
    s.push(50);
    s.fake->source_frames = 650;
    s.rec->Stop();
    const SampleArray second = s.drain();
    std::vector<int> expected = range(0, 100);
    const std::vector<int> after = range(600, 650);
    expected.insert(expected.end(), after.begin(), after.end());
    std::vector<int> got = indices(first);
    const std::vector<int> got2 = indices(second);
    got.insert(got.end(), got2.begin(), got2.end());
    EXPECT_EQ(got, expected);
    EXPECT_EQ(s.fake->starts.size(), 1u);
    EXPECT_EQ(s.fake->stops, 1);
}

TEST(RecordRun, AResumeAfterTheStreamFailedOpensANewOne)
{
    Stream s;
    s.rec->Start();
    s.push(100);
    s.rec->Pause();
    s.drain();
    s.fake->fail(CaptureBackend::device_lost);
    QCoreApplication::processEvents();
    EXPECT_EQ(s.rec->ErrorCode(), 0) << "no run was on";
    s.rec->Start();
    EXPECT_EQ(s.fake->starts.size(), 2u);
    EXPECT_EQ(s.rec->ErrorCode(), 0);
}

TEST(RecordRun, ErrorCodeAndTextTellWhatHappened)
{
    for (const int code : {CaptureBackend::server_lost, CaptureBackend::device_lost}) {
        Stream s;
        int code_at_event = -1;
        QObject::connect(s.rec.get(), &TAudioRecord2::OnEndArrayRecord,
                         [&](QObject *, int) { code_at_event = s.rec->ErrorCode(); });
        s.rec->Start();
        s.push(30);
        s.fake->fail(code);
        test_support::wait_until([&] { return code_at_event >= 0; }, 2000);
        EXPECT_EQ(code_at_event, code);
        EXPECT_EQ(s.rec->ErrorText(), QStringLiteral("fake failure"));
        s.rec->Stop();
        EXPECT_TRUE(s.rec->Drained()) << "a failed stream has nothing more to give";
        EXPECT_EQ(indices(s.rec->GetArray()), range(0, 30));
    }
    Stream s;
    s.fake->start_succeeds = false;
    s.rec->Start();
    EXPECT_EQ(s.rec->ErrorCode(), 1);
    EXPECT_FALSE(s.rec->ErrorText().isEmpty());
}

TEST(RecordRun, ADrainThatNeverCompletesGivesUp)
{
    Stream s;
    s.rec->Start();
    s.push(10);
    s.fake->source_frames = 100000; // the source's sound never comes
    s.rec->Stop();
    EXPECT_FALSE(s.rec->Drained());
    EXPECT_TRUE(test_support::wait_until([&] { return s.rec->Drained(); }, 6000));
    EXPECT_EQ(indices(s.rec->GetArray()), range(0, 10));
    EXPECT_EQ(s.fake->stops, 1);
}

TEST(RecordRun, ANewFormatAfterASplitOpensANewStream)
{
    Stream s;
    s.rec->Start();
    s.push(100);
    s.rec->Split();
    s.drain();
    s.rec->SetWaveFormat(44100, 2);
    s.rec->Start();
    ASSERT_EQ(s.fake->starts.size(), 2u);
    EXPECT_EQ(s.fake->starts[1].rate, 44100u);
    EXPECT_EQ(s.fake->stops, 1);
}
