#pragma once
// TAudioVisualizationEx2: the level display, a 107 x 60 widget drawing the
// spectrum of the latest samples as 20 green bars on black with falling peak
// ticks. ShowArray takes interleaved samples of Channels() channels (1024
// frames is what the windows hand it); an empty array clears the display.
// User-interface thread only.

#include "audio_types.h"

#include <QColor>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class TAudioVisualizationEx2 : public QWidget
{
    Q_OBJECT
public:
    explicit TAudioVisualizationEx2(QWidget *parent = nullptr);
    ~TAudioVisualizationEx2() override;

    void ShowArray(const SampleArray &samples);
    void setChannels(int channels);
    int Channels() const;

    // Current bar heights 0..1 and peak tick heights 0..1, for tests and painting.
    std::vector<double> bar_levels() const;
    std::vector<double> peak_levels() const;

    // FFT bin boundaries of the 20 bars (21 entries, bins of a 1024-point
    // transform): bar b covers bins [edges[b], edges[b+1]).
    std::vector<int> band_edges() const;
    // The clock (ms) that times the peak ticks' hold and fall; the wall clock
    // by default. An empty function restores the wall clock.
    void set_clock(std::function<qint64()> now_ms);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // Repaints only when the picture changed; wakes when a falling tick next moves.
    void refresh();
    int spot_count() const; // rows of spots the height holds
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
