// TAudioRecord2's own logic over FakeCaptureBackend: block counting, the
// GetArray / PeekArray views of the captured stream, counters across pause
// and resume, re-entrant calls from its handlers, errors and the device API.

#include "pulse/audio_record.h"
#include "fakes/fake_capture_backend.h"
#include "test_support.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <numeric>

namespace
{

SampleArray ramp(int64_t from, size_t count)
{
    SampleArray a(count);
    for (size_t i = 0; i < count; ++i)
        a[i] = static_cast<int16_t>((from + static_cast<int64_t>(i)) % 30000);
    return a;
}

void pump()
{
    // Posted events are all there already: one pass delivers them.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

struct Recorder {
    FakeCaptureBackend *fake;
    std::unique_ptr<TAudioRecord2> rec;
    std::vector<int> blocks;
    int64_t pushed = 0;

    explicit Recorder(uint32_t rate = 8000, int channels = 1, int block = 100)
    {
        auto b = std::make_unique<FakeCaptureBackend>();
        fake = b.get();
        rec = std::make_unique<TAudioRecord2>(nullptr, std::move(b));
        rec->SetWaveFormat(rate, channels);
        rec->setBlockSize(block);
        QObject::connect(rec.get(), &TAudioRecord2::OnEndArrayRecord,
                         [this](QObject *, int n) { blocks.push_back(n); });
    }
    void push(size_t n)
    {
        fake->push(ramp(pushed, n));
        pushed += static_cast<int64_t>(n);
    }
};

} // namespace

TEST(RecordLogic, OneBlockEventPerWholeBlock)
{
    Recorder r;
    r.rec->Start();
    r.push(250);
    pump();
    EXPECT_EQ(r.blocks, (std::vector<int>{1, 2}));
    r.push(49);
    pump();
    EXPECT_EQ(r.blocks.size(), 2u);
    r.push(1);
    pump();
    EXPECT_EQ(r.blocks, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(r.rec->GetArray(), ramp(0, 300));
}

TEST(RecordLogic, BusyUserInterfaceGetsEveryBlockItIsOwed)
{
    Recorder r;
    r.rec->Start();
    for (int i = 0; i < 7; ++i)
        r.push(100); // no event processing in between: the UI thread is "busy"
    pump();
    EXPECT_EQ(r.blocks, (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(r.rec->GetArray(), ramp(0, 700));
}

TEST(RecordLogic, GetArrayTakesEverythingOnceThenEmpty)
{
    Recorder r;
    EXPECT_TRUE(r.rec->GetArray().empty());
    r.rec->Start();
    r.push(30);
    r.push(40);
    EXPECT_EQ(r.rec->GetArray(), ramp(0, 70));
    EXPECT_EQ(array_high(r.rec->GetArray()), -1);
    r.push(5);
    EXPECT_EQ(r.rec->GetArray(), ramp(70, 5));
}

TEST(RecordLogic, PeekArrayShowsLatestSamplesAlsoAfterGetArray)
{
    Recorder r(44100, 2);
    r.rec->Start();
    EXPECT_TRUE(r.rec->PeekArray(2048).empty());
    r.push(1000);
    EXPECT_EQ(r.rec->PeekArray(2048), ramp(0, 1000)); // fewer than asked
    r.rec->GetArray();
    r.push(3000);
    EXPECT_EQ(r.rec->PeekArray(2048), ramp(1952, 2048));
    r.rec->Stop();
    EXPECT_EQ(r.rec->PeekArray(4), ramp(3996, 4));
    EXPECT_TRUE(r.rec->PeekArray(0).empty());
    EXPECT_TRUE(r.rec->PeekArray(-5).empty());
}

TEST(RecordLogic, PeekArrayWrapsAroundItsRing)
{
    Recorder r(8000, 1);
    r.rec->Start();
    for (int i = 0; i < 50; ++i)
        r.push(3331); // odd sizes so the ring wraps mid-push
    EXPECT_EQ(r.rec->PeekArray(5000), ramp(r.pushed - 5000, 5000));
}

TEST(RecordLogic, PauseAndResumeCountFromZeroAndKeepData)
{
    Recorder r(22050, 2, 1000);
    r.rec->Start();
    r.push(300);
    r.rec->Stop();
    EXPECT_EQ(r.rec->RecordedSamples(), 300);
    EXPECT_EQ(r.rec->SamplePosition(), 300);
    r.push(50); // the backend is stopped: nothing may arrive
    pump();
    EXPECT_EQ(r.rec->RecordedSamples(), 300);
    r.rec->Start();
    EXPECT_EQ(r.rec->RecordedSamples(), 0);
    r.push(100);
    EXPECT_EQ(r.rec->SamplePosition(), 100);
    EXPECT_EQ(r.rec->GetArray().size(), 400u); // the paused run's data is still there
    ASSERT_EQ(r.fake->starts.size(), 2u);
    EXPECT_EQ(r.fake->starts[1].rate, 22050u);
    EXPECT_EQ(r.fake->starts[1].channels, 2);
}

TEST(RecordLogic, NoBlockEventsAfterStopButDataStays)
{
    Recorder r;
    r.rec->Start();
    r.push(450);
    r.rec->Stop(); // events for these blocks were still queued
    pump();
    EXPECT_TRUE(r.blocks.empty());
    EXPECT_EQ(r.rec->GetArray(), ramp(0, 450));
    EXPECT_TRUE(r.rec->GetArray().empty());
}

TEST(RecordLogic, StopAndDrainInsideOnTimer)
{
    Recorder r;
    SampleArray drained;
    int ticks = 0;
    QObject::connect(r.rec.get(), &TAudioRecord2::OnTimer, [&](QObject *s, int current, int, int) {
        ++ticks;
        EXPECT_EQ(s, r.rec.get());
        EXPECT_EQ(current, 120);
        r.rec->Stop();
        for (SampleArray a = r.rec->GetArray(); !a.empty(); a = r.rec->GetArray())
            drained.insert(drained.end(), a.begin(), a.end());
    });
    r.rec->Start();
    r.push(120);
    ASSERT_TRUE(test_support::wait_until([&] { return ticks > 0; }, 3000));
    pump();
    EXPECT_EQ(ticks, 1); // stopped: no more ticks
    EXPECT_EQ(drained, ramp(0, 120));
    EXPECT_EQ(r.fake->stops, 1);
}

TEST(RecordLogic, RestartInsideBlockHandlerCountsAfresh)
{
    Recorder r;
    bool restarted = false;
    QObject::connect(r.rec.get(), &TAudioRecord2::OnEndArrayRecord, [&](QObject *, int) {
        if (!restarted) {
            restarted = true;
            r.rec->Stop();
            r.rec->Start();
        }
    });
    r.rec->Start();
    r.push(500); // five blocks owed, but the first handler starts a new run
    pump();
    EXPECT_EQ(r.blocks, (std::vector<int>{1}));
    EXPECT_EQ(r.rec->RecordedSamples(), 0);
    r.push(100);
    pump();
    EXPECT_EQ(r.blocks, (std::vector<int>{1, 1}));
    EXPECT_EQ(r.fake->starts.size(), 2u);
}

TEST(RecordLogic, HandlerPumpingEventsLosesAndDuplicatesNothing)
{
    // The owner's block handler runs processEvents twice, then takes one array.
    Recorder r(8000, 1, 80);
    SampleArray written;
    QObject::connect(r.rec.get(), &TAudioRecord2::OnEndArrayRecord, [&](QObject *, int) {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        SampleArray a = r.rec->GetArray();
        written.insert(written.end(), a.begin(), a.end());
    });
    r.rec->Start();
    for (int i = 0; i < 40; ++i) {
        r.push(37);
        if (i % 3 == 0)
            QCoreApplication::processEvents();
    }
    pump();
    r.rec->Stop();
    for (SampleArray a = r.rec->GetArray(); !a.empty(); a = r.rec->GetArray())
        written.insert(written.end(), a.begin(), a.end());
    EXPECT_EQ(written, ramp(0, 40 * 37));
    std::vector<int> expected(40 * 37 / 80);
    std::iota(expected.begin(), expected.end(), 1);
    std::vector<int> seen = r.blocks;
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, expected);
}

TEST(RecordLogic, StartThatCannotOpenGivesErrorOne)
{
    Recorder r;
    r.fake->start_succeeds = false;
    int ticks = 0;
    QObject::connect(r.rec.get(), &TAudioRecord2::OnTimer, [&] { ++ticks; });
    r.rec->Start();
    EXPECT_EQ(r.rec->ErrorCode(), 1);
    test_support::wait_until([] { return false; }, 250);
    EXPECT_EQ(ticks, 0);
    r.fake->start_succeeds = true;
    r.rec->Start();
    EXPECT_EQ(r.rec->ErrorCode(), 0);
}

TEST(RecordLogic, StreamFailureGivesErrorTwoAndABlockEvent)
{
    Recorder r;
    int error_at_event = -1;
    QObject::connect(r.rec.get(), &TAudioRecord2::OnEndArrayRecord,
                     [&](QObject *, int) { error_at_event = r.rec->ErrorCode(); });
    r.rec->Start();
    r.push(30); // less than a block
    r.fake->fail(2);
    pump();
    EXPECT_EQ(r.rec->ErrorCode(), 2);
    EXPECT_EQ(error_at_event, 2);
    EXPECT_EQ(r.blocks.size(), 1u);
    r.rec->Stop();
    EXPECT_EQ(r.rec->GetArray().size(), 30u);
}

TEST(RecordLogic, TimerReportsPositionAndPeakLevelsPerChannel)
{
    Recorder r(44100, 2, 0);
    std::vector<std::array<int, 3>> ticks;
    QObject::connect(r.rec.get(), &TAudioRecord2::OnTimer, [&](QObject *, int c, int l, int rr) {
        ticks.push_back({c, l, rr});
    });
    r.rec->Start();
    r.fake->push({100, -200, 1000, -32768, -5, 7});
    ASSERT_TRUE(test_support::wait_until([&] { return !ticks.empty(); }, 3000));
    EXPECT_EQ(ticks[0], (std::array<int, 3>{6, 1000, 32767}));
    ASSERT_TRUE(test_support::wait_until([&] { return ticks.size() >= 2; }, 3000));
    EXPECT_EQ(ticks[1], (std::array<int, 3>{6, 0, 0})); // peaks are per period
    EXPECT_TRUE(r.blocks.empty());                      // BlockSize 0: no block events
}

TEST(RecordLogic, SetWaveFormatRejectsImpossibleFormats)
{
    Recorder r;
    EXPECT_THROW(r.rec->SetWaveFormat(0, 2), EngineError);
    EXPECT_THROW(r.rec->SetWaveFormat(44100, 0), EngineError);
    EXPECT_THROW(r.rec->SetWaveFormat(44100, 9), EngineError);
}

struct Conversion {
    uint32_t rate;
    int channels;
    int ms;
    int samples;
};

class RecordConversion : public ::testing::TestWithParam<Conversion>
{
};

TEST_P(RecordConversion, MillisecondsAndSamplesUseRateTimesChannels)
{
    const Conversion c = GetParam();
    Recorder r(c.rate, c.channels);
    EXPECT_EQ(r.rec->MillisecondsToSamples(c.ms), c.samples);
    EXPECT_EQ(r.rec->SamplesToMilliseconds(c.samples), c.ms);
    EXPECT_EQ(r.rec->SamplesToMilliseconds(c.samples - 1), c.ms - 1); // toward zero
}

INSTANTIATE_TEST_SUITE_P(Formats, RecordConversion,
                         ::testing::Values(Conversion{44100, 2, 200, 17640},
                                           Conversion{8000, 1, 200, 1600},
                                           Conversion{48000, 2, 1000, 96000},
                                           Conversion{11025, 1, 3000, 33075}));

namespace
{

std::vector<CaptureDeviceInfo> two_cards()
{
    CaptureDeviceInfo a{
        QStringLiteral("Built-in Audio"),
        true,
        {{QStringLiteral("Microphone"), QStringLiteral("alsa_input"), QStringLiteral("mic")},
         {QStringLiteral("Line In"), QStringLiteral("alsa_input"), QStringLiteral("line")},
         {QStringLiteral("Monitor of Speakers"), QStringLiteral("alsa_output.monitor"), {}}}};
    CaptureDeviceInfo dead{QStringLiteral("HDMI (off)"), false, {}};
    CaptureDeviceInfo usb{QStringLiteral("USB Mic"),
                          true,
                          {{QStringLiteral("USB Mic"), QStringLiteral("usb_input"), {}}}};
    return {a, dead, usb};
}

} // namespace

TEST(RecordDevices, NoServerMeansNoDevices)
{
    Recorder r;
    r.fake->server_present = false;
    EXPECT_LT(r.rec->LastDeviceIndex(), 0);
    EXPECT_FALSE(r.rec->DeviceUsable());
    EXPECT_EQ(r.rec->InputLineCount(), 0);
    EXPECT_EQ(r.rec->InputLineVolume(), 0);
    r.rec->Start();
    EXPECT_EQ(r.rec->ErrorCode(), 1);
}

TEST(RecordDevices, DevicesLinesAndUsabilityFollowTheBackend)
{
    Recorder r;
    r.fake->device_list = two_cards();
    ASSERT_EQ(r.rec->LastDeviceIndex(), 2);
    r.rec->setDeviceIndex(0);
    EXPECT_TRUE(r.rec->DeviceUsable());
    EXPECT_EQ(r.rec->DeviceName(), QStringLiteral("Built-in Audio"));
    EXPECT_EQ(r.rec->InputLineCount(), 3);
    r.rec->setInputLineIndex(3);
    EXPECT_EQ(r.rec->InputLineName(), QStringLiteral("Monitor of Speakers"));
    r.rec->setDeviceIndex(1);
    EXPECT_FALSE(r.rec->DeviceUsable());
    EXPECT_EQ(r.rec->InputLineCount(), 0);
    EXPECT_TRUE(r.rec->InputLineName().isEmpty());
    r.rec->setDeviceIndex(2);
    EXPECT_EQ(r.rec->DeviceName(), QStringLiteral("USB Mic"));
    r.rec->setDeviceIndex(7); // out of range reads as nothing, never crashes
    EXPECT_FALSE(r.rec->DeviceUsable());
    EXPECT_TRUE(r.rec->DeviceName().isEmpty());

    r.fake->device_list.pop_back(); // a device went away: LastDeviceIndex reads afresh
    EXPECT_EQ(r.rec->LastDeviceIndex(), 1);
}

TEST(RecordDevices, VolumeIsReadAndWrittenThroughTheSelectedLine)
{
    Recorder r;
    r.fake->device_list = two_cards();
    r.fake->volumes[QStringLiteral("alsa_input")] = 40000;
    r.rec->LastDeviceIndex();
    r.rec->setDeviceIndex(0);
    r.rec->setInputLineIndex(2);
    EXPECT_EQ(r.rec->InputLineVolume(), 40000);
    r.rec->setInputLineVolume(70000); // clamped to full
    EXPECT_EQ(r.fake->volumes[QStringLiteral("alsa_input")], 65535);
    r.rec->setInputLineVolume(-3);
    EXPECT_EQ(r.rec->InputLineVolume(), 0);
    r.rec->setInputLineIndex(3);
    EXPECT_EQ(r.rec->InputLineVolume(), 0); // unreadable volume reads as 0
}

TEST(RecordDevices, SelectedLineIsRecordedElseTheDefaultSource)
{
    Recorder r;
    r.fake->device_list = two_cards();
    r.rec->Start();
    r.rec->Stop();
    ASSERT_EQ(r.fake->starts.size(), 1u);
    EXPECT_TRUE(r.fake->starts[0].line.source_name.isEmpty());

    r.rec->LastDeviceIndex();
    r.rec->setDeviceIndex(0);
    r.rec->setInputLineIndex(2);
    r.rec->setInputLineSelected(true);
    ASSERT_EQ(r.fake->selected.size(), 1u);
    EXPECT_EQ(r.fake->selected[0].port_name, QStringLiteral("line"));
    r.rec->setDeviceIndex(2); // browsing other devices does not change the recorded line
    r.rec->LastDeviceIndex(); // nor does re-reading the list
    r.rec->Start();
    ASSERT_EQ(r.fake->starts.size(), 2u);
    EXPECT_EQ(r.fake->starts[1].line.source_name, QStringLiteral("alsa_input"));
    EXPECT_EQ(r.fake->starts[1].line.port_name, QStringLiteral("line"));
}
