#pragma once

#include <array>
#include <functional>

class QGroupBox;
class QLabel;
class QPushButton;
class QWidget;

namespace updater {

class LevelGauge;

// The three services of a game server, in the order the status probe visits them.
enum class ProbeStep { Account = 0, Char = 1, Map = 2 };

// Indexes of the house pictures of the status display.
enum class HousePicture { NotProbed = 0, Busy = 1, On = 2, Off = 3 };

// The controls of one server on the main window (suffix _S1/_S2, 1/2).
struct ServerControls
{
    std::array<QLabel*, 3> statusCaptions{}; // Label_Status_Account/Char/Map_Sn
    std::array<QLabel*, 3> statusPictures{}; // ServerN_Image_Account/Char/Map
    QWidget* infoPanel = nullptr;            // serverInfo1 (server 1), serverInfo2 (server 2)
    QGroupBox* pingBox = nullptr;            // GroupBox_Ping_Sn
    LevelGauge* gauge = nullptr;             // AdvProgress_Sn
    QLabel* pingTime = nullptr;              // Label_PingTime_Sn
    QLabel* warning = nullptr;               // Label_SteahlModeWarming_Sn
    QPushButton* startButton = nullptr;      // Button_StartN
};

// The controls the switch from the download display to the server display touches besides the
// server's own.
struct DisplaySwitchControls
{
    QWidget* downloadBox = nullptr;       // downloadBox
    QWidget* downloadStatusBox = nullptr; // downloadStatusBox
    QLabel* logo = nullptr;               // logo
};

// Everything of the window one monitor works with. Only touched on the window thread.
struct MonitorWindow
{
    ServerControls server;
    DisplaySwitchControls shared;
    // Gives a status picture label the house picture of the given index (HousePicture).
    std::function<void(QLabel* label, int index)> setPicture;
};

} // namespace updater
