#include "sound_trigger.h"

#include "settings_file.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace
{

constexpr int window_ms = 10;
constexpr int64_t hold_cap_ms = 30000;

int peak_of_db(int db)
{
    return static_cast<int>(std::lround(32768.0 * std::pow(10.0, db / 20.0)));
}

int peak(const int16_t *samples, size_t count)
{
    int p = 0;
    for (size_t i = 0; i < count; ++i)
        p = std::max(p, std::abs(static_cast<int>(samples[i])));
    return p;
}

} // namespace

TriggerSettings read_trigger(const SettingsFile &s)
{
    TriggerSettings t;
    t.start_db = std::clamp(s.integer(keys::trigger::start_level), -60, 0);
    t.start_after_ms = std::clamp(s.integer(keys::trigger::start_after), 0, 60000);
    t.pre_record_s = std::clamp(s.integer(keys::trigger::pre_record), 0, 30);
    t.silence_db = std::clamp(s.integer(keys::trigger::silence_level), -90, 0);
    t.silence_s = std::clamp(s.integer(keys::trigger::silence_time), 1, 3600);
    t.on_silence = std::clamp(s.integer(keys::trigger::on_silence), 0, 2);
    return t;
}

SoundTrigger::SoundTrigger(const TriggerSettings &settings, uint32_t rate, int channels)
    : m_settings(settings), m_rate(rate), m_channels(std::max(channels, 1))
{
    m_window = static_cast<size_t>(std::max<int64_t>(frames(window_ms), 1));
    m_keep_cap = frames(settings.pre_record_s * 1000LL + settings.start_after_ms + 2 * window_ms);
    m_hold_cap = frames(hold_cap_ms) + frames(settings.pre_record_s * 1000LL);
    m_start_peak = peak_of_db(settings.start_db);
    m_silence_peak = peak_of_db(settings.silence_db);
}

int64_t SoundTrigger::frames(int64_t ms) const
{
    return static_cast<int64_t>(m_rate) * ms / 1000 * m_channels;
}

size_t SoundTrigger::kept_bytes() const
{
    return (m_kept.size() + m_partial.size()) * sizeof(int16_t);
}

std::vector<SoundTrigger::Action> SoundTrigger::feed(const int16_t *samples, size_t count)
{
    std::vector<Action> out;
    size_t at = 0;
    // Complete the window a previous block began.
    if (!m_partial.empty()) {
        const size_t take = std::min(count, m_window - m_partial.size());
        m_partial.insert(m_partial.end(), samples, samples + take);
        at = take;
        if (m_partial.size() < m_window)
            return out;
        const SampleArray whole = std::move(m_partial);
        m_partial.clear();
        window(whole.data(), whole.size(), out);
    }
    for (; at + m_window <= count; at += m_window)
        window(samples + at, m_window, out);
    m_partial.assign(samples + at, samples + count);
    return out;
}

std::vector<SoundTrigger::Action> SoundTrigger::finish()
{
    std::vector<Action> out;
    if (m_file_open && m_state != State::waiting) {
        if (m_state == State::holding)
            write_held(m_kept.size(), out);
        write(m_partial.data(), m_partial.size() - m_partial.size() % m_channels, out);
    }
    m_partial.clear();
    m_kept.clear();
    m_stopped = true;
    return out;
}

