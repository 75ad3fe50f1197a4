#pragma once

#include "widgets/GaugeRendering.h"

#include <QWidget>

namespace updater {

// The ping gauge: stacked, shaded levels drawn in an off-screen picture.
class LevelGauge : public QWidget
{
    Q_OBJECT
public:
    explicit LevelGauge(QWidget* parent = nullptr);

    int position() const { return m_position; }
    void setPosition(int position); // stored unchanged, redrawn at once
    int steps() const { return m_settings.steps; }
    void setSteps(int steps);

    const GaugeSettings& settings() const { return m_settings; }

    // Renders the gauge at its current size, as it appears on screen.
    QImage render() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_position = 100;
    GaugeSettings m_settings;
};

} // namespace updater
