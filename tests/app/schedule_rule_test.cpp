// The schedule's decision on one tick: one row per case.
#include "schedule_rule.h"

#include <QTimeZone>
#include <gtest/gtest.h>

namespace
{

using Action = ScheduleDecision::Action;

struct ScheduleRow {
    std::string name;
    ScheduleSettings schedule;
    QDateTime now;
    Action action;
    int32_t length_s = 0;
    bool done_already = false; // this window has recorded before in this run
};

class ScheduleRows : public ::testing::TestWithParam<ScheduleRow>
{
};

TEST_P(ScheduleRows, DecidesAsTheModeAndWindowSay)
{
    const ScheduleRow &row = GetParam();
    ScheduleWindow done;
    if (row.done_already)
        done = {row.now.date(), row.schedule.begin, row.schedule.end};
    const ScheduleDecision d = schedule_decision(row.schedule, row.now, done);
    EXPECT_EQ(d.action, row.action);
    if (row.action == Action::start) {
        EXPECT_EQ(d.length_s, row.length_s);
        EXPECT_EQ(d.window.day, row.now.date());
    }
}

const QDate wednesday(2026, 12, 9);

QDateTime on(QDate day, int h, int m, int s = 0, int ms = 0)
{
    return QDateTime(day, QTime(h, m, s, ms));
}

// An instant given by its UTC offset, seen on the Berlin wall clock.
QDateTime berlin(QDate day, int h, int m, int offset_hours)
{
    return QDateTime(day, QTime(h, m), Qt::OffsetFromUTC, offset_hours * 3600)
        .toTimeZone(QTimeZone("Europe/Berlin"));
}

ScheduleSettings every_day(QTime begin, QTime end)
{
    return {1, begin, end, {}};
}

std::vector<ScheduleRow> rows()
{
    const ScheduleSettings ten = every_day(QTime(10, 0), QTime(10, 30));
    const ScheduleSettings weekly{2, QTime(10, 0), QTime(10, 30), wednesday};
    const ScheduleSettings special{3, QTime(10, 0), QTime(10, 30), wednesday};
    const ScheduleSettings night = every_day(QTime(2, 15), QTime(2, 45));
    const QDate spring(2026, 3, 29);  // 02:00 CET becomes 03:00 CEST
    const QDate autumn(2026, 10, 25); // 03:00 CEST becomes 02:00 CET
    std::vector<ScheduleRow> r = {
        {"just_before_the_window", ten, on(wednesday, 9, 59, 59, 999), Action::wait},
        {"at_the_begin", ten, on(wednesday, 10, 0, 0, 400), Action::start, 1799},
        {"late_in_the_window_full_length", ten, on(wednesday, 10, 20), Action::start, 1799},
        {"at_the_end", ten, on(wednesday, 10, 30), Action::wait},
        {"after_the_window", ten, on(wednesday, 23, 0), Action::wait},
        {"one_hour_exact", every_day(QTime(8, 0), QTime(9, 0)), on(wednesday, 8, 0), Action::start,
         3600},
        {"whole_day", every_day(QTime(0, 0), QTime(23, 59, 59)), on(wednesday, 0, 0), Action::start,
         86399},
        {"empty_window", every_day(QTime(11, 0), QTime(11, 0)), on(wednesday, 11, 0), Action::wait},
        {"reversed_window", every_day(QTime(12, 0), QTime(11, 0)), on(wednesday, 11, 30),
         Action::wait},
        {"no_times_stored", every_day(QTime(10, 5), QTime(10, 5)), on(wednesday, 10, 5),
         Action::wait},
        {"window_recorded_already", ten, on(wednesday, 10, 10), Action::wait, 0, true},
        {"special_day_before", special, on(wednesday.addDays(-1), 10, 5), Action::wait},
        {"special_day_after_its_window", special, on(wednesday, 11, 0), Action::wait},
        {"special_day_passed", special, on(wednesday.addDays(1), 10, 5), Action::switch_off},
        {"special_day_in_window", special, on(wednesday, 10, 29, 59), Action::start, 1799},
        {"special_day_recorded_already", special, on(wednesday, 10, 20), Action::wait, 0, true},
        {"mode_zero",
         {0, QTime(10, 0), QTime(10, 30), {}},
         on(wednesday, 10, 5),
         Action::switch_off},
        {"unknown_mode", {9, QTime(10, 0), QTime(10, 30), {}}, on(wednesday, 10, 5), Action::wait},
        {"spring_gap_before", night, berlin(spring, 1, 59, 1), Action::wait},
        {"spring_gap_moved_by_the_gap", night, berlin(spring, 3, 14, 2), Action::wait},
        {"spring_gap_window_opens", night, berlin(spring, 3, 15, 2), Action::start, 1799},
        // The wall-clock time that happens twice is taken at its second pass.
        {"autumn_first_pass", night, berlin(autumn, 2, 20, 2), Action::wait},
        {"autumn_repeated_hour", night, berlin(autumn, 2, 20, 1), Action::start, 1799},
        {"autumn_repeated_hour_after_recording", night, berlin(autumn, 2, 30, 1), Action::wait, 0,
         true},
    };
    for (const int weeks : {-3, 0, 1, 52}) {
        const QString w = QString::number(weeks).replace(QLatin1Char('-'), QLatin1Char('m'));
        const QDate day = wednesday.addDays(7 * weeks);
        r.push_back({"weekly_" + w.toStdString() + "_day_after", weekly, on(day.addDays(1), 10, 5),
                     Action::wait});
        r.push_back({"weekly_" + w.toStdString() + "_three_days_before", weekly,
                     on(day.addDays(-3), 10, 5), Action::wait});
        r.push_back({"weekly_" + w.toStdString() + "_on_the_weekday", weekly, on(day, 10, 5),
                     Action::start, 1799});
    }
    return r;
}

INSTANTIATE_TEST_SUITE_P(Rows, ScheduleRows, ::testing::ValuesIn(rows()),
                         [](const auto &info) { return info.param.name; });

} // namespace
