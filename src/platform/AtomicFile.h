#pragma once

#include <string>
#include <string_view>

namespace updater {

// Writes the bytes to a temporary file beside `path` and renames it over `path` once complete,
// so the target is never left half-written. Throws UpdaterError("Cannot create file " + path).
void writeFileAtomically(const std::string& path, std::string_view bytes);

// Reads a whole file as bytes; returns false when it cannot be opened.
bool readWholeFile(const std::string& path, std::string& bytes);

bool fileExists(const std::string& path);
bool directoryExists(const std::string& path);

} // namespace updater
