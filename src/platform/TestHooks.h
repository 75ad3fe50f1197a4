#pragma once

// Seams for tests, and only for them: nothing in the program calls what is declared here. Each
// library that ships such a seam declares it in its TestHooks.h, so a reader sees at once what is
// one.

#include "platform/DiskSync.h"
#include "platform/FileFaults.h"

#include <functional>
#include <optional>
#include <string>

namespace updater {

// Hears what reached the disk and what was put in place, in order, so that a test can check that
// nothing is recorded before the files it names are safe. An empty observer hears nothing.
using DiskEventObserver = std::function<void(DiskEvent, const std::string& path)>;
void setDiskEventObserverForTest(DiskEventObserver observer);

// From now on the file code meets `fault` below `folder` (see FileFault); nothing ends it.
struct InjectedFileFault
{
    FileFault fault;
    std::string folder;
};
void injectFileFault(std::optional<InjectedFileFault> fault);

// From now on every file system reports this much room for an unprivileged user (none: the truth).
void setAvailableBytesForTest(std::optional<uint64_t> bytes);

} // namespace updater
