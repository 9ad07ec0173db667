#include "skin/audio_visualization.h"
#include "skin/spectrum.h"

#include <QEvent>
#include <QImage>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <set>

namespace
{

constexpr int rate = 44100;

SampleArray sine(double freq, int frames, double amplitude = 0.8, int channels = 1)
{
    SampleArray s(size_t(frames) * channels);
    for (int i = 0; i < frames; ++i) {
        const auto v = static_cast<int16_t>(
            std::lround(amplitude * 32767 * std::sin(2 * std::numbers::pi * freq * i / rate)));
        for (int c = 0; c < channels; ++c)
            s[size_t(i) * channels + c] = v;
    }
    return s;
}

QImage render(TAudioVisualizationEx2 &w)
{
    QImage img(w.size(), QImage::Format_RGB32);
    w.render(&img);
    return img;
}

bool is_bar_green(QColor c)
{
    return c == QColor(1, 138, 0);
}

int green_pixels(const QImage &img, int x0 = 0, int x1 = -1)
{
    if (x1 < 0)
        x1 = img.width();
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = x0; x < x1; ++x)
            n += is_bar_green(img.pixelColor(x, y));
    return n;
}

int loudest_bar(const std::vector<double> &bars)
{
    return int(std::max_element(bars.begin(), bars.end()) - bars.begin());
}

// A sine in the middle of each bar's band lights that bar the most.
class SineBar : public ::testing::TestWithParam<int>
{
};

