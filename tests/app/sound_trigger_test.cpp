// Sound-activated recording as the trigger decides it: signals of quiet and
// loud stretches go in, in uneven blocks; each file that comes out must be
// exactly the stretches of the input the settings call for.
#include "sound_trigger.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{

constexpr uint32_t rate = 8000;

struct Stretch {
    char kind; // 'q' quiet, 'm' between the silence and the start level, 'l' loud
    double seconds;
};

SampleArray make_signal(const std::vector<Stretch> &stretches)
{
    SampleArray out;
    for (const Stretch &s : stretches) {
        const double amplitude = s.kind == 'l' ? 16000 : s.kind == 'm' ? 200 : 3;
        for (int i = 0; i < static_cast<int>(s.seconds * rate); ++i)
            out.push_back(static_cast<int16_t>(
                std::lround(amplitude * std::sin(2 * M_PI * 440.0 * out.size() / rate))));
    }
    return out;
}

struct Outcome {
    std::vector<SampleArray> files;
    bool stopped = false;
    size_t most_kept = 0;
};

Outcome run(const SampleArray &signal, const TriggerSettings &settings)
{
    SoundTrigger trigger(settings, rate, 1);
    Outcome o;
    const auto act = [&](const std::vector<SoundTrigger::Action> &actions) {
        for (const auto &a : actions) {
            using Kind = SoundTrigger::Action::Kind;
            if (a.kind == Kind::open_file)
                o.files.emplace_back();
            else if (a.kind == Kind::write)
                o.files.back().insert(o.files.back().end(), a.samples.begin(), a.samples.end());
            else if (a.kind == Kind::stop)
                o.stopped = true;
        }
    };
    // Uneven blocks, as a capture hands them over.
    const size_t sizes[] = {1600, 1, 733, 1600, 2999};
    for (size_t at = 0, i = 0; at < signal.size() && !o.stopped; ++i) {
        const size_t n = std::min(sizes[i % 5], signal.size() - at);
        act(trigger.feed(signal.data() + at, n));
        at += n;
        o.most_kept = std::max(o.most_kept, trigger.kept_bytes());
    }
    if (!o.stopped)
        act(trigger.finish());
    return o;
}

struct TriggerRow {
    const char *name;
    std::vector<Stretch> signal;
    TriggerSettings settings;
    std::vector<std::vector<std::pair<double, double>>> files; // each: input stretches, seconds
    bool stops = false;
};

TriggerSettings with(int on_silence, int pre = 2, int silence = 5, double limit_s = -1,
                     bool limit_new = true)
{
    TriggerSettings t;
    t.on_silence = on_silence;
    t.pre_record_s = pre;
    t.silence_s = silence;
    t.limit_samples = limit_s > 0 ? static_cast<int64_t>(limit_s * rate) : -1;
    t.limit_new_file = limit_new;
    return t;
}

class TriggerRows : public ::testing::TestWithParam<TriggerRow>
{
};

TEST_P(TriggerRows, FilesHoldExactlyTheStretchesTheSettingsCallFor)
{
    const TriggerRow &row = GetParam();
    const SampleArray signal = make_signal(row.signal);
    const Outcome o = run(signal, row.settings);
    ASSERT_EQ(o.files.size(), row.files.size());
    for (size_t f = 0; f < row.files.size(); ++f) {
        SampleArray expected;
        for (const auto &[from, to] : row.files[f])
            expected.insert(expected.end(), signal.begin() + static_cast<ptrdiff_t>(from * rate),
                            signal.begin() + static_cast<ptrdiff_t>(to * rate));
        EXPECT_EQ(o.files[f].size(), expected.size()) << "file " << f;
        EXPECT_TRUE(o.files[f] == expected) << "file " << f << ": not the input's samples";
    }
    EXPECT_EQ(o.stopped, row.stops);
    // Never more kept than the seconds before a sound, and held silence up to its cap.
    EXPECT_LE(o.most_kept, (32u + row.settings.pre_record_s) * rate * sizeof(int16_t));
}

const std::vector<Stretch> bursts = {{'q', 3}, {'l', 4}, {'q', 8}, {'l', 3}};

INSTANTIATE_TEST_SUITE_P(
    Rows, TriggerRows,
    ::testing::Values(
        TriggerRow{"next_file_at_a_silence", bursts, with(2), {{{1, 9}}, {{13, 18}}}},
        TriggerRow{
            "pause_cuts_the_silence_to_the_kept_seconds", bursts, with(0), {{{1, 7}, {13, 18}}}},
        TriggerRow{"stop_at_a_silence", bursts, with(1), {{{1, 9}}}, true},
        TriggerRow{"a_short_silence_stays_whole",
                   {{'q', 1}, {'l', 1}, {'q', 1}, {'l', 1}},
                   with(2),
                   {{{0, 4}}}},
        TriggerRow{"a_click_shorter_than_start_after_starts_nothing",
                   {{'q', 1}, {'l', 0.05}, {'q', 1}},
                   with(2),
                   {}},
        TriggerRow{"sound_below_the_start_level_starts_nothing", {{'q', 2}, {'m', 3}}, with(2), {}},
        TriggerRow{"sound_above_the_silence_level_keeps_recording",
                   {{'q', 3}, {'l', 1}, {'m', 7}},
                   with(2),
                   {{{1, 11}}}},
        TriggerRow{
            "no_kept_seconds_begins_at_the_sound", {{'q', 2}, {'l', 1}}, with(2, 0), {{{2, 3}}}},
        TriggerRow{"the_limit_splits_each_file",
                   {{'q', 1}, {'l', 5}},
                   with(2, 2, 5, 2.0),
                   {{{0, 2}}, {{2, 4}}, {{4, 6}}}},
        TriggerRow{
            "the_limit_stops", {{'q', 1}, {'l', 5}}, with(2, 2, 5, 2.0, false), {{{0, 2}}}, true},
        TriggerRow{"a_quiet_minute_makes_no_file_and_keeps_memory_flat", {{'q', 60}}, with(2), {}}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
