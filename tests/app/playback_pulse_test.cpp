// Playback through the private sound server: files made by other programs
// are opened and played into a null sink of the test's own, and what reaches
// its monitor is checked against the file.
#include "app_harness.h"

#include "playback_files.h"
#include "recordlist.h"
#include "signal_checks.h"
#include "skin/skin.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>

namespace
{

using namespace signal_checks;
using playback_files::run;

constexpr uint32_t monitor_rate = 44100;

// Everything the sink plays, as mono at 44100 Hz, while it runs.
class MonitorRecorder
{
public:
    MonitorRecorder(const QString &source, const QString &file) : m_file(file)
    {
        m_process.setStandardOutputFile(file);
        m_process.start(QStringLiteral("parec"),
                        {QStringLiteral("--device=") + source, QStringLiteral("--raw"),
                         QStringLiteral("--format=s16le"), QStringLiteral("--rate=44100"),
                         QStringLiteral("--channels=1"), QStringLiteral("--latency-msec=20")});
        m_process.waitForStarted(3000);
    }
    ~MonitorRecorder() { stop(); }
    SampleArray stop()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(3000)) {
                m_process.kill();
                m_process.waitForFinished(1000);
            }
        }
        QFile f(m_file);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        const QByteArray raw = f.readAll();
        SampleArray s(static_cast<size_t>(raw.size()) / 2);
        std::memcpy(s.data(), raw.constData(), s.size() * 2);
        return s;
    }

private:
    QString m_file;
    QProcess m_process;
};

struct Kind {
    const char *name;
    const char *extension;    // of the file played ("" none)
    int rate, channels, bits; // of the sox source
    // From the source WAV to the file played; empty: the source is played.
    std::function<bool(const QString &wav, const QString &out)> make;
    const char *summary; // how the "Format" text starts
};

bool lame(const QString &wav, const QString &out, QStringList extra)
{
    extra.prepend(QStringLiteral("--quiet"));
    extra << wav << out;
    return run(QStringLiteral("lame"), extra);
}

const Kind kinds[] = {
    {"sox_u8_mono_8000", "wav", 8000, 1, 8, {}, "WAV  8000 Hz  Mono  8 BIT"},
    {"sox_s16_mono_11025", "WAV", 11025, 1, 16, {}, "WAV  11025 Hz  Mono  16 BIT"},
    {"sox_s16_stereo_22050_aiff", "aiff", 22050, 2, 16, {}, "AIF  22050 Hz  Stereo  705 KBPS"},
    {"sox_s16_stereo_48000", "wav", 48000, 2, 16, {}, "WAV  48000 Hz  Stereo  16 BIT"},
    {"sox_4ch_no_extension", "", 44100, 4, 16, {}, "WAV  44100 Hz  4 ch  16 BIT"},
    {"lame_cbr", "Mp3", 44100, 2, 16,
     [](const QString &w, const QString &o) {
         return lame(w, o, {"-b", "128"});
     },
     "MP3  44100 Hz  Stereo  128 KBPS"},
    {"lame_vbr_xing", "mp3", 44100, 2, 16,
     [](const QString &w, const QString &o) {
         return lame(w, o, {"-V", "2"});
     },
     "MP3  44100 Hz  Stereo  "},
    {"lame_vbr_no_xing", "mp3", 44100, 2, 16,
     [](const QString &w, const QString &o) {
         return lame(w, o, {"-V", "2", "-t"});
     },
     "MP3  44100 Hz  Stereo  "},
    {"lame_id3v23", "mp3", 44100, 1, 16,
     [](const QString &w, const QString &o) {
         return lame(w, o, {"-b", "96", "--id3v2-only", "--tt", "Title", "--ta", "Artist"});
     },
     "MP3  44100 Hz  Mono  96 KBPS"},
    {"lame_id3v1_only", "mp3", 32000, 2, 16,
     [](const QString &w, const QString &o) {
         return lame(w, o, {"-b", "128", "--id3v1-only", "--tt", "Title"});
     },
     "MP3  32000 Hz  Stereo  128 KBPS"},
    {"mid3v2_id3v24", "mp3", 44100, 2, 16,
     [](const QString &w, const QString &o) {
         return lame(w, o, {"-b", "192"}) &&
                run(QStringLiteral("mid3v2"), {"-t", "Title", "-a", "Artist", "-A", "Album",
                                               "--COMM", QString(4000, QLatin1Char('x')), o});
     },
     "MP3  44100 Hz  Stereo  192 KBPS"},
    {"oggenc", "ogg", 44100, 2, 16,
     [](const QString &w, const QString &o) {
         return run(QStringLiteral("oggenc"), {"-Q", "-q", "4", "-o", o, w});
     },
     "OGG  44100 Hz  Stereo  "},
    {"ffmpeg_wmav2", "wma", 44100, 2, 16,
     [](const QString &w, const QString &o) {
         return run(QStringLiteral("ffmpeg"),
                    {"-v", "error", "-y", "-i", w, "-c:a", "wmav2", "-b:a", "128k", o});
     },
     "WMA  44100 Hz  Stereo  128 KBPS"},
    {"flac_tool", "flac", 44100, 2, 16,
     [](const QString &w, const QString &o) {
         return run(QStringLiteral("flac"), {"--silent", "-f", "-o", o, w});
     },
     "FLAC  44100 Hz  Stereo  16 BIT"},
    {"opusenc", "opus", 48000, 2, 16,
     [](const QString &w, const QString &o) {
         return run(QStringLiteral("opusenc"), {"--quiet", "--bitrate", "96", w, o});
     },
     "OPUS  48000 Hz  Stereo  "},
};

