#pragma once

#include "app/RunState.h"

#include <QMenu>

class QAction;

namespace updater {

// The menu behind the "Settings" button: the game's setup tool, the mouse add-on choice with its
// help, two sub-menus shown greyed, the download speed limit, sharing patches with other players and the
// check of the game files (available once the update run is over). Items carry object names (gameSetupItem,
// mouseFreedomOn, volume80, ...) by which the window and tests find them.
class SettingsMenu : public QMenu
{
    Q_OBJECT

public:
    explicit SettingsMenu(RunState& state, QWidget* parent = nullptr);

    // Sets the add-on marks from the choice loaded at start-up.
    void initMouseFreedomMenu();

    QAction* item(const QString& name) const;
    // Sets the mark of "Share patches with other players" from the choice loaded at start-up.
    void initSharePatchesItem();
    // "Check game files" can be chosen: the update run is over and no check runs.
    void setCheckGameFilesAvailable(bool available);

public slots:
    // Opens the menu with its top-left corner at the mouse cursor.
    void popupAtCursor();
    // Starts the game's "Setup.exe" when there is one; nothing otherwise.
    void startGameSetup();
    void chooseMouseFreedomOn();
    void chooseMouseFreedomOff();
    void showMouseFreedomHelp();
    // Asks for the download speed limit in an input box; a new one is kept in the run state and
    // announced.
    void chooseSpeedLimit();
    // The player turned sharing patches on or off: kept in the run state and announced.
    void chooseSharePatches(bool share);

signals:
    void checkGameFilesRequested();
    void speedLimitChosen();
    void sharePatchesChosen();

private:
    QAction* addItem(QMenu* menu, const char* name, const QString& caption);
    QMenu* addSubMenu(const char* name, const QString& caption);
    void buildSoundMenu();
    void buildServerStatusMenu();

    RunState& m_state;
    QAction* m_freedomOn = nullptr;
    QAction* m_freedomOff = nullptr;
    QAction* m_checkGameFiles = nullptr;
    QAction* m_sharePatches = nullptr;
};

// Shows an item in bold, the way the default item of a menu is drawn.
void markAsDefaultItem(QAction* action);

} // namespace updater
