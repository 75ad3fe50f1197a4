#include "widgets/LevelGauge.h"

#include <QImage>
#include <QPainter>

namespace updater {

LevelGauge::LevelGauge(QWidget* parent) : QWidget(parent) {}

void LevelGauge::setPosition(int position)
{
    m_position = position;
    repaint();
}

void LevelGauge::setSteps(int steps)
{
    m_steps = steps;
    update();
}

QImage LevelGauge::render() const
{
    QImage image(size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

void LevelGauge::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, render());
}

} // namespace updater
