#include "patch/Downloads.h"

#include "net/AddressParts.h"
#include "patch/PatchDownload.h"
#include "patch/PatchLists.h"
#include "platform/AtomicFile.h"
#include "platform/FileOps.h"
#include "platform/GamePath.h"
#include "platform/PathText.h"
#include "platform/ProfileFile.h"
#include "platform/UpdaterError.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <regex>
#include <set>

namespace updater {

namespace {

namespace fs = std::filesystem;

// A stable name for an address: 64-bit FNV-1a.
uint64_t addressHash(const std::string& address)
{
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (unsigned char c : address) {
        hash ^= c;
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

// Temporary names of downloads and extractions (mkstemp's six characters), which can lie beside
// any game file.
bool isTransferTemporary(const std::string& name)
{
    static const std::regex pattern(R"(\.updater-(download|unrar)-[A-Za-z0-9]{6})");
    return std::regex_match(name, pattern);
}

// Temporary names of whole-file writes, which lie only beside the launcher's own files; a
// player's ".updater-backup" elsewhere is not ours to remove.
bool isWriteTemporary(const fs::path& path)
{
    static const std::regex pattern(R"(\.updater-[A-Za-z0-9]{6})");
    const std::string folder = lowerAscii(path.parent_path().lexically_normal().string());
    return (folder == "tarvo-updater" || folder == "data") &&
           std::regex_match(path.filename().string(), pattern);
}

bool isRealFolder(const std::string& path)
{
    std::error_code error;
    return fs::symlink_status(path, error).type() == fs::file_type::directory;
}

bool isDownloadName(const std::string& name)
{
    static const std::regex pattern(R"(patch-[0-9a-f]{16}\.rar(\.part(\.validator)?)?)");
    return std::regex_match(name, pattern);
}

// What a later attempt may use: the part files of the slots still pending in the list on disk, and
// the whole archives of those among them that an integrity line will check again.
std::set<std::string> resumableNames()
{
    std::set<std::string> names;
    const ProfileFile patchList(resolveGamePath(patchListPath()));
    const ProfileFile appliedRecord(resolveGamePath(appliedRecordPath()));
    for (const PendingPatch& patch : pendingPatches(patchList, appliedRecord)) {
        const PartFiles files(downloadFileName(patch.address));
        names.insert(files.part);
        names.insert(files.validator);
        if (!patch.integrity.empty())
            names.insert(downloadFileName(patch.address));
    }
    return names;
}

} // namespace

std::string downloadsFolder(bool create)
{
    const std::string updaterFolder = resolveGamePath("Tarvo-Updater");
    const std::string folder = resolveGamePath(updaterFolderPath("downloads"));
    if (create &&
        (makeFolder(updaterFolder) == FolderMade::Failed || makeFolder(folder) == FolderMade::Failed))
        return {};
    return folder;
}

std::string downloadFileName(const std::string& address)
{
    char name[32];
    std::snprintf(name, sizeof name, "patch-%016llx.rar",
                  static_cast<unsigned long long>(addressHash(address)));
    return name;
}

std::string mirrorAddress(const std::string& mirrorBase, const std::string& address)
{
    const std::optional<AddressParts> parts = splitAddress(address, WithoutScheme::Http);
    std::string base = mirrorBase;
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    return base + (parts ? parts->path + parts->query + parts->fragment : "/");
}

void removeLeftovers(bool keepDownloads)
{
    std::error_code error;
    for (fs::recursive_directory_iterator it(".", fs::directory_options::skip_permission_denied, error), end;
         !error && it != end; it.increment(error)) {
        const fs::path relative = it->path().lexically_relative(".");
        if ((isTransferTemporary(relative.filename().string()) || isWriteTemporary(relative)) &&
            it->symlink_status(error).type() == fs::file_type::regular)
            fs::remove(it->path(), error);
        error.clear();
    }
    const std::string downloads = downloadsFolder(false);
    // A downloads folder that is a link leads elsewhere: nothing there is ours.
    if (keepDownloads || !isRealFolder(downloads))
        return;
    const std::set<std::string> resumable = resumableNames();
    for (const std::string& folder : {downloads, sharingFolder()}) {
        if (!isRealFolder(folder))
            continue;
        for (const auto& entry : fs::directory_iterator(folder, error)) {
            const std::string name = entry.path().filename().string();
            if (isDownloadName(name) && !resumable.count(name) &&
                entry.symlink_status(error).type() == fs::file_type::regular)
                fs::remove(entry.path(), error);
        }
    }
}

std::string sharingFolder()
{
    return downloadsFolder(false) + "/shared";
}

uint64_t gameFolderSeed()
{
    // Only in a game folder that has the launcher's folder: nothing is made elsewhere.
    const bool updaterFolder = entryKind(resolveGamePath("Tarvo-Updater")) == EntryKind::Folder;
    const std::string folder = updaterFolder ? downloadsFolder(true) : std::string();
    const std::string path = folder + "/mirror-order.seed";
    std::string kept;
    uint64_t seed = 0;
    if (!folder.empty() && readOwnFile(path, kept, 64) == OwnFileRead::Read) {
        const auto [end, error] = std::from_chars(kept.data(), kept.data() + kept.size(), seed, 16);
        if (error == std::errc() && end != kept.data())
            return seed;
    }
    seed = (uint64_t(std::random_device{}()) << 32) ^ std::random_device{}();
    if (!folder.empty()) {
        char text[17];
        std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(seed));
        try {
            writeFileAtomically(path, text);
        } catch (const UpdaterError&) {
            // Kept or not, this start still spreads its load.
        }
    }
    return seed;
}

} // namespace updater
