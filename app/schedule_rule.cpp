#include "schedule_rule.h"

#include "settings_file.h"

#include <QTimeZone>
#include <cmath>

namespace
{

// The instant a wall-clock time of `day` happens in the zone of `reference`.
// A time inside a spring-forward gap moves on by the gap, so a window there
// is recorded late rather than skipped; a time that happens twice in autumn
// is taken once, at the occurrence the time-zone data gives.
QDateTime instant_of(const QDate &day, const QTime &time, const QDateTime &reference)
{
    auto make = [&](const QTime &t) {
        if (reference.timeSpec() == Qt::TimeZone)
            return QDateTime(day, t, reference.timeZone());
        return QDateTime(day, t, reference.timeSpec(), reference.offsetFromUtc());
    };
    const QDateTime exact = make(time);
    if (exact.isValid())
        return exact;
    // In the gap: as long after midnight as the wall clock says.
    return make(QTime(0, 0)).addMSecs(time.msecsSinceStartOfDay());
}

double day_fraction(const QTime &t)
{
    return t.msecsSinceStartOfDay() / 86400000.0;
}

} // namespace

ScheduleSettings read_schedule(const SettingsFile &settings, const QDateTime &now)
{
    ScheduleSettings s;
    s.mode = settings.integer(keys::schedule::mode);
    s.begin = settings.time(keys::schedule::begin_time, now.time());
    s.end = settings.time(keys::schedule::end_time, now.time());
    s.special_day = settings.date(keys::schedule::special_day, now.date());
    return s;
}

ScheduleDecision schedule_decision(const ScheduleSettings &schedule, const QDateTime &now,
                                   const ScheduleWindow &done)
{
    using Action = ScheduleDecision::Action;
    const auto only = [](Action action) {
        ScheduleDecision d;
        d.action = action;
        return d;
    };
    const QDate today = now.date();
    switch (schedule.mode) {
    case 0:
        return only(Action::switch_off);
    case 1:
        break;
    case 2:
        if (schedule.special_day.daysTo(today) % 7 != 0)
            return {};
        break;
    case 3:
        if (today != schedule.special_day)
            return only(today > schedule.special_day ? Action::switch_off : Action::wait);
        break;
    default:
        return {};
    }
    // The window is half-open and compared as instants, so that a clock
    // change inside it neither opens it twice nor skips it.
    if (now < instant_of(today, schedule.begin, now) || now >= instant_of(today, schedule.end, now))
        return {};
    const ScheduleWindow window{today, schedule.begin, schedule.end};
    if (window == done)
        return {};
    // The length as the day fractions give it, truncated: 10:00 to 10:30 is 1799 s.
    const auto length = static_cast<int32_t>(
        std::trunc(std::fabs(day_fraction(schedule.end) - day_fraction(schedule.begin)) * 86400.0));
    return {Action::start, length, window};
}
