#pragma once
// Several capture streams made into one, at one rate and channel count: the
// sound of a second device on a clock of its own, or the streams of one
// application, which come and go. Each stream's frames are placed on the
// timeline by when they arrived: a line fitted through the last seconds of
// arrivals (its jitter averages out) gives the frame of any moment, and the
// stream is read at the pace that follows its clock, smoothly, so a device
// 0.2 % fast stays in step without a dropped or doubled sample.
//
// The timeline is the main stream's frames when there is one (the recording
// keeps its device's clock), else the monotonic clock from construction.
// Output lags the newest data by `delay_ms`, so that every stream's sound of
// a moment has come in before the moment is mixed. A limiter keeps the sum
// within 16 bits. Counts are interleaved samples; times are nanoseconds of
// the monotonic clock. Not thread-safe: one thread makes every call.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <vector>

class StreamMixer
{
public:
    StreamMixer(uint32_t rate, int channels, int64_t start_ns, int delay_ms = 150);

    // A stream and its level (1 = as captured). The main stream, at most
    // one, gives the timeline and is mixed as it comes.
    int add(float gain, bool main = false);
    // The stream has ended: what it delivered is still mixed, then it goes.
    void end(int id);
    void push(int id, int64_t now_ns, const int16_t *samples, size_t count);
    // Appends what can be mixed by now; `final` mixes everything up to the
    // main stream's last frame, or up to now.
    void mix(int64_t now_ns, std::vector<int16_t> &out, bool final = false);

    int64_t frames_out() const { return m_out; }
    // Where a stream is read now against where its arrivals put it, in
    // frames; for tests and diagnostics. 0 for an unknown or unstarted stream.
    double misalignment(int id) const;

private:
    struct Leg {
        float gain = 1;
        bool main = false;
        bool ending = false;
        std::deque<int16_t> data; // frames from `first` on
        int64_t first = 0;
        int64_t received = 0;                           // frames
        std::deque<std::pair<double, double>> arrivals; // seconds, frames received then
        double offset = 0;                              // frame = offset + rate * t
        double rate = 0;                                // frames a second, by its clock
        bool placed = false;
        double pos = -1; // read position, a frame index
        double misalignment = 0;
    };
    void fit(Leg &leg) const;
    double time_of(int64_t frame) const; // seconds, of an output frame
    void read_into(Leg &leg, int64_t from, int64_t to, std::vector<float> &sum);

    uint32_t m_rate;
    int m_channels;
    int64_t m_start_ns;
    int64_t m_delay_frames;
    std::map<int, Leg> m_legs;
    int m_next_id = 1;
    int m_main = 0;
    int64_t m_out = 0; // output frames so far
    double m_gain = 1; // the limiter's
    std::vector<float> m_sum;
};
