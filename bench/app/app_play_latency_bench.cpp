// Click-to-sound latency of playback: from the click on "Play", and from the
// mouse-up on the "Play Bar", to the first sample of the new position at the
// sink. A recording of the default source (the null sink's monitor, as the
// scripts set it up) runs on its own thread; each block is stamped as it
// arrives, so the figures include that recording's own few ms of latency.
//   scripts/with-pulse.sh build/app/app_play_latency_bench [rounds]
// The file is loud for its first second, quiet up to the middle and loud
// again after it: a loud sample after the click is the new position.
#include "main.h"
#include "recordlist.h"
#include "skin/skin.h"

#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;
constexpr int monitor_rate = 44100;
constexpr int loud = 4000; // the quiet part peaks near 330, the loud near 16000

// Watches the monitor; arm() then wait() gives the delay to the first loud sample.
class Ear
{
public:
    Ear()
    {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        m_pid = fork();
        if (m_pid == 0) {
            dup2(fds[1], STDOUT_FILENO);
            close(fds[0]);
            close(fds[1]);
            execlp("parec", "parec", "--raw", "--format=s16le", "--rate=44100", "--channels=1",
                   "--latency-msec=5", static_cast<char *>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        m_fd = fds[0];
        if (m_pid > 0)
            m_thread = std::thread([this] { listen(); });
    }
    ~Ear()
    {
        m_quit = true;
        if (m_pid > 0) {
            kill(m_pid, SIGTERM); // its output then ends, and so does the read below
            m_thread.join();
            waitpid(m_pid, nullptr, 0);
        }
        if (m_fd >= 0)
            close(m_fd);
    }
    bool ok() const { return m_pid > 0; }
    void arm()
    {
        m_found = -1;
        m_armed_at = Clock::now().time_since_epoch().count();
        m_armed = true;
    }
    // Milliseconds from arm() to the first loud sample; -1 after `bound_ms`.
    double wait(int bound_ms)
    {
        const auto end = Clock::now() + std::chrono::milliseconds(bound_ms);
        while (m_found < 0 && Clock::now() < end)
            QTest::qWait(2);
        m_armed = false;
        return m_found >= 0 ? m_found / 1e6 : -1;
    }
    // True once nothing loud came in for `ms` (tried for a few times that).
    bool quiet_for(int ms)
    {
        for (int i = 0; i < 5; ++i) {
            m_last_loud = 0;
            QTest::qWait(ms);
            if (m_last_loud.load() == 0)
                return true;
        }
        return false;
    }

private:
    void listen()
    {
        std::vector<int16_t> block(monitor_rate / 200);
        while (!m_quit) {
            const ssize_t got = read(m_fd, block.data(), block.size() * sizeof(int16_t));
            if (got <= 0)
                return;
            const auto now = Clock::now().time_since_epoch().count();
            const size_t n = static_cast<size_t>(got) / sizeof(int16_t);
            for (size_t i = 0; i < n; ++i) {
                if (std::abs(static_cast<int>(block[i])) < loud)
                    continue;
                m_last_loud = now;
                if (m_armed && m_found < 0) {
                    // The sample came in (n - i) samples before the end of its block.
                    const int64_t at = now - static_cast<int64_t>((n - i) * 1e9 / monitor_rate);
                    m_found = std::max<int64_t>(at - m_armed_at, 0);
                }
                break;
            }
        }
    }

    pid_t m_pid = -1;
    int m_fd = -1;
    std::thread m_thread;
    std::atomic<bool> m_quit{false}, m_armed{false};
    std::atomic<int64_t> m_armed_at{0}, m_found{-1}, m_last_loud{0};
};

double median(std::vector<double> v)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void print(const char *what, const std::vector<double> &v, int rounds)
{
    const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
    std::printf("%-28s median %6.1f ms  min %6.1f  max %6.1f  (%zu of %d rounds)\n", what,
                median(v), v.empty() ? -1 : *lo, v.empty() ? -1 : *hi, v.size(), rounds);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("marks.wav"));
    QProcess sox;
    sox.start(QStringLiteral("sox"),
              {"-q",   "-n",   "-r",  "44100", "-c", "2",    "-b",    "16",   wav,    "synth",
               "1",    "sine", "500", "gain",  "-6", ":",    "synth", "29",   "sine", "500",
               "gain", "-40",  ":",   "synth", "30", "sine", "500",   "gain", "-6"});
    if (!sox.waitForFinished(60000) || sox.exitCode() != 0) {
        std::fprintf(stderr, "sox failed\n");
        return 1;
    }
    Ear ear;
    if (!ear.ok()) {
        std::fprintf(stderr, "parec did not start\n");
        return 1;
    }
    // A null sink left without clients renders up to two seconds ahead; the
    // first recording of its monitor brings its latency down, but what it
    // rendered before plays out first. Measuring then would time the sink.
    QTest::qWait(2500);
    Services services;
    Tfm_main main(std::move(services));
    auto *list = new Tfm_list(&main);
    main.set_windows(nullptr, nullptr, nullptr, list);
    main.show();
    list->append_entry(QStringLiteral("marks.wav"), wav, QString());
    main.current_item_index = 0;
    main.current_file = wav;
    QTest::qWait(300);

    std::vector<double> play, seek;
    for (int r = 0; r < rounds; ++r) {
        main.stop_playback();
        if (!ear.quiet_for(300))
            continue;
        ear.arm();
        main.start_playback(); // what a click on "Play" runs
        if (const double ms = ear.wait(2000); ms >= 0)
            play.push_back(ms);
        QTest::qWait(1300); // into the quiet part
        if (!main.playing || !main.play_bar || !ear.quiet_for(200))
            continue;
        // A press on the bar, a drag to 80 % and the release.
        main.SkinMouseDown(nullptr, main.play_bar, 1, 0, 0);
        main.play_bar->SetPosition(800);
        ear.arm();
        main.SkinMouseUp(nullptr, main.play_bar, 1, 0, 0);
        if (const double ms = ear.wait(2000); ms >= 0)
            seek.push_back(ms);
    }
    main.stop_playback();
    std::printf("Click to first sample at the sink, %d rounds\n", rounds);
    print("\"Play\" from stopped", play, rounds);
    print("\"Play Bar\" mouse-up (seek)", seek, rounds);
    main.close();
    return 0;
}
