#include "pulse/stream_mixer.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{

constexpr double fit_window_s = 4.0;  // arrivals the line is fitted through
constexpr double drift_after_s = 8.0; // the clock's own pace is trusted from then on
constexpr double max_drift = 0.01;    // no device is further off than this
constexpr double steer_s = 0.5;       // a misplacement is made good over this long
constexpr double steer_most = 0.001;  // ... at most this far off pace: no pitch is heard
constexpr double jump_s = 0.04;       // further off than this, the read position jumps
constexpr float limit = 32000.0f;
constexpr double release_s = 0.2;

double cubic(double p0, double p1, double p2, double p3, double t)
{
    // Catmull-Rom: through p1 at t = 0 and p2 at t = 1.
    return p1 + 0.5 * t *
                    (p2 - p0 +
                     t * (2.0 * p0 - 5.0 * p1 + 4.0 * p2 - p3 + t * (3.0 * (p1 - p2) + p3 - p0)));
}

} // namespace

StreamMixer::StreamMixer(uint32_t rate, int channels, int64_t start_ns, int delay_ms)
    : m_rate(rate), m_channels(std::max(channels, 1)), m_start_ns(start_ns),
      m_delay_frames(static_cast<int64_t>(rate) * delay_ms / 1000)
{
}

int StreamMixer::add(float gain, bool main)
{
    const int id = m_next_id++;
    Leg &leg = m_legs[id];
    leg.gain = gain;
    leg.main = main;
    leg.rate = m_rate;
    if (main)
        m_main = id;
    return id;
}

void StreamMixer::end(int id)
{
    if (auto it = m_legs.find(id); it != m_legs.end())
        it->second.ending = true;
}

double StreamMixer::misalignment(int id) const
{
    const auto it = m_legs.find(id);
    return it == m_legs.end() ? 0 : it->second.misalignment;
}

void StreamMixer::push(int id, int64_t now_ns, const int16_t *samples, size_t count)
{
    const auto it = m_legs.find(id);
    if (it == m_legs.end())
        return;
    Leg &leg = it->second;
    const size_t whole = count - count % static_cast<size_t>(m_channels);
    leg.data.insert(leg.data.end(), samples, samples + whole);
    leg.received += static_cast<int64_t>(whole) / m_channels;
    const double t = static_cast<double>(now_ns - m_start_ns) / 1e9;
    leg.arrivals.emplace_back(t, static_cast<double>(leg.received));
    while (!leg.arrivals.empty() && leg.arrivals.front().first < t - fit_window_s)
        leg.arrivals.pop_front();
    fit(leg);
}

void StreamMixer::fit(Leg &leg) const
{
    const auto n = static_cast<double>(leg.arrivals.size());
    if (n < 3)
        return;
    const double span = leg.arrivals.back().first - leg.arrivals.front().first;
    double mt = 0, mf = 0;
    for (const auto &[t, f] : leg.arrivals)
        mt += t, mf += f;
    mt /= n;
    mf /= n;
    // Over a short span the jitter would swamp the pace: the nominal rate
    // holds until the arrivals reach far enough.
    double rate = m_rate;
    if (span >= fit_window_s * 0.9 && leg.arrivals.front().first >= 0 &&
        leg.arrivals.back().first >= drift_after_s) {
        double stt = 0, stf = 0;
        for (const auto &[t, f] : leg.arrivals)
            stt += (t - mt) * (t - mt), stf += (t - mt) * (f - mf);
        if (stt > 0)
            rate = std::clamp(stf / stt, m_rate * (1 - max_drift), m_rate * (1 + max_drift));
    }
    // Follow the pace slowly: the fit of a few seconds still wavers a little.
    leg.rate = leg.placed ? leg.rate + 0.05 * (rate - leg.rate) : rate;
    // Data is only ever late: the arrival that came soonest places the stream
    // (a first read that brings what the server held is not taken for the pace).
    double offset = -std::numeric_limits<double>::infinity();
    for (const auto &[t, f] : leg.arrivals)
        offset = std::max(offset, f - leg.rate * t);
    leg.offset = offset;
    leg.placed = true;
}

double StreamMixer::time_of(int64_t frame) const
{
    if (m_main) {
        const Leg &main = m_legs.at(m_main);
        if (main.placed)
            return (static_cast<double>(frame) - main.offset) / main.rate;
    }
    return static_cast<double>(frame) / m_rate;
}

