#pragma once
// Sound-activated recording, as a plain decision over the captured samples.
// The capture runs on; every block goes through feed(), which says what to
// do with the output files: open one, write these samples into it, finish
// it, stop. Nothing here touches a file or a window.
//
// Armed, it keeps the last `pre record` seconds; once the level has stayed
// at or above the start level for `start after`, a file opens and gets the
// kept sound from `pre record` before the sound began, then the live sound,
// sample after sample. Sound below the silence level is held back; if it
// comes to `silence time` the file pauses (the held silence is dropped, and
// the file goes on with `pre record` of lead-in once sound comes back),
// stops, or is finished and the trigger waits for the next sound; a finished
// file keeps as much of the silence as its tail as the next file gets as
// lead-in, at most half of it. A file never holds only silence. The length
// limit, when set, splits or ends each file at its exact sample.
//
// Counts are interleaved samples. Memory is bounded: the kept seconds, and
// held silence up to 30 s (a longer silence time writes the oldest of it).

#include "audio_types.h"

#include <cstdint>
#include <deque>
#include <vector>

class SettingsFile;

struct TriggerSettings {
    int start_db = -40;
    int start_after_ms = 100;
    int pre_record_s = 2;
    int silence_db = -50;
    int silence_s = 5;
    int on_silence = 0;         // 0 pause, 1 stop, 2 next file
    int64_t limit_samples = -1; // per file; -1 none
    bool limit_new_file = false;
};

TriggerSettings read_trigger(const SettingsFile &settings);

class SoundTrigger
{
public:
    struct Action {
        enum class Kind { open_file, write, finish_file, stop };
        Kind kind;
        SampleArray samples; // write
    };

    SoundTrigger(const TriggerSettings &settings, uint32_t rate, int channels);

    std::vector<Action> feed(const int16_t *samples, size_t count);
    std::vector<Action> feed(const SampleArray &samples)
    {
        return feed(samples.data(), samples.size());
    }
    // The recording ends: what the open file has not got yet (held silence
    // and the last part of a window).
    std::vector<Action> finish();

    bool file_open() const { return m_file_open; }
    int64_t file_samples() const { return m_file_samples; } // in the open (or last) file
    size_t kept_bytes() const;                              // the memory the trigger holds

private:
    enum class State { waiting, recording, holding };
    void window(const int16_t *samples, size_t count, std::vector<Action> &out);
    void write(const int16_t *samples, size_t count, std::vector<Action> &out);
    void write_held(size_t count, std::vector<Action> &out);
    void keep(const int16_t *samples, size_t count);
    void open_from_kept(std::vector<Action> &out);
    int64_t frames(int64_t ms) const;

    TriggerSettings m_settings;
    uint32_t m_rate;
    int m_channels;
    size_t m_window;    // samples per level window (10 ms)
    int64_t m_keep_cap; // samples the armed trigger keeps
    int64_t m_hold_cap; // samples of silence held back before the oldest are written
    int m_start_peak;   // peak levels for the thresholds
    int m_silence_peak;
    State m_state = State::waiting;
    bool m_file_open = false;
    bool m_next_file_owed = false; // the limit ended a file in the middle of the sound
    bool m_stopped = false;
    int64_t m_file_samples = 0;
    int64_t m_loud_run = 0;     // samples at or above the start level, in a row
    std::deque<int16_t> m_kept; // armed: the latest sound; holding: the held silence
    SampleArray m_partial;      // a window not yet complete
};
