#pragma once

#include <cstdint>
#include <string>

namespace updater {

// Where patch archives wait between download and extraction: "Tarvo-Updater/downloads/" of the game
// folder, never the game folder itself, so an archive named like a game file cannot replace it.

// The folder, resolved against the game folder; created (with Tarvo-Updater) when `create` is set.
// Empty when it cannot be created.
std::string downloadsFolder(bool create);

// Where the archives shared with other players lie while they are downloaded and seeded:
// "shared" in the downloads folder. Their names are those of downloadFileName().
std::string sharingFolder();

// The file an archive from `address` is downloaded to, inside the downloads folder. The name
// comes from the address, not from the server: "patch-<16 hex digits>.rar".
std::string downloadFileName(const std::string& address);

// This game folder's own random number, drawn once and kept in the downloads folder
// ("mirror-order.seed"): it orders the mirrors the same way on every start. A fresh one each time
// when it cannot be kept.
uint64_t gameFolderSeed();

// The address of the same archive on a mirror: the mirror's base address followed by the path
// (and query) of the archive's own address: "http://m1.example:8080/cdn" and
// "http://origin.example/patches/p1.rar" give "http://m1.example:8080/cdn/patches/p1.rar".
std::string mirrorAddress(const std::string& mirrorBase, const std::string& address);

// Removes what a killed or crashed launcher left behind: the temporary files of its atomic writes,
// downloads and extractions anywhere in the game folder (only names of its own patterns), and the
// archives in the downloads folder, except the part files of slots that the patch list on disk
// still has pending (a later download resumes them) and the whole archives of such slots with an
// integrity line (checked again before use). The same holds in the sharing folder, where what a
// shared download had stays for its next try. Symbolic links are not followed. A repair keeps every
// archive of the downloads folder (`keepDownloads`): the slots it mends are applied ones, whose parts
// a killed repair left for the next one; the next update run sorts them out.
void removeLeftovers(bool keepDownloads = false);

} // namespace updater
