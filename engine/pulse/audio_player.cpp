#include "pulse/audio_player.h"

#include "pulse/pulse_playback.h"

#include <QMetaObject>
#include <algorithm>
#include <cstdlib>
#include <span>

namespace
{

constexpr int timer_interval_ms = 100;
// Decoded ahead of the sound server's own buffer, more than the server asks
// for at once: the owner is asked for data at the timer's ticks, so it wakes
// for nothing else while a file plays.
constexpr int queue_ahead_ms = 600;
// Below this the sound thread asks for data at once instead of at the next tick.
constexpr int queue_low_ms = 150;

int clamp_count(int64_t v)
{
    return static_cast<int>(std::min<int64_t>(v, INT32_MAX));
}

size_t ring_capacity(uint32_t rate, int channels)
{
    // Two seconds: more than the output buffer holds between pulled and heard.
    return std::max<size_t>(65536, 2 * static_cast<size_t>(rate) * static_cast<size_t>(channels));
}

} // namespace

struct TAudioPlayer2::Impl {
    Impl(TAudioPlayer2 *owner, std::unique_ptr<PlaybackBackend> b)
        : q(owner), backend(b ? std::move(b) : std::make_unique<PulsePlaybackBackend>())
    {
        ring.assign(ring_capacity(rate, channels), 0);
        timer.setInterval(timer_interval_ms);
        low_mark = ms_to_samples(queue_low_ms);
    }

    size_t pull(uint64_t id, int16_t *out, size_t count, bool &end);
    void post(); // mutex held
    void deliver();
    void top_up();
    void tick();
    void halt(); // stops output and forgets the queue
    int64_t played();
    int64_t ms_to_samples(int ms) const
    {
        return static_cast<int64_t>(rate) * channels * ms / 1000;
    }

    TAudioPlayer2 *q;
    std::unique_ptr<PlaybackBackend> backend;
    uint32_t rate = 44100;
    int channels = 2;
    bool running = false;
    uint64_t generation = 0; // posted events of an earlier Play are ignored
    int64_t played_at_stop = 0;
    int64_t level_from = 0;
    QTimer timer;

    std::mutex mutex; // guards the members below
    std::deque<SampleArray> queue;
    size_t front_pos = 0;
    int64_t queued = 0;      // samples in the queue, not yet pulled
    bool end_queued = false; // the end mark is in the queue
    int64_t low_mark = 0;    // pulls that leave less than this post at once
    int arrays_done = 0;
    bool drained = false;
    int thread_error = 0;
    bool notify_queued = false;
    uint64_t stream_id = 0;
    SampleArray ring; // samples pulled, at [absolute index % size]
    int64_t written = 0;

    // The ring between two absolute indexes as at most two straight runs, so
    // that no sample needs a division: f(offset in the ring, count) for each.
    template <class F> void ring_runs(int64_t from, int64_t to, F &&f) const
    {
        const auto cap = static_cast<int64_t>(ring.size());
        while (from < to) {
            const int64_t at = from % cap;
            const int64_t n = std::min(to - from, cap - at);
            f(static_cast<size_t>(at), static_cast<size_t>(n));
            from += n;
        }
    }
};

size_t TAudioPlayer2::Impl::pull(uint64_t id, int16_t *out, size_t count, bool &end)
{
    std::lock_guard lock(mutex);
    if (id != stream_id)
        return 0;
    size_t n = 0;
    while (n < count && !queue.empty()) {
        const SampleArray &a = queue.front();
        if (a.empty()) {
            end = true;
            break;
        }
        const size_t take = std::min(count - n, a.size() - front_pos);
        std::copy_n(a.begin() + static_cast<std::ptrdiff_t>(front_pos), take, out + n);
        n += take;
        front_pos += take;
        queued -= static_cast<int64_t>(take);
        if (front_pos == a.size()) {
            queue.pop_front();
            front_pos = 0;
            ++arrays_done;
        }
    }
    const int16_t *in = out;
    ring_runs(written, written + static_cast<int64_t>(n), [&](size_t at, size_t run) {
        std::copy_n(in, run, ring.begin() + static_cast<std::ptrdiff_t>(at));
        in += run;
    });
    written += static_cast<int64_t>(n);
    // Usually the next tick tops the queue up; only a queue run low, or the
    // end of the data, wakes the owner now.
    if (end || queued < low_mark)
        post();
    return n;
}

