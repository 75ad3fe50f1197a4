#include "app/ServerPanel.h"

#include "app/Messages.h"
#include "app/RunState.h"

#include "widgets/LevelGauge.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace updater {

namespace {

void setHousePicture(const ServerView& view, ProbeStep step, HousePicture picture)
{
    QLabel* label = view.server.statusPictures[static_cast<int>(step)];
    if (view.setPicture)
        view.setPicture(label, static_cast<int>(picture));
    label->repaint();
}

} // namespace

void showFirstServer(const ServerView& view, int howManyServers)
{
    const ServerControls& s = view.server;
    view.shared.downloadBox->hide();
    view.shared.downloadStatusBox->hide();
    if (howManyServers == 1) {
        view.shared.logo->show();
        s.pingBox->resize(499, s.pingBox->height());
        s.startButton->resize(s.startButton->width(), 92);
        s.pingBox->show();
        // The round trip keeps its right edge at 493, growing to the left.
        s.pingTime->move(493 - s.pingTime->width(), s.pingTime->y());
        s.gauge->resize(425, s.gauge->height());
    } else {
        s.pingBox->show();
    }
    s.infoPanel->show();
}

void showSecondServer(const ServerView& view)
{
    view.server.infoPanel->show();
    view.server.pingBox->show();
    view.server.startButton->show();
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

void showProbeBusy(const ServerView& view, ProbeStep step)
{
    setHousePicture(view, step, HousePicture::Busy);
}

void showProbeResult(const ServerView& view, ProbeStep step, bool accepted)
{
    view.server.statusCaptions[static_cast<int>(step)]->setText(accepted ? "-= On =-" : "-= Off =-");
    setHousePicture(view, step, accepted ? HousePicture::On : HousePicture::Off);
}

void updateStartButtons(const RunState& state, QPushButton* start1, QPushButton* start2,
                        const std::array<QString, 2>& names)
{
    const bool ready = state.configRefreshed && !state.repairingGameFiles;
    QPushButton* const buttons[] = {start1, start2};
    for (int i = 0; i < 2; ++i) {
        buttons[i]->setEnabled(state.serverOnline[i] && ready);
        const StartBlock block = state.updating             ? StartBlock::Updating
                                 : state.repairingGameFiles ? StartBlock::CheckingFiles
                                 : !state.configRefreshed   ? StartBlock::NotRefreshed
                                 : !state.serverOnline[i]   ? StartBlock::MapServerOff
                                                            : StartBlock::None;
        buttons[i]->setToolTip(
            QString::fromLatin1(messages::startButtonTip(names[i].toLatin1().toStdString(), block)));
    }
}

} // namespace updater
