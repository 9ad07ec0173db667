// The recording schedule, checked on every tick of the main window's Timer.
#include "main.h"

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

void Tfm_main::TimerTimer()
{
    // Closed, or a start waiting in its save dialog: nothing to decide now.
    if (!settings_file || m_closed || m_starting)
        return;
    const QDateTime now = m_services.clock->now();
    const QDate today = now.date();
    const QString section = QStringLiteral("schedule");
    const QTime begin = settings_file->read_time(section, QStringLiteral("begin time"), now.time());
    const QTime end = settings_file->read_time(section, QStringLiteral("end time"), now.time());
    const int mode = settings_file->read_integer(section, QStringLiteral("schedule"), 0);

    switch (mode) {
    case 0:
        Timer.stop();
        return;
    case 1:
        break;
    case 2: {
        const QDate special =
            settings_file->read_date(section, QStringLiteral("special day"), today);
        if (special.daysTo(today) % 7 != 0)
            return;
        break;
    }
    case 3: {
        const QDate special =
            settings_file->read_date(section, QStringLiteral("special day"), today);
        if (today != special) {
            if (today > special)
                Timer.stop();
            return;
        }
        break;
    }
    default:
        return;
    }

    // The window is half-open and compared as instants, so that a clock
    // change inside it neither opens it twice nor skips it.
    if (now < instant_of(today, begin, now) || now >= instant_of(today, end, now))
        return;

    Timer.stop();
    if (recording)
        stop_recording();
    scheduled_run = true;
    scheduled_length_s = static_cast<int32_t>(
        std::trunc(std::fabs(day_fraction(end) - day_fraction(begin)) * 86400.0));
    start_recording();
}