class PlaybackOfOtherProgramsFiles : public ::testing::TestWithParam<Kind>
{
protected:
    QTemporaryDir dir;
    std::unique_ptr<PrivateSink> sink;
    std::unique_ptr<AppHarness> app;
    void SetUp() override
    {
        ASSERT_TRUE(test_support::require_pulse());
        reset_settings();
        sink = std::make_unique<PrivateSink>();
        ASSERT_TRUE(sink->ok());
        AppOptions options;
        options.playback_sink = sink->sink();
        app = std::make_unique<AppHarness>(options);
    }
    ServerLogMark server_log; // from the last play_and_hear
    // Plays to its end (bounded) while the monitor records.
    SampleArray play_and_hear(const std::function<void()> &start, double seconds)
    {
        server_log = ServerLogMark();
        MonitorRecorder recorder(sink->monitor(), dir.filePath(QStringLiteral("heard.raw")));
        QTest::qWait(300);
        start();
        EXPECT_TRUE(app->main->playing);
        EXPECT_TRUE(test_support::wait_until([&] { return !app->main->playing; },
                                             static_cast<int>(seconds * 1000) + 6000));
        QTest::qWait(300);
        SampleArray heard = recorder.stop();
        return heard;
    }
};

TEST_P(PlaybackOfOtherProgramsFiles, ShowsTheLengthAndPlaysTheWholeSignalOnce)
{
    const Kind &k = GetParam();
    const double seconds = 2.5;
    const double frequency = 1000;
    const QString name = QStringLiteral("file");
    const QString path =
        dir.filePath(*k.extension ? name + QLatin1Char('.') + QLatin1String(k.extension) : name);
    // sox picks the type by the extension; an encoder reads a WAV.
    const QString source =
        k.make || !*k.extension ? dir.filePath(QStringLiteral("source.wav")) : path;
    ASSERT_TRUE(playback_files::sox(
        source,
        {"synth", QString::number(seconds), "sine", QString::number(frequency), "gain", "-6"},
        k.rate, k.channels, k.bits));
    if (k.make) {
        ASSERT_TRUE(k.make(source, path)) << k.name;
    } else if (source != path) {
        ASSERT_TRUE(QFile::rename(source, path));
    }

    const double probe = playback_files::ffprobe_seconds(path);
    ASSERT_GT(probe, 0);
    const SampleArray heard = play_and_hear(
        [&] {
            app->dialogs->open_answers.push_back(path);
            app->click(QStringLiteral("Open"));
        },
        probe);
    ASSERT_EQ(app->list->count(), 1);
    const QString total = QStringLiteral("00:00:0%1").arg(static_cast<int>(probe));
    EXPECT_EQ(app->list->length_text_of(0), total);
    EXPECT_EQ(app->main->play_length_text, total);
    EXPECT_TRUE(app->label(QStringLiteral("Time")).endsWith(QLatin1Char('/') + total));
    EXPECT_EQ(app->dialogs->shown.size(), 1u) << "only the open dialog";
    EXPECT_TRUE(app->label(QStringLiteral("Format")).startsWith(QLatin1String(k.summary)))
        << app->label(QStringLiteral("Format")).toStdString();

    const Span span = loud_span(heard, 1500);
    ASSERT_TRUE(span.found());
    // The whole file and nothing twice: the codec's padding at most besides.
    EXPECT_NEAR(span.length() / double(monitor_rate), probe, 0.08);
    const size_t edge = monitor_rate / 20;
    ASSERT_GT(span.length(), 4 * edge);
    EXPECT_NEAR(crossing_frequency(heard, span.first + edge, span.last - edge, monitor_rate),
                frequency, 10);
    const double amplitude = peak(heard, span.first + edge, span.last - edge);
    EXPECT_LT(worst_sine_break(heard, span.first + edge, span.last - edge, frequency, monitor_rate,
                               amplitude),
              0.3)
        << "heard " << span.length() / double(monitor_rate) << " s of a " << probe
        << " s file: longer, the player ran dry; shorter, the monitor dropped sound. "
        << "The server logged: " << server_log.since().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Kinds, PlaybackOfOtherProgramsFiles, ::testing::ValuesIn(kinds),
                         [](const auto &info) { return std::string(info.param.name); });