void TAudioPlayer2::Impl::post()
{
    if (notify_queued)
        return;
    notify_queued = true;
    QMetaObject::invokeMethod(
        q, [this] { deliver(); }, Qt::QueuedConnection);
}

int64_t TAudioPlayer2::Impl::played()
{
    return running ? backend->played_samples() : played_at_stop;
}

void TAudioPlayer2::Impl::halt()
{
    if (running) {
        played_at_stop = backend->played_samples();
        backend->stop();
        running = false;
        timer.stop();
    }
    ++generation;
    std::lock_guard lock(mutex);
    queue.clear();
    front_pos = 0;
    queued = 0;
    end_queued = false;
    arrays_done = 0;
    drained = false;
    thread_error = 0;
    ++stream_id;
}

void TAudioPlayer2::Impl::deliver()
{
    int done = 0, error = 0;
    bool is_drained = false;
    {
        std::lock_guard lock(mutex);
        notify_queued = false;
        done = arrays_done;
        arrays_done = 0;
        is_drained = drained;
        error = thread_error;
    }
    if (!running)
        return;
    const uint64_t gen = generation;
    // A handler may Stop or Play again; then the rest belongs to the old run.
    for (int i = 0; i < done; ++i) {
        emit q->OnEndArrayPlay(q);
        if (gen != generation)
            return;
    }
    if (error || is_drained) {
        if (error)
            q->m_error_code = error;
        halt();
        emit q->OnEndPlay(q);
        return;
    }
    top_up();
}

void TAudioPlayer2::Impl::top_up()
{
    const uint64_t gen = generation;
    const int64_t target = ms_to_samples(queue_ahead_ms);
    for (;;) {
        int64_t before = 0;
        {
            std::lock_guard lock(mutex);
            if (end_queued || queued >= target)
                break;
            before = queued;
        }
        emit q->OnRequestOnLoadArray(q);
        if (gen != generation)
            return;
        std::lock_guard lock(mutex);
        if (queued == before && !end_queued)
            break; // the owner has nothing more for now
    }
    backend->more_data();
}

void TAudioPlayer2::Impl::tick()
{
    if (!running)
        return;
    const int64_t position = backend->played_samples();
    int left = 0, right = 0;
    {
        std::lock_guard lock(mutex);
        const int64_t cap = static_cast<int64_t>(ring.size());
        const int64_t from = std::max({level_from, position - cap, written - cap, int64_t{0}});
        int channel = channels < 2 ? 0 : static_cast<int>(from % channels);
        ring_runs(from, position, [&](size_t at, size_t run) {
            for (const int16_t v : std::span(ring).subspan(at, run)) {
                int &peak = channel == 0 ? left : right;
                peak = std::max(peak, std::min(std::abs(static_cast<int>(v)), 32767));
                if (channels > 1 && ++channel == channels)
                    channel = 0;
            }
        });
    }
    if (channels < 2)
        right = left;
    level_from = position;
    const uint64_t gen = generation;
    emit q->OnTimer(q, clamp_count(position), left, right);
    // The same wake-up hands over what was played and asks for what comes next.
    if (gen == generation)
        deliver();
}

TAudioPlayer2::TAudioPlayer2(QObject *parent, std::unique_ptr<PlaybackBackend> backend)
    : QObject(parent), m_impl(std::make_unique<Impl>(this, std::move(backend)))
{
    connect(&m_impl->timer, &QTimer::timeout, this, [this] { m_impl->tick(); });
}

TAudioPlayer2::~TAudioPlayer2()
{
    if (m_impl->running)
        m_impl->backend->stop();
}