TEST_P(SineBar, EnergyLandsInTheBarOfItsFrequency)
{
    TAudioVisualizationEx2 w;
    const std::vector<int> edges = w.band_edges();
    ASSERT_EQ(edges.size(), 21u);
    const int bar = GetParam();
    const double centre_bin = (edges[bar] + edges[bar + 1] - 1) / 2.0;
    const double freq = centre_bin * rate / 1024.0;
    w.ShowArray(sine(freq, 1024));
    const auto bars = w.bar_levels();
    EXPECT_EQ(loudest_bar(bars), bar) << freq << " Hz";
    EXPECT_GT(bars[bar], 0.9); // -4 dB or louder: a sine at 0.8 of full scale
    // Far from the sine (three bars away and beyond), the Hann window keeps leakage low.
    for (int b = 0; b < 20; ++b) {
        if (std::abs(b - bar) >= 3) {
            EXPECT_LT(bars[b], bars[bar] - 0.3) << "bar " << b;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Bars, SineBar, ::testing::Values(3, 6, 9, 12, 15, 17, 19));

TEST(LevelDisplay, BandsRiseLogarithmicallyAndCoverTheSpectrum)
{
    TAudioVisualizationEx2 w;
    const auto e = w.band_edges();
    EXPECT_EQ(e.front(), 1);
    EXPECT_EQ(e.back(), 513);
    for (size_t i = 1; i < e.size(); ++i)
        EXPECT_GT(e[i], e[i - 1]);
    // Upper bands are wider than lower ones.
    EXPECT_GT(e[20] - e[19], 10 * (e[6] - e[5]));
    // Higher frequency never lights a lower bar.
    int last = 0;
    for (double f = 100; f < 20000; f *= 1.5) {
        w.ShowArray(sine(f, 1024));
        const int b = loudest_bar(w.bar_levels());
        EXPECT_GE(b, last) << f;
        last = b;
    }
}

TEST(LevelDisplay, LevelFollowsLoudnessInDecibels)
{
    TAudioVisualizationEx2 w;
    const double f = 200.0 * rate / 1024.0; // bin 200
    w.ShowArray(sine(f, 1024, 1.0));
    const auto full = w.bar_levels();
    const int bar = loudest_bar(full);
    EXPECT_NEAR(full[bar], 1.0, 0.05);
    w.ShowArray(sine(f, 1024, 0.1)); // -20 dB is a third of the 60 dB scale lower
    EXPECT_NEAR(w.bar_levels()[bar], 1.0 - 20.0 / 60.0, 0.05);
    w.ShowArray(sine(f, 1024, 0.0005)); // about -66 dB: below the scale
    EXPECT_EQ(w.bar_levels()[bar], 0.0);
}

TEST(LevelDisplay, SilenceDrawsNothingGreen)
{
    TAudioVisualizationEx2 w;
    w.ShowArray(SampleArray(2048, 0));
    const QImage img = render(w);
    EXPECT_EQ(green_pixels(img), 0);
    EXPECT_EQ(img.pixelColor(50, 30), QColor(Qt::black));
    for (double v : w.bar_levels())
        EXPECT_EQ(v, 0.0);
}

TEST(LevelDisplay, BarsAreSpotsOfTwoWithOnePixelGaps)
{
    TAudioVisualizationEx2 w;
    ASSERT_EQ(w.size(), QSize(107, 60));
    w.ShowArray(sine(1000, 1024, 1.0));
    const QImage img = render(w);
    const int bar = loudest_bar(w.bar_levels());
    const int x0 = bar * 108 / 20;
    const int x1 = (bar + 1) * 108 / 20 - 1; // one pixel between bars
    ASSERT_TRUE(is_bar_green(img.pixelColor(x0, 59)));
    ASSERT_TRUE(is_bar_green(img.pixelColor(x1 - 1, 59)));
    EXPECT_FALSE(is_bar_green(img.pixelColor(x1, 59))); // the gap between bars
    EXPECT_TRUE(is_bar_green(img.pixelColor(x0, 58)));  // spot: rows 59 and 58
    EXPECT_FALSE(is_bar_green(img.pixelColor(x0, 57))); // then one dark row
    EXPECT_TRUE(is_bar_green(img.pixelColor(x0, 56)));  // next spot
    EXPECT_TRUE(is_bar_green(img.pixelColor(x0, 2)));   // full scale reaches the top spot
    EXPECT_FALSE(is_bar_green(img.pixelColor(x0, 0)));
    // The lowest bar, far below 1 kHz, stays dark at the top.
    EXPECT_FALSE(is_bar_green(img.pixelColor(1, 2)));
}

// At 1.25x and 1.5x a logical 2 + 1 pixel pitch would round to rows of
// uneven height: every spot and every gap must stay alike in device pixels.
class LevelScale : public ::testing::TestWithParam<double>
{
};

TEST_P(LevelScale, SpotsAndGapsKeepOneHeight)
{
    const double dpr = GetParam();
    TAudioVisualizationEx2 w;
    w.ShowArray(sine(1000, 1024, 1.0));
    QImage img(w.size() * dpr, QImage::Format_RGB32);
    img.setDevicePixelRatio(dpr);
    w.render(&img);
    const int bar = loudest_bar(w.bar_levels());
    const int x = int(((bar + 0.5) * 108 / 20) * dpr);
    std::vector<int> lit, dark; // run lengths up the column, the lowest first
    int y = img.height() - 1;
    while (y >= 0) {
        const bool green = is_bar_green(img.pixelColor(x, y));
        int run = 0;
        for (; y >= 0 && is_bar_green(img.pixelColor(x, y)) == green; --y)
            ++run;
        (green ? lit : dark).push_back(run);
    }
    ASSERT_GE(lit.size(), 15u);
    dark.pop_back(); // above the top spot
    EXPECT_EQ(std::set<int>(lit.begin(), lit.end()).size(), 1u) << lit.front();
    EXPECT_EQ(std::set<int>(dark.begin(), dark.end()).size(), 1u) << dark.front();
    EXPECT_GE(dark.front(), 1);
}

INSTANTIATE_TEST_SUITE_P(Scales, LevelScale, ::testing::Values(1.0, 1.25, 1.5, 2.0));

TEST(LevelDisplay, AnEmptyArrayClearsBarsAndTicks)
{
    TAudioVisualizationEx2 w;
    w.ShowArray(sine(3000, 1024));
    ASSERT_GT(green_pixels(render(w)), 0);
    w.ShowArray(SampleArray());
    for (double v : w.bar_levels())
        EXPECT_EQ(v, 0.0);
    for (double v : w.peak_levels())
        EXPECT_EQ(v, 0.0);
    EXPECT_EQ(green_pixels(render(w)), 0);
}

TEST(LevelDisplay, ChannelsAreMixedToMono)
{
    TAudioVisualizationEx2 w;
    w.setChannels(2);
    EXPECT_EQ(w.Channels(), 2);
    SampleArray opposite = sine(2000, 1024, 0.5, 2);
    for (size_t i = 1; i < opposite.size(); i += 2)
        opposite[i] = static_cast<int16_t>(-opposite[i]); // right = -left: cancels out
    w.ShowArray(opposite);
    EXPECT_EQ(green_pixels(render(w)), 0);

    SampleArray left_only = sine(2000, 1024, 0.5, 2);
    for (size_t i = 1; i < left_only.size(); i += 2)
        left_only[i] = 0;
    w.ShowArray(left_only);
    const auto bars = w.bar_levels();
    w.setChannels(1);
    w.ShowArray(sine(2000, 1024, 0.25)); // the same mix, as mono
    EXPECT_EQ(loudest_bar(bars), loudest_bar(w.bar_levels()));
    EXPECT_NEAR(bars[loudest_bar(bars)], w.bar_levels()[loudest_bar(bars)], 0.01);
}

TEST(LevelDisplay, ShortLongAndRaggedArraysAreTaken)
{
    TAudioVisualizationEx2 w;
    w.ShowArray(sine(5000, 300)); // fewer than 1024 frames
    EXPECT_GT(w.bar_levels()[loudest_bar(w.bar_levels())], 0.8);
    // Only the latest 1024 frames count: older loud audio is ignored.
    SampleArray late_silence = sine(5000, 4096);
    std::fill(late_silence.end() - 1024, late_silence.end(), int16_t(0));
    w.ShowArray(late_silence);
    for (double v : w.bar_levels())
        EXPECT_EQ(v, 0.0);
    w.setChannels(2);
    w.ShowArray(SampleArray{1000}); // half a frame
    w.ShowArray(SampleArray(2049, 100));
    SUCCEED();
}

TEST(LevelDisplay, PeakTicksHoldThenFallOneSpotPerStep)
{
    TAudioVisualizationEx2 w;
    qint64 now = 1000;
    w.set_clock([&] { return now; });
    w.ShowArray(sine(1000, 1024, 1.0));
    const int bar = loudest_bar(w.bar_levels());
    const double peak = w.peak_levels()[bar];
    ASSERT_GT(peak, 0.95);

    w.ShowArray(SampleArray(1024, 0)); // sound stops: bars drop, the tick stays up
    EXPECT_EQ(w.bar_levels()[bar], 0.0);
    now += 200;
    EXPECT_EQ(w.peak_levels()[bar], peak);
    const QImage held = render(w);
    const int x = bar * 108 / 20;
    int tick_rows = 0;
    for (int y = 0; y < 60; ++y)
        tick_rows += is_bar_green(held.pixelColor(x, y));
    EXPECT_EQ(tick_rows, 2); // just the tick, one spot high

    now += 20 * 5; // five release steps of one spot (1/20 of the height) each
    EXPECT_NEAR(w.peak_levels()[bar], peak - 5.0 / 20, 1e-9);
    now += 20 * 100;
    EXPECT_EQ(w.peak_levels()[bar], 0.0);
    EXPECT_EQ(green_pixels(render(w)), 0);

    // A louder bar lifts the tick again at once.
    w.ShowArray(sine(1000, 1024, 0.1));
    EXPECT_EQ(w.peak_levels()[bar], w.bar_levels()[bar]);
}

// Counts the paints a widget makes on its own.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};

TEST(LevelDisplay, AFallingTickRepaintsByItselfThenTheDisplayRests)
{
    TAudioVisualizationEx2 w;
    PaintCounter counter;
    w.installEventFilter(&counter);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.ShowArray(sine(1000, 1024, 1.0));
    const int bar = loudest_bar(w.bar_levels());
    w.ShowArray(SampleArray(1024, 0));
    QCoreApplication::processEvents();
    counter.paints = 0;
    // The tick holds 200 ms, then falls a spot per 20 ms: down in 0.6 s.
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.peak_levels()[bar] == 0.0; }, 5000));
    QTest::qWait(100);
    EXPECT_GE(counter.paints, 3) << "the fall is shown without new samples";
    counter.paints = 0;
    QTest::qWait(300);
    EXPECT_EQ(counter.paints, 0) << "nothing moves, nothing is repainted";
    EXPECT_EQ(green_pixels(render(w)), 0);
}

} // namespace