// Where the tone changes from the low to the high one, in monitor samples.
size_t tone_change(const SampleArray &heard, const Span &span)
{
    const size_t window = monitor_rate / 20;
    for (size_t at = span.first; at + window <= span.last; at += window / 4)
        if (crossing_frequency(heard, at, at + window, monitor_rate) > 1000)
            return at;
    return SIZE_MAX; // never high
}

class TwoTones : public PlaybackOfOtherProgramsFiles
{
};

// A sweep from 200 to 2200 Hz over 4 s, as sox makes it: the frequency
// heard tells the place in the file.
double sweep_place(const SampleArray &heard, size_t at)
{
    const size_t window = monitor_rate / 10;
    const double f = crossing_frequency(heard, at, at + window, monitor_rate);
    return f > 0 ? 4.0 * std::log(f / 200.0) / std::log(11.0) : -1;
}

// Median of (place in the file - time heard) over [from, to) seconds of span.
double median_lead(const SampleArray &heard, const Span &span, double from, double to)
{
    std::vector<double> leads;
    for (double t = from; t < to; t += 0.05) {
        const size_t at = span.first + static_cast<size_t>(t * monitor_rate);
        leads.push_back(sweep_place(heard, at) - (t + 0.05));
    }
    std::sort(leads.begin(), leads.end());
    return leads.empty() ? 0 : leads[leads.size() / 2];
}

// `mono` less its stretches of 10 ms without a sample past `threshold`.
SampleArray without_silence(const SampleArray &mono, int threshold)
{
    const size_t window = monitor_rate / 100;
    SampleArray out;
    for (size_t at = 0; at < mono.size(); at += window) {
        const size_t end = std::min(at + window, mono.size());
        if (peak(mono, at, end) > threshold)
            out.insert(out.end(), mono.begin() + static_cast<std::ptrdiff_t>(at),
                       mono.begin() + static_cast<std::ptrdiff_t>(end));
    }
    return out;
}

TEST_F(TwoTones, PauseAndResumeGoOnFromWhatWasHeard)
{
    const QString path = dir.filePath(QStringLiteral("sweep.wav"));
    ASSERT_TRUE(
        playback_files::sox(path, {"synth", "4", "sine", "200-2200", "gain", "-6"}, 44100, 2));
    const SampleArray heard = play_and_hear(
        [&] {
            app->dialogs->open_answers.push_back(path);
            app->click(QStringLiteral("Open"));
            QTest::qWait(1300);
            app->click(QStringLiteral("Pause"));
            EXPECT_TRUE(app->main->play_paused);
            EXPECT_EQ(app->list->image_of(0), image_paused);
            QTest::qWait(700);
            app->click(QStringLiteral("Play"));
            EXPECT_EQ(app->list->image_of(0), image_playing);
        },
        5.0);
    // Some servers' monitors record the pause as silence, others leave it
    // out: without it, the sweep reads on without a jump exactly when
    // nothing was skipped or repeated.
    const SampleArray sound = without_silence(heard, 1500);
    const Span span = loud_span(sound, 1500);
    ASSERT_TRUE(span.found());
    const double before = median_lead(sound, span, 0.1, 0.6);
    const double after = median_lead(sound, span, 1.6, 3.2);
    EXPECT_NEAR(after, before, 0.05);
}

