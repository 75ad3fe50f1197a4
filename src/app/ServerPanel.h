#pragma once

#include "monitor/StatusProbe.h"
#include "net/IcmpPacket.h"

#include <QString>

#include <array>
#include <functional>

class QGroupBox;
class QLabel;
class QPushButton;
class QWidget;

namespace updater {

class LevelGauge;
struct RunState;

// Indexes of the house pictures of the status display.
enum class HousePicture { NotProbed = 0, Busy = 1, On = 2, Off = 3 };

// The controls of one server on the main window (object names ending in 1 or 2).
struct ServerControls
{
    std::array<QLabel*, 3> statusCaptions{}; // accountStatusN, charStatusN, mapStatusN
    std::array<QLabel*, 3> statusPictures{}; // accountHouseN, charHouseN, mapHouseN
    QWidget* infoPanel = nullptr;            // serverInfoN
    QGroupBox* pingBox = nullptr;
    LevelGauge* gauge = nullptr;
    QLabel* pingTime = nullptr;
    QLabel* warning = nullptr;
    QPushButton* startButton = nullptr;
};

// The controls the switch from the download display to the server display touches besides the
// server's own.
struct SharedControls
{
    QWidget* downloadBox = nullptr;
    QWidget* downloadStatusBox = nullptr;
    QLabel* logo = nullptr;
};

// Everything of the window that shows one server. Only touched on the window thread.
struct ServerView
{
    ServerControls server;
    SharedControls shared;
    // Gives a status picture label the house picture of the given index (HousePicture).
    std::function<void(QLabel* label, int index)> setPicture;
};

// Leaves the download display for server 1's display. One server gets the wide layout (logo,
// 499-wide ping box, 425-wide gauge, round-trip label at 455, tall button).
void showFirstServer(const ServerView& view, int howManyServers);

// The second server's status panel, ping box and start button.
void showSecondServer(const ServerView& view);

// The gauge and round-trip time for an answer, the warning for none.
void showPingReply(const ServerControls& controls, const ReplyStatus& reply);

// The blue house of the service being probed.
void showProbeBusy(const ServerView& view, ProbeStep step);

// The result of one service: "-= On =-" with the green house or "-= Off =-" with the red one.
void showProbeResult(const ServerView& view, ProbeStep step, bool accepted);

// Run every second: a start button is usable exactly while the configuration refresh succeeded
// and that server's map port accepted the last probe. The account and char results play no part.
// A button that cannot be used says why in its tooltip; `names` are the servers' names.
void updateStartButtons(const RunState& state, QPushButton* start1, QPushButton* start2,
                        const std::array<QString, 2>& names);

} // namespace updater
