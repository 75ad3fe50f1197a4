#pragma once

#include <cstddef>
#include <string>

namespace updater {

// For platform/'s own file code: writes all bytes to an open file descriptor. Throws
// UpdaterError("disk full") when the disk or quota is full, UpdaterError("Cannot write file " +
// nameForErrors) on any other failure.
void writeAllBytes(int fd, const char* data, size_t size, const std::string& nameForErrors);

// The system's word for an error number, in lower case ("permission denied").
std::string systemReason(int error);

} // namespace updater
