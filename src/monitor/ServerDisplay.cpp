#include "monitor/ServerDisplay.h"

#include "widgets/LevelGauge.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace updater {

namespace {

void setHousePicture(const MonitorWindow& window, ProbeStep step, HousePicture picture)
{
    QLabel* label = window.server.statusPictures[static_cast<int>(step)];
    if (window.setPicture)
        window.setPicture(label, static_cast<int>(picture));
    label->repaint();
}

} // namespace

void showServerDisplay1(const MonitorWindow& window, int howManyServers)
{
    const ServerControls& s = window.server;
    window.shared.downloadBox->hide();
    window.shared.downloadStatusBox->hide();
    if (howManyServers == 1) {
        window.shared.logo->show();
        s.pingBox->resize(499, s.pingBox->height());
        s.startButton->resize(s.startButton->width(), 92);
        s.pingBox->show();
        s.pingTime->move(455, s.pingTime->y());
        s.gauge->resize(425, s.gauge->height());
    } else {
        s.pingBox->show();
    }
    s.infoPanel->show();
}

void showServerDisplay2(const MonitorWindow& window)
{
    window.server.infoPanel->show();
    window.server.pingBox->show();
    window.server.startButton->show();
}

void showPingReply(const ServerControls& controls, const ReplyStatus& reply)
{
    if (reply.receivedBytes != 0) {
        controls.gauge->show();
        controls.pingTime->show();
        controls.warning->hide();
        // Positions above 100 draw a full gauge: 300 ms and more fill it.
        controls.gauge->setPosition(static_cast<int>(reply.roundTripMs / 3));
        controls.pingTime->setText(QString::number(reply.roundTripMs) + " ms");
    } else {
        controls.gauge->hide();
        controls.pingTime->hide();
        controls.warning->show();
    }
}

void showProbeBusy(const MonitorWindow& window, ProbeStep step)
{
    setHousePicture(window, step, HousePicture::Busy);
}

void showProbeResult(const MonitorWindow& window, ProbeStep step, bool accepted)
{
    window.server.statusCaptions[static_cast<int>(step)]->setText(accepted ? "-= On =-" : "-= Off =-");
    setHousePicture(window, step, accepted ? HousePicture::On : HousePicture::Off);
}

} // namespace updater