TEST_F(TwoTones, OpenAndPlayPlayBothTonesWholeAndTheBarAtEightyPercentTheLastFifth)
{
    // The last fifth is the high tone.
    const QString path = dir.filePath(QStringLiteral("two.wav"));
    ASSERT_TRUE(playback_files::sox(path,
                                    {"synth", "3.2", "sine", "600", "gain", "-6", ":", "synth",
                                     "0.8", "sine", "1400", "gain", "-6"},
                                    44100, 2));
    const auto tones = [](const SampleArray &heard) {
        const Span span = loud_span(heard, 1500);
        const size_t change = span.found() ? tone_change(heard, span) : SIZE_MAX;
        EXPECT_LT(change, span.last);
        return change < span.last ? std::pair{(change - span.first) / double(monitor_rate),
                                              (span.last - change) / double(monitor_rate)}
                                  : std::pair{0.0, 0.0};
    };
    const auto [low, high] = tones(play_and_hear(
        [&] {
            app->dialogs->open_answers.push_back(path);
            app->click(QStringLiteral("Open"));
        },
        4.0));
    EXPECT_NEAR(low, 3.2, 0.08);
    EXPECT_NEAR(high, 0.8, 0.08);

    int position = -1;
    const auto [low2, high2] = tones(play_and_hear(
        [&] {
            app->click(QStringLiteral("Play"));
            QTest::qWait(600);
            const QRect bar = element_rect(
                QDir(QStringLiteral(VELQUOR_APP_DIR)).filePath(QStringLiteral("mp3dec.dll")),
                QStringLiteral("ZI3Ruzerudi"), QStringLiteral("Play Bar"));
            QWidget *surface = app->main->childAt(bar.center());
            ASSERT_NE(surface, nullptr);
            const QPoint at = surface->mapFrom(
                app->main, QPoint(bar.left() + bar.width() * 8 / 10, bar.center().y()));
            QTest::mousePress(surface, Qt::LeftButton, {}, at);
            QTest::mouseRelease(surface, Qt::LeftButton, {}, at);
            position = app->main->play_bar->GetPosition();
        },
        4.0));
    ASSERT_NEAR(position, 800, 15);
    // Whatever of the start reached the sink before the press, then the rest.
    EXPECT_LT(low2, 1.5);
    EXPECT_NEAR(high2, std::min(0.8, 4.0 * (1000 - position) / 1000), 0.08);
    EXPECT_EQ(app->list->count(), 1);
    EXPECT_EQ(app->list->image_of(0), image_idle);
}

} // namespace

namespace
{

// A tone stepping 60 Hz up every half second, for 10 s, with the CPU taken by
// two busy processes: every step heard whole, in order, without a break.
TEST_F(TwoTones, UnderLoadTenSecondsOfASteppedToneAreHeardWhole)
{
    const QString path = dir.filePath(QStringLiteral("steps.wav"));
    QStringList effects;
    for (int step = 0; step < 20; ++step) {
        if (step > 0)
            effects << QStringLiteral(":");
        effects << QStringLiteral("synth") << QStringLiteral("0.5") << QStringLiteral("sine")
                << QString::number(440 + 60 * step) << QStringLiteral("gain")
                << QStringLiteral("-6");
    }
    ASSERT_TRUE(playback_files::sox(path, effects, 44100, 2));
    QProcess load;
    load.start(QStringLiteral("stress-ng"),
               {QStringLiteral("--cpu"), QStringLiteral("2"), QStringLiteral("--timeout"),
                QStringLiteral("30s"), QStringLiteral("--quiet")});
    ASSERT_TRUE(load.waitForStarted(5000)) << "stress-ng is needed";
    QTest::qWait(500);
    const SampleArray heard = play_and_hear(
        [&] {
            app->dialogs->open_answers.push_back(path);
            app->click(QStringLiteral("Open"));
        },
        10.0);
    load.kill();
    load.waitForFinished(5000);
    const Span span = loud_span(heard, 1500);
    ASSERT_TRUE(span.found());
    EXPECT_NEAR(span.length() / double(monitor_rate), 10.0, 0.05);
    const double amplitude = peak(heard, span.first, span.last);
    const size_t step = monitor_rate / 2, edge = monitor_rate / 50;
    for (int s = 0; s < 20; ++s) {
        const size_t from = span.first + s * step + edge, to = span.first + (s + 1) * step - edge;
        if (to > span.last)
            break;
        const double hz = 440 + 60 * s;
        EXPECT_NEAR(crossing_frequency(heard, from, to, monitor_rate), hz, 8) << "step " << s;
        EXPECT_LT(worst_sine_break(heard, from, to, hz, monitor_rate, amplitude), 0.3)
            << "step " << s << "; the server logged: " << server_log.since().toStdString();
    }
}

} // namespace
