#pragma once

#include "trust/Minisign.h"

#include <optional>
#include <string>
#include <vector>

namespace updater {
class ProfileFile;
}

namespace patchtool {

// Exit codes: all well, something found (or missing), the command line cannot be carried out.
constexpr int ExitClean = 0;
constexpr int ExitFound = 1;
constexpr int ExitUsage = 2;

// One slot of a patch list as the launcher reads it.
struct Slot
{
    std::string key; // "Update_N"
    std::string address;
    std::string documentName;
    std::string integrity;  // the slot's line of [Integrity], empty when it has none
    std::string torrentPin; // the slot's line of [Torrents], empty when it has none
};

// The slots in slot order, up to the first missing or empty one, as the launcher reads them.
std::vector<Slot> readSlots(const updater::ProfileFile& list);

// What is wrong, and with what ("Update_4", "list", "config").
struct Problem
{
    std::string subject;
    std::string text;
};

// Slot lines the launcher never reads: after a gap in the numbering (it stops at the first missing
// slot), or with an address under [Integrity] (written after that section). The lines are those the
// launcher's profile reader splits the list into, whatever its line ends and encoding.
std::vector<Problem> slotLinesNeverRead(const updater::ProfileFile& list, size_t slotsRead);

// The path of a file in a folder given on the command line ("patches" or "patches/").
std::string pathIn(const std::string& folder, const std::string& name);

// `tarvo-patchtool integrity LIST DIR`.
int writeIntegrityLines(const std::string& listPath, const std::string& archiveFolder);

struct CheckRequest
{
    std::string list;                         // a file or an http(s) address
    std::optional<std::string> keyFile;       // the community's public key, as minisign -G writes it
    std::optional<std::string> archiveFolder; // the archives by document name instead of downloads
    std::optional<std::string> config;        // updater4.cfg, a file or an http(s) address
    bool newOnly = false;                     // skip archives an earlier check passed
    // Where the slots' torrents are read ("<document name>.torrent") instead of the archive folder:
    // publish checks the torrents it made before they are put beside the archives.
    std::optional<std::string> torrentFolder;
};

// `tarvo-patchtool check LIST [--key FILE] [--archives DIR] [--config FILE|URL] [--new-only]`.
int checkPatchSet(const CheckRequest& request);

// The same check with the key already in hand (or none): prints each problem and a summary line.
int checkPatchSet(const CheckRequest& request, const std::optional<updater::MinisignKey>& key);

struct PublishRequest
{
    std::string list;
    std::string archiveFolder;
    std::string secretKeyFile;
    std::optional<std::string> config;
    std::optional<std::string> base; // where new archives are published, for a list without slots
    bool dryRun = false;
    // The community's trackers: with any, every slot gets a torrent beside its archive, pinned
    // under [Torrents], and the tracker's whitelist is written beside the list.
    std::vector<std::string> trackers;
    // The mirrors' base addresses, the torrents' further web seeds; without them, the
    // configuration's Patch_Mirrors.
    std::optional<std::vector<std::string>> mirrors;
};

// `tarvo-patchtool publish --list LIST --archives DIR --key SECRET [--config CFG] [--base URL]
// [--trackers URL[,URL...]] [--mirrors URL[,URL...]] [--dry-run]`.
int publishPatchSet(const PublishRequest& request);

struct NewCommunityRequest
{
    std::string folder; // new or empty: web/ and game/ are made in it
    std::string title;
    std::string site;                   // the http(s) address the web/ half is served at
    std::optional<std::string> keyFile; // the community's minisign public key
};

// `tarvo-patchtool new-community DIR --title NAME --site URL [--key FILE.pub]`.
int makeNewCommunity(const NewCommunityRequest& request);

} // namespace patchtool