void StreamMixer::read_into(Leg &leg, int64_t from, int64_t to, std::vector<float> &sum)
{
    const auto n = static_cast<double>(to - from);
    const double pace = leg.rate / (m_main ? m_legs.at(m_main).rate : m_rate);
    const double target_end = leg.offset + leg.rate * time_of(to);
    if (leg.pos < 0 || std::abs(target_end - pace * n - leg.pos) > jump_s * m_rate)
        leg.pos = leg.offset + leg.rate * time_of(from);
    // Steer toward where the arrivals put the stream, without a jump.
    const double error = target_end - (leg.pos + pace * n);
    leg.misalignment = target_end - pace * n - leg.pos;
    const double step =
        std::clamp(pace + error / std::max(n, steer_s * m_rate), pace * (1 - steer_most),
                   pace * (1 + steer_most));
    const auto channels = static_cast<size_t>(m_channels);
    for (int64_t k = from; k < to; ++k, leg.pos += step) {
        const double at = leg.pos - static_cast<double>(leg.first);
        const auto i = static_cast<int64_t>(std::floor(at));
        const int64_t have = static_cast<int64_t>(leg.data.size() / channels);
        if (i < 1 || i + 2 >= have)
            continue; // not there (yet, or any more): silence from this stream
        const double t = at - static_cast<double>(i);
        for (size_t c = 0; c < channels; ++c) {
            const auto s = [&](int64_t f) {
                return static_cast<double>(leg.data[static_cast<size_t>(f) * channels + c]);
            };
            sum[static_cast<size_t>(k - from) * channels + c] +=
                leg.gain * static_cast<float>(cubic(s(i - 1), s(i), s(i + 1), s(i + 2), t));
        }
    }
    // What lies behind the read position is done with.
    const int64_t drop =
        std::clamp<int64_t>(static_cast<int64_t>(std::floor(leg.pos)) - 2 - leg.first, 0,
                            static_cast<int64_t>(leg.data.size() / channels));
    leg.data.erase(leg.data.begin(), leg.data.begin() + drop * m_channels);
    leg.first += drop;
}

void StreamMixer::mix(int64_t now_ns, std::vector<int16_t> &out, bool final)
{
    int64_t end = 0;
    if (m_main) {
        const Leg &main = m_legs.at(m_main);
        end = final ? main.received : main.received - m_delay_frames;
    } else {
        const double t = static_cast<double>(now_ns - m_start_ns) / 1e9;
        end = static_cast<int64_t>(t * m_rate) - (final ? 0 : m_delay_frames);
    }
    if (end <= m_out)
        return;
    const auto channels = static_cast<size_t>(m_channels);
    m_sum.assign(static_cast<size_t>(end - m_out) * channels, 0.0f);
    for (auto &[id, leg] : m_legs) {
        if (leg.main) {
            // The timeline itself: its frames one for one.
            const auto take = static_cast<size_t>(end - m_out) * channels;
            for (size_t i = 0; i < take && i < leg.data.size(); ++i)
                m_sum[i] += leg.gain * leg.data[i];
            leg.data.erase(leg.data.begin(),
                           leg.data.begin() +
                               static_cast<std::ptrdiff_t>(std::min(take, leg.data.size())));
            leg.first = end;
        } else if (leg.placed) {
            read_into(leg, m_out, end, m_sum);
        }
    }
    // An ended stream goes once its last frame has been read.
    for (auto it = m_legs.begin(); it != m_legs.end();) {
        const Leg &leg = it->second;
        if (leg.ending && (!leg.placed || leg.pos >= static_cast<double>(leg.received)))
            it = m_legs.erase(it);
        else
            ++it;
    }
    const double release = 1.0 / (release_s * m_rate);
    const size_t first = out.size();
    out.resize(first + m_sum.size());
    for (size_t f = 0; f < m_sum.size(); f += channels) {
        float peak = 0;
        for (size_t c = 0; c < channels; ++c)
            peak = std::max(peak, std::abs(m_sum[f + c]));
        if (peak * m_gain > limit)
            m_gain = limit / peak; // at once: nothing ever wraps or clips
        else
            m_gain = std::min(1.0, m_gain + (1.0 - m_gain) * release);
        for (size_t c = 0; c < channels; ++c)
            out[first + f + c] = static_cast<int16_t>(std::lround(m_sum[f + c] * m_gain));
    }
    m_out = end;
}
