#pragma once

#include <functional>
#include <string>

namespace updater {

// Whether a file put in place must be on the disk before the call returns (its data, and the
// folder entry that names it), so that a power cut cannot leave a record that names work whose
// files are still empty on disk.
enum class Durability { Ordinary, Durable };

// Waits until everything written to the file system that holds `path` has reached the disk: one
// call for all the files an archive brought, however many. False when the file system cannot say.
bool syncFileSystemOf(const std::string& path);

// Waits until the folder's entries (names made, replaced or removed in it) have reached the disk.
bool syncFolder(const std::string& path);

// What reached the disk and what was put in place, in order, for tests that check that nothing
// is recorded before the files it names are safe. Empty outside such tests.
enum class DiskEvent { FilePlaced, FilePlacedDurably, FileSystemSynced };
using DiskEventObserver = std::function<void(DiskEvent, const std::string& path)>;
void setDiskEventObserverForTest(DiskEventObserver observer);
void noteDiskEvent(DiskEvent event, const std::string& path);

} // namespace updater
