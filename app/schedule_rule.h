#pragma once
// The schedule's decision on one tick, as a plain function of the schedule
// settings, the wall clock and the window already recorded in this run. The
// main window's Timer handler reads the settings, asks, and acts.

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <cstdint>

class SettingsFile;

struct ScheduleSettings {
    int mode = 0; // 0 off, 1 every day, 2 every week, 3 only on the special day
    QTime begin;
    QTime end;
    QDate special_day;
};

// One day's window: a repeating schedule records each window once.
struct ScheduleWindow {
    QDate day;
    QTime begin;
    QTime end;
    bool operator==(const ScheduleWindow &) const = default;
};

struct ScheduleDecision {
    enum class Action { wait, start, switch_off };
    Action action = Action::wait;
    int32_t length_s = 0;  // start: the recording's length
    ScheduleWindow window; // start: the window that opened
};

// Missing times read as the moment of `now`, a missing day as its date.
ScheduleSettings read_schedule(const SettingsFile &settings, const QDateTime &now);

// `done` is the window this run has already started a recording in (or
// tried to); it never starts twice, also not across a clock change.
ScheduleDecision schedule_decision(const ScheduleSettings &schedule, const QDateTime &now,
                                   const ScheduleWindow &done);

// Every day and every week stay armed after their recording; the special day does not.
constexpr bool schedule_repeats(int mode)
{
    return mode == 1 || mode == 2;
}
