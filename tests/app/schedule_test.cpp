// The schedule, driven tick by tick with a test clock.
#include "app_harness.h"

#include "clock_text.h"
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

TEST_F(Schedule, EveryDayStartsAtTheBeginOfTheHalfOpenWindowAndStaysArmed)
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
    EXPECT_TRUE(app.inhibitor->held());
    app.click(QStringLiteral("Stop"));
    EXPECT_FALSE(app.main->scheduled_run);
    EXPECT_TRUE(app.main->Timer.isActive()) << "tomorrow's window records too";
    tick(app, QDateTime(wednesday, QTime(10, 5)));
    EXPECT_FALSE(app.main->recording) << "a window records once";
    EXPECT_FALSE(app.inhibitor->held());
    EXPECT_EQ(app.inhibitor->released, 1);
}

struct RepeatRow {
    const char *name;
    int mode;
    int days_to_next; // the second tick, this many days later
    int files;
    bool armed_after;
};

class ScheduleRepeats : public Schedule, public ::testing::WithParamInterface<RepeatRow>
{
};

TEST_P(ScheduleRepeats, EachWindowRecordsOnceAndOnlyOnRecordsOnce)
{
    const RepeatRow &row = GetParam();
    schedule(row.mode, QTime(10, 0), QTime(10, 0, 2), wednesday);
    AppHarness app;
    for (const QDate day : {wednesday, wednesday.addDays(row.days_to_next)}) {
        for (const QTime t : {QTime(10, 0), QTime(10, 0, 1)}) {
            tick(app, QDateTime(day, t));
            for (int i = 0; i < 4 && app.main->recording; ++i) {
                app.push_seconds(1.0);
                app.settle();
            }
            EXPECT_FALSE(app.main->recording) << "the scheduled length did not end it";
        }
    }
    EXPECT_EQ(app.list->count(), row.files);
    for (int i = 0; i < app.list->count(); ++i)
        EXPECT_EQ(app.list->length_text_of(i), clock_text(app.main->scheduled_length_s));
    EXPECT_EQ(app.main->Timer.isActive(), row.armed_after);
}

INSTANTIATE_TEST_SUITE_P(Modes, ScheduleRepeats,
                         ::testing::Values(RepeatRow{"every_day", 1, 1, 2, true},
                                           RepeatRow{"every_week_next_week", 2, 7, 2, true},
                                           RepeatRow{"every_week_next_day", 2, 1, 1, true},
                                           RepeatRow{"only_on", 3, 1, 1, false}),
                         [](const auto &info) { return std::string(info.param.name); });

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

TEST_F(Schedule, AFailedStartLeavesNothingForTheNextRecording)
{
    put_setting(QStringLiteral("format"), QStringLiteral("path"),
                QStringLiteral("/proc/velquor/nope"));
    schedule(1, QTime(10, 0), QTime(10, 0, 3));
    AppHarness app;
    tick(app, QDateTime(wednesday, QTime(10, 0, 1)));
    EXPECT_FALSE(app.main->recording);
    EXPECT_FALSE(app.main->scheduled_run);
    EXPECT_EQ(app.dialogs->count(QStringLiteral("box")), 1);
    tick(app, QDateTime(wednesday, QTime(10, 0, 2)));
    EXPECT_EQ(app.dialogs->count(QStringLiteral("box")), 1) << "the failed window was tried again";
    EXPECT_TRUE(app.main->Timer.isActive());

    // The next recording, started by hand, runs as long as the user lets it.
    put_setting(QStringLiteral("format"), QStringLiteral("path"), out.path());
    app.click(QStringLiteral("Record"));
    ASSERT_TRUE(app.main->recording);
    for (int i = 0; i < 5; ++i) {
        app.push_seconds(1.0);
        app.settle();
    }
    EXPECT_TRUE(app.main->recording);
    app.click(QStringLiteral("Stop"));
    EXPECT_EQ(app.list->length_text_of(0), QStringLiteral("00:00:05"));
}

struct SplitRow {
    const char *name;
    int limit_s;
    int window_s;
};

class ScheduleSplitByLimit : public Schedule, public ::testing::WithParamInterface<SplitRow>
{
};

TEST_P(ScheduleSplitByLimit, TheRunEndsAtTheWindowsLength)
{
    const SplitRow &row = GetParam();
    put_setting(keys::limit::enable, QStringLiteral("1"));
    put_setting(keys::limit::time, QString::number(row.limit_s));
    put_setting(keys::limit::new_file, QStringLiteral("1"));
    schedule(3, QTime(10, 0), QTime(10, 0, row.window_s), wednesday);
    AppHarness app;
    tick(app, QDateTime(wednesday, QTime(10, 0)));
    ASSERT_TRUE(app.main->recording);
    for (int i = 0; i < row.window_s + 3 && app.main->recording; ++i) {
        app.push_seconds(1.0);
        app.settle();
    }
    EXPECT_FALSE(app.main->recording);
    EXPECT_FALSE(app.main->scheduled_run);
    // Files of the limit's length until the window's length is recorded in all.
    QStringList expected;
    for (int left = app.main->scheduled_length_s; left > 0; left -= row.limit_s)
        expected << clock_text(std::min(left, row.limit_s));
    QStringList lengths;
    for (int i = 0; i < app.list->count(); ++i)
        lengths << app.list->length_text_of(i);
    EXPECT_EQ(lengths, expected);
    EXPECT_FALSE(app.main->Timer.isActive());
}

INSTANTIATE_TEST_SUITE_P(
    Limits, ScheduleSplitByLimit,
    ::testing::Values(SplitRow{"limit_as_long_as_the_window", 3, 3},
                      SplitRow{"limit_shorter", 2, 6}),
    [](const auto &info) { return std::string(info.param.name); });

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
