// TAudioPlayer2's own logic over FakePlaybackBackend: data requests, one
// OnEndArrayPlay per array, the end mark and a single OnEndPlay after the
// drain, Stop and continuation, counters, PeekArray and failures.

#include "fakes/fake_playback_backend.h"
#include "pulse/audio_player.h"
#include "test_support.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace
{

SampleArray ramp(int64_t from, size_t count)
{
    SampleArray a(count);
    for (size_t i = 0; i < count; ++i)
        a[i] = static_cast<int16_t>((from + static_cast<int64_t>(i)) % 20000);
    return a;
}

void pump()
{
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

struct Player {
    FakePlaybackBackend *fake;
    std::unique_ptr<TAudioPlayer2> player;
    int requests = 0, array_ends = 0, play_ends = 0;

    Player()
    {
        auto b = std::make_unique<FakePlaybackBackend>();
        fake = b.get();
        player = std::make_unique<TAudioPlayer2>(nullptr, std::move(b));
        QObject::connect(player.get(), &TAudioPlayer2::OnRequestOnLoadArray,
                         [this] { ++requests; });
        QObject::connect(player.get(), &TAudioPlayer2::OnEndArrayPlay, [this] { ++array_ends; });
        QObject::connect(player.get(), &TAudioPlayer2::OnEndPlay, [this] { ++play_ends; });
    }
};

// Feeds like the playback controller: 4410-sample blocks from a source,
// one per data event, an empty array once the source is used up.
struct Feeder {
    TAudioPlayer2 *player;
    int64_t total;
    int64_t position = 0;

    void feed()
    {
        const int64_t n = std::min<int64_t>(4410, total - position);
        player->PlayArray(ramp(position, static_cast<size_t>(std::max<int64_t>(n, 0))));
        position += std::max<int64_t>(n, 0);
    }
    void attach()
    {
        QObject::connect(player, &TAudioPlayer2::OnRequestOnLoadArray, [this] { feed(); });
        QObject::connect(player, &TAudioPlayer2::OnEndArrayPlay, [this] { feed(); });
    }
};

} // namespace

TEST(PlayerLogic, PlayWithNothingQueuedAsksForData)
{
    Player p;
    p.player->SetWaveFormat(22050, 1);
    p.player->Play();
    pump();
    EXPECT_EQ(p.requests, 1);
    EXPECT_EQ(p.fake->rate, 22050u);
    EXPECT_EQ(p.fake->channels, 1);
}

TEST(PlayerLogic, PlayAsksOnlyUntilTheQueueIsFarEnoughAhead)
{
    Player p;
    p.player->PlayArray(ramp(0, 44100 * 2 * 7 / 10)); // 0.7 s of the default format
    p.player->Play();
    pump();
    EXPECT_EQ(p.requests, 0);
    Player short_queue;
    short_queue.player->PlayArray(ramp(0, 10));
    short_queue.player->Play();
    pump();
    EXPECT_EQ(short_queue.requests, 1); // nobody answered: asked once
}

TEST(PlayerLogic, EveryArrayPlayedToItsEndRaisesOneEvent)
{
    Player p;
    p.player->Play();
    for (int i = 0; i < 3; ++i)
        p.player->PlayArray(ramp(100 * i, 100));
    p.fake->advance(250);
    pump();
    EXPECT_EQ(p.array_ends, 2);
    p.fake->advance(49);
    pump();
    EXPECT_EQ(p.array_ends, 2);
    p.fake->advance(1000);
    pump();
    EXPECT_EQ(p.array_ends, 3);
    EXPECT_EQ(p.fake->output, ramp(0, 300));
    EXPECT_EQ(p.play_ends, 0); // no end mark: more data may come
}

TEST(PlayerLogic, EndMarkGivesOneOnEndPlayAfterTheDrain)
{
    Player p;
    p.player->Play();
    p.player->PlayArray(ramp(0, 100));
    p.player->PlayArray({});
    p.player->PlayArray({}); // the controller may read past the end more than once
    p.player->PlayArray(ramp(500, 10));
    p.fake->advance(1000);
    pump();
    EXPECT_EQ(p.array_ends, 1); // end marks are no arrays that were played
    EXPECT_EQ(p.play_ends, 0);  // still being heard
    EXPECT_TRUE(p.fake->end_seen);
    p.fake->advance(0); // the drain completes
    pump();
    EXPECT_EQ(p.play_ends, 1);
    EXPECT_EQ(p.fake->output, ramp(0, 100)); // nothing after the mark
    EXPECT_FALSE(p.fake->running());
    pump();
    EXPECT_EQ(p.play_ends, 1);
    EXPECT_EQ(p.player->PlayedSamples(), 100);
}

TEST(PlayerLogic, ControllerStyleFeedingPlaysTheWholeSource)
{
    Player p;
    Feeder f{p.player.get(), 4410 * 5 + 1234};
    f.attach();
    p.player->Play();
    f.feed();
    f.feed();
    for (int i = 0; i < 200 && p.play_ends == 0; ++i) {
        p.fake->advance(3000);
        pump();
    }
    EXPECT_EQ(p.play_ends, 1);
    EXPECT_EQ(p.fake->output, ramp(0, static_cast<size_t>(f.total)));
}

TEST(PlayerLogic, StopDropsTheQueueAndPlayContinuesThroughEvents)
{
    Player p;
    Feeder f{p.player.get(), 44100};
    f.attach();
    p.player->Play();
    pump(); // the request feeds the first block
    f.feed();
    p.fake->advance(5000);
    pump();
    EXPECT_EQ(p.player->PlayedSamples(), 5000);
    p.player->Stop();
    EXPECT_FALSE(p.fake->running());
    EXPECT_EQ(p.player->PlayedSamples(), 5000); // kept for the owner's pause
    const int64_t resume_at = 20000;            // the owner's Seek
    f.position = resume_at;
    p.player->Play(); // nothing queued: the data events carry on
    EXPECT_EQ(p.player->PlayedSamples(), 0);
    pump();
    EXPECT_GE(p.requests, 2);
    const size_t before = p.fake->output.size();
    p.fake->advance(100);
    EXPECT_EQ(SampleArray(p.fake->output.begin() + static_cast<std::ptrdiff_t>(before),
                          p.fake->output.end()),
              ramp(resume_at, 100));
    EXPECT_EQ(p.player->PlayedSamples(), 100);
}

TEST(PlayerLogic, StopInsideHandlerEndsTheRun)
{
    Player p;
    QObject::connect(p.player.get(), &TAudioPlayer2::OnEndArrayPlay, [&] { p.player->Stop(); });
    p.player->Play();
    for (int i = 0; i < 4; ++i)
        p.player->PlayArray(ramp(0, 10));
    p.fake->advance(35);
    pump();
    EXPECT_EQ(p.array_ends, 1);
    EXPECT_FALSE(p.fake->running());
    EXPECT_EQ(p.play_ends, 0);
}

TEST(PlayerLogic, PeekArrayGivesTheLatestSamplesPlayed)
{
    Player p;
    p.player->Play();
    EXPECT_TRUE(p.player->PeekArray(2048).empty());
    p.player->PlayArray(ramp(0, 3000));
    p.fake->advance(1500);
    EXPECT_EQ(p.player->PeekArray(2048), ramp(0, 1500));
    p.fake->advance(1500);
    EXPECT_EQ(p.player->PeekArray(2048), ramp(952, 2048));
}

TEST(PlayerLogic, TimerReportsPlayedSamplesAndLevels)
{
    Player p;
    std::vector<std::array<int, 3>> ticks;
    QObject::connect(p.player.get(), &TAudioPlayer2::OnTimer, [&](QObject *, int c, int l, int r) {
        ticks.push_back({c, l, r});
    });
    p.player->Play();
    p.player->PlayArray({300, -400, -32768, 20});
    p.fake->advance(4);
    ASSERT_TRUE(test_support::wait_until([&] { return !ticks.empty(); }, 3000));
    EXPECT_EQ(ticks[0], (std::array<int, 3>{4, 32767, 400}));
}

TEST(PlayerLogic, StreamFailureSetsErrorCodeAndEndsPlay)
{
    Player p;
    p.player->Play();
    p.player->PlayArray(ramp(0, 100));
    p.fake->fail(2);
    pump();
    EXPECT_EQ(p.player->ErrorCode(), 2);
    EXPECT_EQ(p.play_ends, 1);
    EXPECT_FALSE(p.fake->running());
    p.player->Play();
    EXPECT_EQ(p.player->ErrorCode(), 0);
}

TEST(PlayerLogic, PlayThatCannotOpenSetsErrorCodeAndEndsPlayLater)
{
    Player p;
    p.fake->start_succeeds = false;
    p.player->Play();
    EXPECT_EQ(p.player->ErrorCode(), 1);
    EXPECT_EQ(p.play_ends, 0); // not inside Play: the owner is mid-way through its start
    pump();
    EXPECT_EQ(p.play_ends, 1);
    EXPECT_EQ(p.requests, 0);
}

TEST(PlayerLogic, SetWaveFormatRejectsImpossibleFormats)
{
    Player p;
    EXPECT_THROW(p.player->SetWaveFormat(0, 2), EngineError);
    EXPECT_THROW(p.player->SetWaveFormat(44100, 0), EngineError);
    EXPECT_THROW(p.player->SetWaveFormat(44100, 9), EngineError);
    p.player->SetWaveFormat(8000, 1);
    EXPECT_EQ(p.player->SamplesToMilliseconds(8000), 1000);
}

TEST(PlayerLogic, HandlersThatPumpEventsStillGetEachEventOnce)
{
    Player p;
    Feeder f{p.player.get(), 4410 * 8};
    f.attach();
    QObject::connect(p.player.get(), &TAudioPlayer2::OnEndArrayPlay, [] {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    });
    p.player->Play();
    f.feed();
    f.feed();
    for (int i = 0; i < 100 && p.play_ends == 0; ++i) {
        p.fake->advance(4410 * 3); // several arrays end between two deliveries
        pump();
    }
    EXPECT_EQ(p.play_ends, 1);
    EXPECT_EQ(p.array_ends, 8); // the end mark is no array
    EXPECT_EQ(p.fake->output, ramp(0, 4410 * 8));
}

TEST(PlayerLogic, PlayWhilePlayingKeepsTheRunGoing)
{
    Player p;
    p.player->Play();
    p.player->PlayArray(ramp(0, 1000));
    p.fake->advance(400);
    p.player->Play(); // already playing: not a new run
    EXPECT_EQ(p.fake->starts, 1);
    EXPECT_EQ(p.player->PlayedSamples(), 400);
    pump();
    EXPECT_EQ(p.fake->starts, 1);
}
