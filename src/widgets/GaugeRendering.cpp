#include "widgets/GaugeRendering.h"

#include <QPainter>

#include <algorithm>

namespace updater {

long long nearestHalfEven(long long numerator, long long denominator)
{
    long long quotient = numerator / denominator;
    long long remainder = numerator % denominator;
    if (remainder < 0) { // floor division, so that the remainder lies in [0, denominator)
        quotient -= 1;
        remainder += denominator;
    }
    const long long twice = 2 * remainder;
    if (twice > denominator || (twice == denominator && quotient % 2 != 0))
        quotient += 1;
    return quotient;
}

namespace {

int blendChannel(int start, int end, int band, int steps)
{
    return start + int(nearestHalfEven(static_cast<long long>(band) * (end - start), steps));
}

QColor bandColor(const QColor& start, const QColor& end, int band, int steps)
{
    return QColor(blendChannel(start.red(), end.red(), band, steps),
                  blendChannel(start.green(), end.green(), band, steps),
                  blendChannel(start.blue(), end.blue(), band, steps));
}

// One half of a shaded part: `steps` bands from `start` at its top to `end` at its bottom. Band i
// begins at near(i * h) and is int(h) + 1 high, h being the half's height over `steps`; bands
// overlap, a later band covering the one before, and nothing leaves the half.
void drawShadedHalf(QPainter& painter, const QRect& half, const QColor& start, const QColor& end, int steps)
{
    if (half.height() <= 0)
        return;
    painter.save();
    painter.setClipRect(half);
    const int height = half.height();
    const int bandHeight = height / steps + 1;
    for (int band = 0; band < steps; ++band) {
        const int offset = int(nearestHalfEven(static_cast<long long>(band) * height, steps));
        painter.fillRect(half.left(), half.top() + offset, half.width(), bandHeight,
                         bandColor(start, end, band, steps));
    }
    painter.restore();
}

void drawPart(QPainter& painter, const QRect& part, const GaugeColorPair& pair, const GaugeSettings& settings)
{
    if (part.width() <= 0 || part.height() <= 0)
        return;
    if (!settings.showGradient) {
        painter.fillRect(part, pair.color);
        return;
    }
    const int steps = std::max(settings.steps, 1);
    const int upperHeight = part.height() / 2;
    const QRect upper(part.left(), part.top(), part.width(), upperHeight);
    const QRect lower(part.left(), part.top() + upperHeight, part.width(), part.height() - upperHeight);
    drawShadedHalf(painter, upper, pair.colorTo, pair.color, steps);
    drawShadedHalf(painter, lower, pair.color, pair.colorTo, steps);
}

int percentOf(int length, int percent)
{
    return int(nearestHalfEven(static_cast<long long>(length) * percent, 100));
}

} // namespace

QImage renderGauge(QSize size, const GaugeSettings& settings, int position)
{
    QImage image(size, QImage::Format_RGB32);
    if (size.isEmpty())
        return image;
    image.fill(settings.background);

    QPainter painter(&image);
    painter.setPen(settings.showBorder ? settings.border : settings.background);
    painter.drawRect(0, 0, size.width() - 1, size.height() - 1);

    const int usable = size.width() - 2;
    const int top = 1;
    const int height = size.height() - 2;
    if (position <= 0)
        return image;

    int x = 1;
    const int first = percentOf(usable, std::min(position, settings.level1Percent));
    drawPart(painter, QRect(x, top, first, height), settings.level0, settings);
    x += first;
    if (position < settings.level1Percent)
        return image;

    const int second = percentOf(usable, std::min(position, settings.level2Percent) - settings.level1Percent);
    drawPart(painter, QRect(x, top, second, height), settings.level1, settings);
    x += second;
    if (position < settings.level2Percent)
        return image;

    // A full bar ends exactly at the frame; beyond 100 the picture's edge cuts the part off.
    const int third =
        position == 100 ? usable - first - second : percentOf(usable, position - settings.level2Percent);
    drawPart(painter, QRect(x, top, third, height), settings.level3, settings);
    return image;
}

} // namespace updater
