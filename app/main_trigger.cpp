// Sound-activated recording: from "Record" on the capture runs, and the
// trigger decides block by block when files begin and end.
#include "main.h"

#include "audio/audio_file.h"
#include "clock_text.h"
#include "pulse/audio_record.h"
#include "settings_file.h"
#include "skin/skin.h"

namespace
{
const QString waiting_text = QStringLiteral("Waiting for sound");
} // namespace

void Tfm_main::arm_recording()
{
    TriggerSettings t = read_trigger(*settings_file);
    const uint32_t rate = AudioFileRecord->SampleRate();
    const int channels = AudioFileRecord->Channels();
    // The limit holds for each file, to its exact sample: the trigger splits them.
    if (settings_file->boolean(keys::limit::enable)) {
        t.limit_samples =
            static_cast<int64_t>(std::max(settings_file->integer(keys::limit::time), 1)) * rate *
            channels;
        t.limit_new_file = settings_file->boolean(keys::limit::new_file);
    }
    limit_active = false;
    m_trigger = std::make_unique<SoundTrigger>(t, rate, channels);
    m_files_before_arming = m_recorded_paths.size();
    set_label(file_name_label, waiting_text);
    set_label(time_label, QStringLiteral("00:00:00/00:00:00"));
    start_capture();
}

bool Tfm_main::run_trigger(const std::vector<SoundTrigger::Action> &actions)
{
    using Kind = SoundTrigger::Action::Kind;
    for (const SoundTrigger::Action &a : actions) {
        switch (a.kind) {
        case Kind::open_file:
            if (!open_recording_file()) {
                recording = true; // told already; the stop that follows ends it
                return false;
            }
            break;
        case Kind::write:
            if (!write_block(a.samples))
                return false;
            break;
        case Kind::finish_file:
            tell_file_faults(close_recording_file());
            set_label(file_name_label, waiting_text);
            break;
        case Kind::stop:
            return false;
        }
    }
    return true;
}

void Tfm_main::trigger_tick()
{
    const int64_t in_file = m_trigger->file_open() ? m_trigger->file_samples() : 0;
    set_label(time_label, QStringLiteral("00:00:00/") +
                              clock_text(AudioRecord->SamplesToMilliseconds(in_file) / 1000));
    // The schedule's window is wall time: armed at its start, ended at its end.
    const int64_t ms =
        AudioRecord->SamplesToMilliseconds(AudioRecord->RunSamples() + recorded_before_pause);
    if (scheduled_run && (ms + m_scheduled_before_ms) / 1000 >= scheduled_length_s)
        stop_recording();
}
