#pragma once

#include <functional>
#include <string>

namespace updater {

struct ExtractionHooks
{
    // Shows a caption in fileNameLabel; called on the extracting thread, once per entry. It may
    // hand the caption over to the window thread without waiting, as long as the last one stays.
    std::function<void(const std::string& caption)> showFilenameCaption;
    // Asks the main window to close as the QUIT button does; true when it closed. Called on the
    // window thread.
    std::function<bool()> requestWindowClose;
};

// Unpacks every entry of the RAR archive `archiveName` (a name in the game folder) into the game
// folder. Runs on the update worker; captions and messages are shown on the window thread.
// Each entry goes to a temporary file beside its target and replaces the target only when it
// was extracted whole. Entries that could reach outside the game folder and link entries are
// never written and count as failed entries. Returns true only when every entry was extracted.
bool extractPatchArchive(const std::string& archiveName, const ExtractionHooks& hooks);

// Archive entries processed since the program started, over every archive of the run.
int unpackedFileCount();
void resetUnpackedFileCountForTest();

} // namespace updater