void SoundTrigger::window(const int16_t *samples, size_t count, std::vector<Action> &out)
{
    if (m_stopped)
        return;
    const int level = peak(samples, count);
    switch (m_state) {
    case State::waiting:
        keep(samples, count);
        m_loud_run = level >= m_start_peak ? m_loud_run + static_cast<int64_t>(count) : 0;
        if (m_loud_run >= std::max<int64_t>(frames(m_settings.start_after_ms), 1))
            open_from_kept(out);
        return;
    case State::recording:
        if (level < m_silence_peak) {
            m_state = State::holding;
            m_kept.assign(samples, samples + count);
            return;
        }
        write(samples, count, out);
        return;
    case State::holding:
        if (level >= m_silence_peak) {
            // A pause inside the sound: it stays in the file whole.
            write_held(m_kept.size(), out);
            m_state = State::recording;
            write(samples, count, out);
            return;
        }
        m_kept.insert(m_kept.end(), samples, samples + count);
        if (static_cast<int64_t>(m_kept.size()) > m_hold_cap)
            write_held(m_kept.size() - static_cast<size_t>(m_hold_cap), out);
        if (static_cast<int64_t>(m_kept.size()) < frames(m_settings.silence_s * 1000LL))
            return;
        break;
    }

    // The silence is long enough. (A file the limit has just ended has no
    // successor yet, and gets none for a silence.)
    m_next_file_owed = false;
    if (m_settings.on_silence != 0) {
        if (m_file_open) {
            const int64_t tail = std::min(frames(m_settings.pre_record_s * 1000LL),
                                          frames(m_settings.silence_s * 500LL));
            write_held(static_cast<size_t>(tail - tail % m_channels), out);
            out.push_back({Action::Kind::finish_file, {}});
        }
        m_file_open = false;
        if (m_settings.on_silence == 1) {
            out.push_back({Action::Kind::stop, {}});
            m_stopped = true;
            return;
        }
    }
    // What is held now is the sound before whatever comes next.
    while (static_cast<int64_t>(m_kept.size()) > m_keep_cap)
        m_kept.pop_front();
    m_loud_run = 0;
    m_state = State::waiting;
}

void SoundTrigger::keep(const int16_t *samples, size_t count)
{
    m_kept.insert(m_kept.end(), samples, samples + count);
    while (static_cast<int64_t>(m_kept.size()) > m_keep_cap)
        m_kept.pop_front();
}

void SoundTrigger::open_from_kept(std::vector<Action> &out)
{
    // From `pre record` before the loud stretch began, as far as was kept.
    const int64_t lead = frames(m_settings.pre_record_s * 1000LL) + m_loud_run;
    const auto skip =
        static_cast<size_t>(std::max<int64_t>(0, static_cast<int64_t>(m_kept.size()) - lead));
    if (!m_file_open) {
        out.push_back({Action::Kind::open_file, {}});
        m_file_open = true;
        m_file_samples = 0;
    }
    const SampleArray sound(m_kept.begin() + static_cast<std::ptrdiff_t>(skip), m_kept.end());
    m_kept.clear();
    m_state = State::recording;
    m_loud_run = 0;
    write(sound.data(), sound.size(), out);
}

void SoundTrigger::write_held(size_t count, std::vector<Action> &out)
{
    count = std::min(count, m_kept.size());
    const SampleArray held(m_kept.begin(), m_kept.begin() + static_cast<std::ptrdiff_t>(count));
    m_kept.erase(m_kept.begin(), m_kept.begin() + static_cast<std::ptrdiff_t>(count));
    write(held.data(), held.size(), out);
}

void SoundTrigger::write(const int16_t *samples, size_t count, std::vector<Action> &out)
{
    while (count > 0 && !m_stopped) {
        if (!m_file_open) {
            if (!m_next_file_owed)
                return;
            // The file after one the limit ended opens with its first sample.
            out.push_back({Action::Kind::open_file, {}});
            m_file_open = true;
            m_next_file_owed = false;
            m_file_samples = 0;
        }
        size_t take = count;
        const int64_t limit = m_settings.limit_samples;
        if (limit > 0)
            take = static_cast<size_t>(std::min<int64_t>(count, limit - m_file_samples));
        if (take > 0) {
            if (!out.empty() && out.back().kind == Action::Kind::write)
                out.back().samples.insert(out.back().samples.end(), samples, samples + take);
            else
                out.push_back({Action::Kind::write, SampleArray(samples, samples + take)});
            m_file_samples += static_cast<int64_t>(take);
            samples += take;
            count -= take;
        }
        if (limit > 0 && m_file_samples >= limit) {
            out.push_back({Action::Kind::finish_file, {}});
            m_file_open = false;
            if (!m_settings.limit_new_file) {
                out.push_back({Action::Kind::stop, {}});
                m_stopped = true;
                return;
            }
            m_next_file_owed = true;
        }
    }
}
