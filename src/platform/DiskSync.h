#pragma once

#include <string>
#include <vector>

namespace updater {

// Whether a file put in place must be on the disk before the call returns (its data, and the
// folder entry that names it), so that a power cut cannot leave a record that names work whose
// files are still empty on disk.
enum class Durability { Ordinary, Durable };

// Waits until everything written to the file system that holds `path` has reached the disk: one
// call for all the files an archive brought, however many. False when the file system cannot say.
bool syncFileSystemOf(const std::string& path);

// Waits until the data written through `fd`, the file to be put at `path`, has reached the disk.
bool syncFileData(int fd, const std::string& path);

// Waits until the folder's entries (names made, replaced or removed in it) have reached the disk.
bool syncFolder(const std::string& path);

// Waits until the files just written (paths relative to the current folder, without "..") have
// reached the disk: each file's data, and every folder from theirs up to the current one, so that
// the names and the folders made for them survive too. Past `manyFiles`, one sync of the file
// system is quicker than a wait per file; below it, per-file waits spare data that is not theirs
// (such as a download in progress) a trip to the disk. False when one could not be synced.
bool syncWrittenFiles(const std::vector<std::string>& paths, size_t manyFiles = 64);

// What reached the disk and what was put in place, told to the observer a test may set
// (platform/TestHooks.h).
enum class DiskEvent { FilePlaced, FilePlacedDurably, FileSynced, FileSystemSynced };
void noteDiskEvent(DiskEvent event, const std::string& path);

} // namespace updater
