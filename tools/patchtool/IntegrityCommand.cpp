#include "PatchTool.h"

#include "platform/AtomicFile.h"
#include "platform/ProfileFile.h"
#include "trust/IntegrityLine.h"
#include "trust/Sha256.h"

#include <cstdio>
#include <exception>

namespace patchtool {

int writeIntegrityLines(const std::string& listPath, const std::string& archiveFolder)
{
    updater::ProfileFile list(listPath);
    if (!list.exists() || !updater::directoryExists(archiveFolder)) {
        std::fprintf(stderr, "tarvo-patchtool: %s\n",
                     (list.exists() ? "no folder " + archiveFolder : "cannot read " + listPath).c_str());
        return ExitUsage;
    }
    int result = ExitClean;
    for (const Slot& slot : readSlots(list)) {
        const std::string archive = pathIn(archiveFolder, slot.documentName);
        const auto digest = slot.documentName.empty() ? std::nullopt : updater::digestFile(archive);
        if (!digest) {
            std::fprintf(stderr, "%s: archive missing: %s\n", slot.key.c_str(), archive.c_str());
            result = ExitFound;
            continue;
        }
        const std::string line = updater::formatIntegrityLine(*digest);
        try {
            // Every other line of the list stays as it was, byte for byte.
            list.writeString("Integrity", slot.key, line);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "tarvo-patchtool: %s\n", error.what());
            return ExitFound;
        }
        std::printf("%s=%s\n", slot.key.c_str(), line.c_str());
    }
    return result;
}

} // namespace patchtool
