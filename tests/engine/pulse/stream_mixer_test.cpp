// Two streams made into one over a simulated hour: the second stream's clock
// runs fast or slow, its data arrives with jitter, and it must stay in step
// with the first (within 20 ms) without a sample lost or doubled.
#include "pulse/stream_mixer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace
{

struct DriftRow {
    const char *name;
    double drift; // the second clock against the first
};

class MixerDrift : public ::testing::TestWithParam<DriftRow>
{
};

constexpr uint32_t rate = 8000;
constexpr double slow_hz = 1.0; // its phase tells the place in time
constexpr double fast_hz = 100.0;

// The second stream's own sample j: its clock makes rate * (1 + drift) a second.
int16_t second_sample(int64_t j, double drift)
{
    const double t = static_cast<double>(j) / (rate * (1 + drift));
    return static_cast<int16_t>(std::lround(8000 * std::sin(2 * M_PI * slow_hz * t) +
                                            6000 * std::sin(2 * M_PI * fast_hz * t)));
}

TEST_P(MixerDrift, AnHourStaysInStepAndWhole)
{
    const double drift = GetParam().drift;
    StreamMixer mixer(rate, 1, 0);
    const int first = mixer.add(1.0f, true);
    const int second = mixer.add(1.0f);
    std::mt19937 random(5);
    std::uniform_int_distribution<int64_t> jitter(0, 10'000'000); // up to 10 ms late
    const int64_t chunk = rate / 50;                              // 20 ms fragments
    const double second_rate = rate * (1 + drift);
    int64_t second_sent = 0;
    std::vector<int16_t> out, silence(chunk, 0), piece, second_of_time;
    double worst_offset_ms = 0, worst_bend = 0;
    int16_t before[2] = {0, 0};
    int64_t checked = 0;
    for (int64_t sent = 0; sent < int64_t(rate) * 3600; sent += chunk) {
        const int64_t now = (sent + chunk) * 1'000'000'000 / rate;
        mixer.push(first, now + jitter(random), silence.data(), silence.size());
        // Whatever the second device has captured by now, in its own fragments.
        const auto due = static_cast<int64_t>(static_cast<double>(now) / 1e9 * second_rate);
        while (second_sent + chunk <= due) {
            piece.resize(chunk);
            for (int64_t i = 0; i < chunk; ++i)
                piece[static_cast<size_t>(i)] = second_sample(second_sent + i, drift);
            second_sent += chunk;
            const auto arrived = static_cast<int64_t>(second_sent / second_rate * 1e9);
            mixer.push(second, arrived + jitter(random), piece.data(), piece.size());
        }
        out.clear();
        mixer.mix(now, out);
        for (const int16_t v : out) {
            // A lost or doubled sample bends the 100 Hz tone by about 470.
            if (checked > rate * 10)
                worst_bend = std::max(worst_bend, std::abs(v - 2.0 * before[1] + before[0]));
            before[0] = before[1];
            before[1] = v;
            ++checked;
            // Each whole second after the first ten: where the 1 Hz tone's phase puts it.
            second_of_time.push_back(v);
            if (second_of_time.size() == rate) {
                double re = 0, im = 0;
                for (size_t n = 0; n < rate; ++n) {
                    re += second_of_time[n] * std::cos(2 * M_PI * slow_hz * n / rate);
                    im += second_of_time[n] * std::sin(2 * M_PI * slow_hz * n / rate);
                }
                // The ideal second starts at phase 0: sin gives re 0, im > 0.
                if (checked > rate * 10)
                    worst_offset_ms =
                        std::max(worst_offset_ms, std::abs(std::atan2(re, im)) / (2 * M_PI) * 1000);
                second_of_time.clear();
            }
        }
    }
    RecordProperty("worst_offset_ms", std::to_string(worst_offset_ms));
    EXPECT_LT(worst_offset_ms, 20.0) << "out of step with the first stream";
    EXPECT_LT(worst_bend, 150.0) << "a sample lost or doubled";
    EXPECT_GT(checked, int64_t(rate) * 3590);
}

INSTANTIATE_TEST_SUITE_P(Clocks, MixerDrift,
                         ::testing::Values(DriftRow{"same", 0.0}, DriftRow{"fast", 0.002},
                                           DriftRow{"slow", -0.002}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