// The fast transform against the plain sum, over sizes and inputs that use
// every butterfly stage and both edge bins.
TEST(LevelDisplay, SpectrumMatchesTheDirectTransform)
{
    for (const int size : {4, 8, 64, 1024}) {
        RealSpectrum spectrum(size);
        std::vector<float> in(static_cast<size_t>(size));
        for (int i = 0; i < size; ++i)
            in[size_t(i)] = static_cast<float>(std::sin(0.37 * i) + 0.5 * std::cos(2.9 * i) +
                                               (i % 3 == 0 ? 0.25 : -0.1));
        std::vector<float> out(static_cast<size_t>(size) + 2);
        spectrum.transform(in.data(), out.data());
        for (int k = 0; k <= size / 2; ++k) {
            double re = 0, im = 0;
            for (int n = 0; n < size; ++n) {
                const double a = -2 * std::numbers::pi * k * n / size;
                re += in[size_t(n)] * std::cos(a);
                im += in[size_t(n)] * std::sin(a);
            }
            const double tolerance = 1e-4 * size;
            EXPECT_NEAR(out[2 * size_t(k)], re, tolerance) << "size " << size << " bin " << k;
            EXPECT_NEAR(out[2 * size_t(k) + 1], im, tolerance) << "size " << size << " bin " << k;
        }
    }
}
