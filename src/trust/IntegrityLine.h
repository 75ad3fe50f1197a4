#pragma once

#include "trust/Sha256.h"

#include <optional>
#include <string>
#include <string_view>

namespace updater {

// An integrity line is "<size in bytes> <sha256 in hex>": one or more blanks or tabs between,
// blanks or tabs around ignored, the hex in either case, the size a decimal that fits 64 bits.
// Nothing for any other text. The digest's hex comes back in lowercase.
std::optional<FileDigest> parseIntegrityLine(std::string_view line);

// The canonical line: "<size> <lowercase hex>".
std::string formatIntegrityLine(const FileDigest& digest);

enum class IntegrityCheck {
    Matches,
    SizeDiffers,
    ChecksumDiffers,
    Unreadable, // missing, a folder, or a read failed
    Stopped,    // the stop flag ended the reading
};

// Compares a file with what it should be. A file of another size is not read at all. A requested
// `stop` (may be null) ends the reading within a slice.
IntegrityCheck checkFileIntegrity(const std::string& path, const FileDigest& expected,
                                  const StopFlag* stop = nullptr);

// Why a file failed the check, for the player; empty for Matches.
std::string_view integrityCause(IntegrityCheck check);

} // namespace updater
