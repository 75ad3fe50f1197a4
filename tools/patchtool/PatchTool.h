#pragma once

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
    std::string integrity; // the slot's line of [Integrity], empty when it has none
};

// The slots in slot order, up to the first missing or empty one, as the launcher reads them.
std::vector<Slot> readSlots(const updater::ProfileFile& list);

// The path of a file in a folder given on the command line ("patches" or "patches/").
std::string pathIn(const std::string& folder, const std::string& name);

// `tarvo-patchtool integrity LIST DIR`.
int writeIntegrityLines(const std::string& listPath, const std::string& archiveFolder);

struct CheckRequest
{
    std::string list;                         // a file or an http(s) address
    std::optional<std::string> keyFile;       // the community's public key, as minisign -G writes it
    std::optional<std::string> archiveFolder; // the archives by document name instead of downloads
};

// `tarvo-patchtool check LIST [--key FILE] [--archives DIR]`.
int checkPatchSet(const CheckRequest& request);

} // namespace patchtool
