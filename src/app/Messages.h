#pragma once

#include "launch/UpdaterReplacement.h"
#include "patch/GameFilesCheck.h"
#include "patch/TransferCaption.h"
#include "platform/ProgramStarter.h"
#include "player/PlayerContact.h"

#include <string>
#include <vector>

// Every text the launcher shows the player in a box, in one place. Texts are 8-bit (Latin-1), as
// the community's files are.
namespace updater {

// Why a start button cannot be used now, the first of these that holds.
enum class StartBlock { None, Updating, CheckingFiles, NotRefreshed, MapServerOff };

} // namespace updater

namespace updater::messages {

std::string alreadyRunning();
std::string gameFolderInUse();
// A run without a window refused because the launcher's window is open on this game folder;
// `check`: the run was to check (or repair) the game files.
std::string openOnThisFolder(bool check);
// The game folder's lock file cannot be opened, or something else stands at its name.
std::string gameFolderLockUnusable(const std::string& lockPath, const std::string& reason,
                                   bool standsInTheWay);
std::string configurationMissing(const std::string& configPath);
// The configuration is there but too large to be read.
std::string configurationTooLarge(const std::string& configPath);
std::string offline();
std::string firstStart();
std::string settingsRepaired();
std::string settingsNotSaved();
// The outcome of "Check game files": what the check found, what is left damaged after the
// repair and why, and the state of the record of installed files.
std::string gameFilesChecked(const RepairReport& report);
// The lines of a check's report on the console, for --verify and --repair: each damaged file
// with the slot and archive that wrote it, the slots the record cannot cover, the lines of the
// record that cannot be read, and a summary.
std::vector<std::string> gameFilesReport(const GameFilesReport& report);
// The lines naming what a repair could not mend, and why.
std::vector<std::string> notMended(const RepairReport& report);
std::string refreshFailed(const std::string& configLink, const std::string& reply);
std::string closeQuestion();
// After a minute of waiting for busy servers: wait on (Yes), or go on without this patch (No).
std::string busyQuestion(const std::string& document);
// A start button's tooltip: what it does, or why it cannot be used now.
std::string startButtonTip(const std::string& serverName, StartBlock block);
std::string noDataFolder();
std::string clientMissing(const std::string& clientName);
std::string replacement(UpdaterReplacement found);
std::string addOnMissing();
std::string addOnHelp();
// The question of the "Download speed limit..." input box.
std::string speedLimitQuestion();
std::string cannotStart(const std::string& commandLine, ProgramStart outcome);
// The markup of the status line's first panel: a bold label and a link to `homepage` that shows
// the community's display address. The closing tag lacks its ">" on purpose; the status line
// hides it.
std::string statusLine(const std::string& homepage);
// The caption above the download bar.
std::string transferCaption(const TransferCaption& caption);
// The caption while an archive's entries are about to be unpacked.
std::string unpackingStarted();
// The caption while the game files are checked; `total` 0 before the count is known.
std::string checkingGameFiles(int done, int total);
// The text of a worker's notice.
std::string notice(const Notice& notice);

// The tooltip of "Share patches with other players": what the player agrees to.
std::string sharePatchesTip();

} // namespace updater::messages
