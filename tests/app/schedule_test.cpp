// The schedule, driven tick by tick with a test clock.
#include "app_harness.h"

#include "pulse/audio_record.h"
#include "recordlist.h"
#include "settings_file.h"
#include "sleep_inhibitor.h"

#include <QTimeZone>
#include <gtest/gtest.h>

namespace
{

class Schedule : public ::testing::Test
{
protected:
    QTemporaryDir out;
    void SetUp() override
    {
        reset_settings();
        put_setting(QStringLiteral("format"), QStringLiteral("path"), out.path());
        put_setting(QStringLiteral("format"), QStringLiteral("format"), QStringLiteral("2"));
    }
    // Writes the schedule the way the settings dialog stores it.
    static void schedule(int mode, QTime begin, QTime end, QDate special = {})
    {
        SettingsFile s(QStringLiteral("velquor.ini"));
        s.write_integer(QStringLiteral("schedule"), QStringLiteral("schedule"), mode);
        s.write_time(QStringLiteral("schedule"), QStringLiteral("begin time"), begin);
        s.write_time(QStringLiteral("schedule"), QStringLiteral("end time"), end);
        if (special.isValid())
            s.write_date(QStringLiteral("schedule"), QStringLiteral("special day"), special);
    }
    static void tick(AppHarness &app, QDateTime at)
    {
        app.clock->time = at;
        app.main->TimerTimer();
    }
};

const QDate wednesday(2026, 12, 9);

TEST_F(Schedule, EveryDayStartsAtTheBeginOfTheHalfOpenWindow)
{
    schedule(1, QTime(10, 0), QTime(10, 30));
    AppHarness app;
    tick(app, QDateTime(wednesday, QTime(9, 59, 59, 999)));
    EXPECT_FALSE(app.main->recording);
    EXPECT_TRUE(app.main->Timer.isActive());
    tick(app, QDateTime(wednesday, QTime(10, 0, 0, 400)));
    EXPECT_TRUE(app.main->recording);
    EXPECT_TRUE(app.main->scheduled_run);
    EXPECT_EQ(app.main->scheduled_length_s, 1799);
    EXPECT_FALSE(app.main->Timer.isActive());
    EXPECT_TRUE(app.inhibitor->held());
    app.click(QStringLiteral("Stop"));
    EXPECT_FALSE(app.main->scheduled_run);
    EXPECT_FALSE(app.main->Timer.isActive()) << "the schedule stays off after its recording";
    EXPECT_FALSE(app.inhibitor->held());
    EXPECT_EQ(app.inhibitor->released, 1);
}

TEST_F(Schedule, LengthsAreTruncatedAsComputed)
{
    for (const auto &[begin, end, length] :
         {std::tuple{QTime(8, 0), QTime(9, 0), 3600}, std::tuple{QTime(10, 0), QTime(10, 30), 1799},
          std::tuple{QTime(0, 0), QTime(23, 59, 59), 86399}}) {
        reset_settings();
        put_setting(QStringLiteral("format"), QStringLiteral("path"), out.path());
        schedule(1, begin, end);
        AppHarness app;
        tick(app, QDateTime(wednesday, begin));
        EXPECT_EQ(app.main->scheduled_length_s, length) << begin.toString().toStdString();
        app.click(QStringLiteral("Stop"));
    }
}

TEST_F(Schedule, TheEndTimeAndEmptyOrReversedWindowsStartNothing)
{
    schedule(1, QTime(10, 0), QTime(10, 30));
    AppHarness app;
    tick(app, QDateTime(wednesday, QTime(10, 30)));
    EXPECT_FALSE(app.main->recording);
    tick(app, QDateTime(wednesday, QTime(23, 0))); // late: the window has passed
    EXPECT_FALSE(app.main->recording);
    schedule(1, QTime(11, 0), QTime(11, 0));
    tick(app, QDateTime(wednesday, QTime(11, 0)));
    EXPECT_FALSE(app.main->recording);
    schedule(1, QTime(12, 0), QTime(11, 0));
    tick(app, QDateTime(wednesday, QTime(11, 30)));
    EXPECT_FALSE(app.main->recording);
    EXPECT_TRUE(app.main->Timer.isActive());
}

TEST_F(Schedule, ALateTickInsideTheWindowStillStartsWithTheFullLength)
{
    schedule(1, QTime(10, 0), QTime(10, 30));
    AppHarness app;
    tick(app, QDateTime(wednesday, QTime(10, 20)));
    EXPECT_TRUE(app.main->recording);
    EXPECT_EQ(app.main->scheduled_length_s, 1799);
    app.click(QStringLiteral("Stop"));
}

TEST_F(Schedule, EveryWeekRecordsOnTheSpecialDaysWeekdayBeforeAndAfterIt)
{
    for (const int weeks : {-3, 0, 1, 52}) {
        reset_settings();
        put_setting(QStringLiteral("format"), QStringLiteral("path"), out.path());
        schedule(2, QTime(10, 0), QTime(10, 30), wednesday);
        AppHarness app;
        tick(app, QDateTime(wednesday.addDays(7 * weeks + 1), QTime(10, 5)));
        EXPECT_FALSE(app.main->recording) << weeks;
        EXPECT_TRUE(app.main->Timer.isActive());
        tick(app, QDateTime(wednesday.addDays(7 * weeks - 3), QTime(10, 5)));
        EXPECT_FALSE(app.main->recording) << weeks;
        tick(app, QDateTime(wednesday.addDays(7 * weeks), QTime(10, 5)));
        EXPECT_TRUE(app.main->recording) << weeks;
        app.click(QStringLiteral("Stop"));
    }
}

TEST_F(Schedule, ASpecialDayRecordsOnceAndSwitchesOffWhenPassed)
{
    schedule(3, QTime(10, 0), QTime(10, 30), wednesday);
    AppHarness app;
    tick(app, QDateTime(wednesday.addDays(-1), QTime(10, 5)));
    EXPECT_FALSE(app.main->recording);
    EXPECT_TRUE(app.main->Timer.isActive());
    tick(app, QDateTime(wednesday, QTime(11, 0))); // the day, after its window
    EXPECT_FALSE(app.main->recording);
    EXPECT_TRUE(app.main->Timer.isActive());
    tick(app, QDateTime(wednesday.addDays(1), QTime(10, 5)));
    EXPECT_FALSE(app.main->recording);
    EXPECT_FALSE(app.main->Timer.isActive());

    schedule(3, QTime(10, 0), QTime(10, 30), wednesday);
    app.main->Timer.start();
    tick(app, QDateTime(wednesday, QTime(10, 29, 59)));
    EXPECT_TRUE(app.main->recording);
    app.click(QStringLiteral("Stop"));
}

TEST_F(Schedule, ModeZeroSwitchesOffAndUnknownModesWait)
{
    schedule(9, QTime(10, 0), QTime(10, 30));
    AppHarness app;
    tick(app, QDateTime(wednesday, QTime(10, 5)));
    EXPECT_FALSE(app.main->recording);
    EXPECT_TRUE(app.main->Timer.isActive());
    schedule(0, QTime(10, 0), QTime(10, 30));
    tick(app, QDateTime(wednesday, QTime(10, 5)));
    EXPECT_FALSE(app.main->Timer.isActive());
    EXPECT_FALSE(app.main->recording);
}

TEST_F(Schedule, NoScheduleKeysMeansAWindowThatNeverOpens)
{
    put_setting(QStringLiteral("schedule"), QStringLiteral("schedule"), QStringLiteral("1"));
    AppHarness app;
    tick(app, QDateTime(wednesday, QTime(10, 5)));
    EXPECT_FALSE(app.main->recording);
    EXPECT_TRUE(app.main->Timer.isActive());
}

TEST_F(Schedule, AHandStartedRecordingIsFinishedFirstAndPlaybackDoesNotStopIt)
{
    schedule(1, QTime(10, 0), QTime(10, 30));
    AppHarness app;
    app.clock->time = QDateTime(wednesday, QTime(9, 50));
    app.click(QStringLiteral("Record"));
    app.push_seconds(1.0);
    app.settle();
    tick(app, QDateTime(wednesday, QTime(10, 0)));
    ASSERT_EQ(app.list->count(), 2);
    EXPECT_EQ(app.list->length_text_of(0), QStringLiteral("00:00:01"));
    EXPECT_EQ(app.list->image_of(1), image_recording);
    EXPECT_TRUE(app.main->scheduled_run);
    app.click(QStringLiteral("Stop"));

    schedule(1, QTime(11, 0), QTime(11, 30));
    app.main->Timer.start();
    app.main->playing = true; // the skin's Record would refuse now; the schedule does not
    tick(app, QDateTime(wednesday, QTime(11, 0)));
    EXPECT_TRUE(app.main->recording);
    app.main->playing = false;
    app.click(QStringLiteral("Stop"));
}

TEST_F(Schedule, AFailedStartLeavesTheScheduledLengthForTheNextRecording)
{
    put_setting(QStringLiteral("format"), QStringLiteral("path"),
                QStringLiteral("/proc/velquor/nope"));
    schedule(1, QTime(10, 0), QTime(10, 0, 3));
    AppHarness app;
    tick(app, QDateTime(wednesday, QTime(10, 0, 1)));
    EXPECT_FALSE(app.main->recording);
    EXPECT_TRUE(app.main->scheduled_run);
    EXPECT_FALSE(app.main->Timer.isActive());
    EXPECT_EQ(app.dialogs->count(QStringLiteral("box")), 1);

    // The next recording, started by hand, ends after the scheduled length.
    put_setting(QStringLiteral("format"), QStringLiteral("path"), out.path());
    app.click(QStringLiteral("Record"));
    ASSERT_TRUE(app.main->recording);
    for (int i = 0; i < 5 && app.main->recording; ++i) {
        app.push_seconds(1.0);
        app.settle();
    }
    EXPECT_FALSE(app.main->recording);
    EXPECT_FALSE(app.main->scheduled_run);
    EXPECT_EQ(app.list->length_text_of(0),
              QStringLiteral("00:00:0%1").arg(app.main->scheduled_length_s));
}

TEST_F(Schedule, TheScheduledRecordingStopsAtItsLengthEvenWithALimitThen)
{
    put_setting(QStringLiteral("limit"), QStringLiteral("enable limit"), QStringLiteral("1"));
    put_setting(QStringLiteral("limit"), QStringLiteral("time"), QStringLiteral("3"));
    put_setting(QStringLiteral("limit"), QStringLiteral("new"), QStringLiteral("1"));
    schedule(1, QTime(10, 0), QTime(10, 0, 3)); // 3 s, the same as the limit
    AppHarness app;
    tick(app, QDateTime(wednesday, QTime(10, 0)));
    ASSERT_TRUE(app.main->recording);
    EXPECT_EQ(app.main->scheduled_length_s, 3);
    for (int i = 0; i < 5 && app.main->recording; ++i) {
        app.push_seconds(1.0);
        app.settle();
    }
    EXPECT_FALSE(app.main->recording);
    EXPECT_EQ(app.list->count(), 1) << "the limit rolled a stopped scheduled recording over";
    EXPECT_FALSE(app.main->Timer.isActive());
}

TEST_F(Schedule, ATickWhileTheSaveDialogIsOpenWaitsForIt)
{
    put_setting(QStringLiteral("format"), QStringLiteral("auto name"), QStringLiteral("0"));
    schedule(1, QTime(10, 0), QTime(10, 30));
    AppHarness app;
    app.clock->time = QDateTime(wednesday, QTime(10, 5));
    app.dialogs->save_answers.push_back(
        Dialogs::SaveChoice{out.filePath(QStringLiteral("by hand")), 3});
    app.dialogs->while_saving = [&] { app.main->TimerTimer(); };
    app.click(QStringLiteral("Record"));
    ASSERT_TRUE(app.main->recording);
    EXPECT_FALSE(app.main->scheduled_run) << "the schedule acted on a start still in its dialog";
    EXPECT_TRUE(app.main->Timer.isActive());
    ASSERT_EQ(app.list->count(), 1);
    EXPECT_EQ(app.main->recording_file(), out.filePath(QStringLiteral("by hand.wav")));

    // The next tick finishes the recording by hand and starts the scheduled one.
    app.dialogs->while_saving = nullptr;
    app.dialogs->save_answers.push_back(
        Dialogs::SaveChoice{out.filePath(QStringLiteral("scheduled")), 3});
    app.push_seconds(1.0);
    app.settle();
    app.main->TimerTimer();
    EXPECT_TRUE(app.main->scheduled_run);
    ASSERT_EQ(app.list->count(), 2);
    EXPECT_EQ(app.list->length_text_of(0), QStringLiteral("00:00:01"));
    EXPECT_EQ(app.list->image_of(0), image_idle);
    EXPECT_EQ(app.list->image_of(1), image_recording);
    app.click(QStringLiteral("Stop"));
}

TEST_F(Schedule, ClosingWhileTheSaveDialogIsOpenCallsTheStartOff)
{
    put_setting(QStringLiteral("format"), QStringLiteral("auto name"), QStringLiteral("0"));
    AppHarness app;
    app.dialogs->save_answers.push_back(
        Dialogs::SaveChoice{out.filePath(QStringLiteral("late")), 3});
    app.dialogs->while_saving = [&] { app.main->close(); };
    app.click(QStringLiteral("Record"));
    EXPECT_FALSE(app.main->recording);
    EXPECT_EQ(app.list->count(), 0);
    EXPECT_FALSE(QFile::exists(out.filePath(QStringLiteral("late.wav"))));
    EXPECT_TRUE(app.capture->starts.empty());
}

class ScheduleAcrossClockChanges : public Schedule
{
protected:
    QTimeZone berlin{"Europe/Berlin"};
    QDateTime at(QDate day, int h, int m, int offset_hours) const
    {
        // An instant given by its UTC offset, seen on the Berlin wall clock.
        return QDateTime(day, QTime(h, m), Qt::OffsetFromUTC, offset_hours * 3600)
            .toTimeZone(berlin);
    }
};

TEST_F(ScheduleAcrossClockChanges, SpringForwardDoesNotSkipAWindowInTheMissingHour)
{
    ASSERT_TRUE(berlin.isValid());
    const QDate spring(2026, 3, 29); // 02:00 CET becomes 03:00 CEST
    schedule(1, QTime(2, 15), QTime(2, 45));
    AppHarness app;
    tick(app, at(spring, 1, 59, 1));
    EXPECT_FALSE(app.main->recording);
    // Every second after the jump until the window has gone by.
    for (QDateTime t = at(spring, 3, 0, 2); t < at(spring, 4, 0, 2) && !app.main->recording;
         t = t.addSecs(60))
        tick(app, t);
    EXPECT_TRUE(app.main->recording) << "the day's window was skipped";
    EXPECT_EQ(app.main->scheduled_length_s, 1799);
    app.click(QStringLiteral("Stop"));
}

TEST_F(ScheduleAcrossClockChanges, FallBackStartsOnlyOnceInTheRepeatedHour)
{
    const QDate autumn(2026, 10, 25); // 03:00 CEST becomes 02:00 CET
    schedule(1, QTime(2, 15), QTime(2, 45));
    AppHarness app;
    int starts = 0;
    // Ticks as the timer gives them: only while it is switched on.
    for (QDateTime t = at(autumn, 1, 50, 2); t < at(autumn, 4, 0, 1); t = t.addSecs(30)) {
        if (!app.main->Timer.isActive())
            continue;
        tick(app, t);
        if (app.main->recording) {
            ++starts;
            EXPECT_EQ(app.main->scheduled_length_s, 1799);
        }
    }
    EXPECT_EQ(starts, 1);
}

TEST(SleepInhibitor, WithoutASystemBusRecordingGoesOnWithoutIt)
{
    // The test harness has no system bus: the real inhibitor says so and does not throw.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/velquor-bus");
    LoginManagerInhibitor inhibitor;
    EXPECT_FALSE(inhibitor.acquire(QStringLiteral("test")));
    EXPECT_FALSE(inhibitor.held());
    inhibitor.release();
}

} // namespace
