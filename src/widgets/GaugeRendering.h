#pragma once

#include <QColor>
#include <QImage>
#include <QSize>

namespace updater {

// The integer nearest to numerator / denominator, a half going to the even neighbour.
// Exact for every integer input; the denominator must be positive.
long long nearestHalfEven(long long numerator, long long denominator);

// A colour pair of one level: the strong colour along the middle line, the pale one at the edges.
struct GaugeColorPair
{
    QColor color;
    QColor colorTo;
};

// The look of the ping gauge; the defaults are the ones the window uses.
struct GaugeSettings
{
    int level1Percent = 50;
    int level2Percent = 80;
    GaugeColorPair level0{QColor(0, 255, 0), QColor(225, 255, 225)};
    GaugeColorPair level1{QColor(255, 255, 0), QColor(255, 255, 202)};
    GaugeColorPair level2{QColor(255, 169, 83), QColor(255, 211, 168)}; // kept, not drawn when stacked
    GaugeColorPair level3{QColor(255, 0, 0), QColor(255, 202, 202)};
    QColor background = Qt::white;
    QColor border = Qt::black;
    bool showBorder = true;
    bool showGradient = true;
    int steps = 200; // colour bands per half level
};

// Draws the horizontal, stacked gauge for `position` (a percentage, not clamped) into a new
// picture of the given size.
QImage renderGauge(QSize size, const GaugeSettings& settings, int position);

} // namespace updater
