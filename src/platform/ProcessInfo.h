#pragma once

#include <string>

namespace updater {

// Makes `folder` the process's current folder; on failure, false with the system's reason.
bool enterFolder(const std::string& folder, std::string& reason);

// Whether standard error goes to a terminal (progress then redraws one line).
bool standardErrorIsTerminal();

// Whether the process runs with the administrator's rights.
bool runsAsAdministrator();

} // namespace updater
