#pragma once

namespace updater {

// The mouse add-on: three files kept in the launcher's add-on folder, active while they lie in
// the game folder.

// Installs the add-on files (never replacing files already there) when the choice is on, removes
// them when it is off. False when the choice is on but one of the three sources is missing:
// nothing is installed then.
bool applyMouseFreedom(bool choiceOn);

} // namespace updater
