#pragma once

#include "config/Configuration.h"

#include <string>

namespace updater {

// Writes the game client's connection file(s) in the game's Data folder from the configuration,
// in the exact bytes the client reads: CR LF line ends, tab indentation, values verbatim.
// Which files are written depends on HowManyClientInfos only: 1 gives one file with a block per
// server entry, 2 gives one file per entry, anything else writes nothing.
class ClientInfoWriter
{
public:
    explicit ClientInfoWriter(const Configuration& config) : m_config(config) {}

    // False when there is no Data folder to write into. Throws UpdaterError("Cannot create file
    // Data\\<name>") when a file cannot be written; a file is never left half-written.
    bool write() const;

private:
    bool writeFile(const std::string& fileName, int firstEntry, bool withSecondEntry) const;

    const Configuration& m_config;
};

} // namespace updater