void TAudioPlayer2::SetWaveFormat(uint32_t sample_rate, int channels)
{
    if (sample_rate == 0 || channels < 1 || channels > 8)
        throw EngineError(
            QStringLiteral("The playback format %1 Hz with %2 channels is not supported.")
                .arg(sample_rate)
                .arg(channels));
    Impl &d = *m_impl;
    d.rate = sample_rate;
    d.channels = channels;
    std::lock_guard lock(d.mutex);
    d.ring.assign(ring_capacity(sample_rate, channels), 0);
    d.written = 0;
    d.low_mark = d.ms_to_samples(queue_low_ms);
}

void TAudioPlayer2::Play()
{
    Impl &d = *m_impl;
    if (!d.running) {
        m_error_code = 0;
        d.played_at_stop = 0;
        d.level_from = 0;
        uint64_t id = 0;
        {
            std::lock_guard lock(d.mutex);
            d.arrays_done = 0;
            d.drained = false;
            d.thread_error = 0;
            d.written = 0;
            id = ++d.stream_id;
        }
        const bool ok = d.backend->start(
            d.rate, d.channels,
            [&d, id](int16_t *out, size_t count, bool &end) { return d.pull(id, out, count, end); },
            [&d, id] {
                std::lock_guard lock(d.mutex);
                if (id == d.stream_id) {
                    d.drained = true;
                    d.post();
                }
            },
            [&d, id](int code, const QString &) {
                std::lock_guard lock(d.mutex);
                if (id == d.stream_id) {
                    d.thread_error = code ? code : 2;
                    d.post();
                }
            });
        const uint64_t gen = ++d.generation;
        if (!ok) {
            m_error_code = 1;
            // Later, so the owner has finished its own start sequence first.
            QMetaObject::invokeMethod(
                this,
                [this, gen] {
                    if (gen == m_impl->generation && !m_impl->running)
                        emit OnEndPlay(this);
                },
                Qt::QueuedConnection);
            return;
        }
        d.running = true;
        d.timer.start();
    }
    // On the loop's next turn, once the owner has queued what it queues with
    // Play: fill the queue as far ahead as it goes (this asks for data also
    // when nothing was queued at all).
    const uint64_t gen = d.generation;
    QMetaObject::invokeMethod(
        this,
        [this, gen] {
            if (gen == m_impl->generation && m_impl->running)
                m_impl->top_up();
        },
        Qt::QueuedConnection);
}

void TAudioPlayer2::PlayArray(const SampleArray &samples)
{
    std::lock_guard lock(m_impl->mutex);
    if (m_impl->end_queued)
        return; // past the end mark: never played
    m_impl->queue.push_back(samples);
    m_impl->queued += static_cast<int64_t>(samples.size());
    m_impl->end_queued = samples.empty();
}

void TAudioPlayer2::Stop()
{
    m_impl->halt();
}

int TAudioPlayer2::PlayedSamples() const
{
    return clamp_count(m_impl->played());
}

int TAudioPlayer2::SamplesToMilliseconds(int64_t samples) const
{
    return clamp_count(samples_to_ms(samples, m_impl->rate, m_impl->channels));
}

SampleArray TAudioPlayer2::PeekArray(int count) const
{
    Impl &d = *m_impl;
    const int64_t position = d.played();
    std::lock_guard lock(d.mutex);
    const int64_t cap = static_cast<int64_t>(d.ring.size());
    const int64_t end = std::min(position, d.written);
    const int64_t from = std::max({end - std::max(count, 0), d.written - cap, int64_t{0}});
    SampleArray out;
    out.reserve(static_cast<size_t>(std::max<int64_t>(end - from, 0)));
    const auto first = d.ring.begin();
    d.ring_runs(from, end, [&](size_t at, size_t run) {
        out.insert(out.end(), first + static_cast<std::ptrdiff_t>(at),
                   first + static_cast<std::ptrdiff_t>(at + run));
    });
    return out;
}
