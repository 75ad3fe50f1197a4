#pragma once

namespace updater {

// The mouse add-on: three files kept in the launcher's add-on folder, active while they lie in
// the game folder.

// Installs the add-on files (never replacing files already there) when the choice is on and all
// three sources exist, otherwise shows the "Couldn't find 'GV_MOUSEFREEDOM'" box; removes them
// silently when the choice is off.
void applyMouseFreedom(bool choiceOn);

// The add-on's help box.
void showMouseFreedomHelp();

} // namespace updater
