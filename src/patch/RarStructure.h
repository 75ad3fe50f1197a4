#pragma once

#include <string>

namespace updater {

// Whether the RAR archive at `path` runs whole up to its end-of-archive block. The UnRAR library
// reports a normal end for an archive cut at or inside a block header, so a cut download would
// pass for a complete patch; walking the block headers tells the two apart. An archive without
// the block (RAR 4 made with -en), one with encrypted headers, and anything that is not a RAR
// archive from its first byte count as not whole.
bool reachesEndOfArchive(const std::string& path);

} // namespace updater
