#include "widgets/LevelGauge.h"

#include <QPainter>

namespace updater {

LevelGauge::LevelGauge(QWidget* parent) : QWidget(parent)
{
    // Every pixel comes from the picture, so the toolkit need not clear the area first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void LevelGauge::setPosition(int position)
{
    m_position = position;
    repaint();
}

void LevelGauge::setSteps(int steps)
{
    m_settings.steps = steps;
    update();
}

QImage LevelGauge::render() const
{
    return renderGauge(size(), m_settings, m_position);
}

void LevelGauge::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, render());
}

} // namespace updater
