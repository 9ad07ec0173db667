// The recording schedule, checked on every tick of the main window's Timer.
#include "main.h"

#include "schedule_rule.h"
#include "settings_file.h"

void Tfm_main::TimerTimer()
{
    // Closed, or a start waiting in its save dialog: nothing to decide now.
    if (!settings_file || m_closed || m_starting)
        return;
    const QDateTime now = m_services.clock->now();
    const ScheduleSettings schedule = read_schedule(*settings_file, now);
    const ScheduleDecision decision = schedule_decision(schedule, now, m_schedule_done);
    switch (decision.action) {
    case ScheduleDecision::Action::wait:
        return;
    case ScheduleDecision::Action::switch_off:
        Timer.stop();
        return;
    case ScheduleDecision::Action::start:
        break;
    }
    // Once per window, whether the start works or not: a failing one would
    // otherwise try (and tell) again every second.
    m_schedule_done = decision.window;
    if (!schedule_repeats(schedule.mode))
        Timer.stop();
    if (recording)
        stop_recording();
    scheduled_run = true;
    scheduled_length_s = decision.length_s;
    m_scheduled_before_ms = 0;
    start_recording();
    // A start that failed leaves nothing that could end a later recording.
    if (!recording)
        scheduled_run = false;
    else
        emit scheduled_started(m_trigger && !m_trigger->file_open() ? QString() : m_record_file);
}

void Tfm_main::end_scheduled_run()
{
    if (!scheduled_run)
        return;
    scheduled_run = false;
    if (!settings_file || !schedule_repeats(settings_file->integer(keys::schedule::mode)))
        Timer.stop();
}
