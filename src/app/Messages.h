#pragma once

#include "launch/UpdaterReplacement.h"
#include "patch/TransferCaption.h"
#include "platform/ProgramStarter.h"
#include "player/PlayerContact.h"

#include <string>

// Every text the launcher shows the player in a box, in one place. Texts are 8-bit (Latin-1), as
// the community's files are.
namespace updater::messages {

std::string alreadyRunning();
std::string gameFolderInUse();
// The game folder's lock file cannot be opened, or something else stands at its name.
std::string gameFolderLockUnusable(const std::string& lockPath, const std::string& reason);
std::string configurationMissing(const std::string& configPath);
std::string offline();
std::string firstStart();
std::string settingsRepaired();
std::string settingsNotSaved();
// The outcome of "Check game files": files checked, found damaged, left damaged after the repair,
// and patches applied before the record of installed files began.
std::string gameFilesChecked(size_t checked, size_t damaged, size_t stillDamaged, size_t notCovered);
std::string refreshFailed(const std::string& configLink, const std::string& reply);
std::string closeQuestion();
std::string noDataFolder();
std::string clientMissing(const std::string& clientName);
std::string replacement(UpdaterReplacement found);
std::string addOnMissing();
std::string addOnHelp();
std::string cannotStart(const std::string& commandLine, ProgramStart outcome);
// The markup of the status line's first panel: a bold label and a link to `homepage` that shows
// the community's display address. The closing tag lacks its ">" on purpose; the status line
// hides it.
std::string statusLine(const std::string& homepage);
// The caption above the download bar.
std::string transferCaption(const TransferCaption& caption);
// The text of a worker's notice.
std::string notice(const Notice& notice);

} // namespace updater::messages
