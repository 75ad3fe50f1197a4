#include "app/Messages.h"

#include "app/DownloadTexts.h"
#include "net/HttpClient.h"
#include "patch/PatchLists.h"

namespace updater::messages {

std::string alreadyRunning()
{
    return "-= Updater is already running! =-\n\nYou're trying to start it twice ...";
}

std::string openOnThisFolder(bool check)
{
    if (check)
        return "The launcher is open on this game folder: \"Check game files\" in its Settings menu does "
               "the same there.";
    return "The launcher is open on this game folder: it brings the folder up to date itself.";
}

std::string gameFolderInUse()
{
    return "-= The game folder is in use =-\n\nAnother updater is bringing this game folder up to "
           "date.\nStart again when it is done.";
}

std::string gameFolderLockUnusable(const std::string& lockPath, const std::string& reason,
                                   bool standsInTheWay)
{
    const std::string text =
        "-= The game folder's lock cannot be taken =-\n\n" + lockPath + ": " + reason + "\n\n";
    if (standsInTheWay)
        return text + "Move it away (the launcher keeps its lock file there), then start again.";
    return text +
           "It was probably left by a start as another user (for example with sudo). Remove it, "
           "then start again:\n\nsudo rm \"" +
           lockPath + "\"";
}

std::string configurationMissing(const std::string& configPath)
{
    return "-= CRITICAL ERROR 2 =-\n\nCouldn't find [" + configPath +
           "]\n\n!Main-Config file is missing! Did u install it right, guess not... Try again baka";
}

std::string configurationTooLarge(const std::string& configPath)
{
    return "-= CRITICAL ERROR 2 =-\n\nCouldn't read [" + configPath +
           "]\n\nThe file is larger than 16 MiB or has too many lines, so it is not read. The community's "
           "updater4.cfg is far smaller: put its own copy in place.";
}

// "1,234 MB" (of 1,048,576 bytes), rounded up for what is needed and down for what is free, so
// that the two never read alike while one falls short.
static std::string megabytes(uint64_t bytes, bool roundUp)
{
    constexpr uint64_t Megabyte = 1024 * 1024;
    const uint64_t megabytes = bytes / Megabyte + (roundUp && bytes % Megabyte ? 1 : 0);
    return groupedDigits(static_cast<long long>(megabytes), ",").toStdString() + " MB";
}

std::string startButtonTip(const std::string& serverName, StartBlock block)
{
    switch (block) {
    case StartBlock::None:
        break;
    case StartBlock::Updating:
        return "Not yet: the game files are being brought up to date";
    case StartBlock::CheckingFiles:
        return "Not yet: the game files are being checked";
    case StartBlock::NotRefreshed:
        return "Not now: the configuration could not be refreshed from the community's site in this run";
    case StartBlock::MapServerOff:
        return "Not now: the map server of " + serverName + " does not accept connections";
    }
    return "Start the game on " + serverName;
}

std::string offline()
{
    return "OFFLINE";
}

std::string firstStart()
{
    return "-= Updater Info=-\n\n\nThis is first start. Check settings. If you don' like background\nsound, "
           "turn it off. Also check FreeMouse option.\n\n* Smile, it makes people wonder what you are "
           "thinking...";
}

std::string settingsRepaired()
{
    return "-= Updater =-\n\nThere something wrong with registry settings...\nI will set them to default. "
           "Plz "
           "check them now!n\nDon't panic everything under control...";
}

namespace {

std::string count(size_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string refusal(RefusedLine::Reason reason)
{
    switch (reason) {
    case RefusedLine::Reason::Fields:
        return "not five fields";
    case RefusedLine::Reason::Size:
        return "the size is not a number";
    case RefusedLine::Reason::Crc32:
        return "the CRC-32 is not eight hex digits";
    case RefusedLine::Reason::Outside:
        return "the path leaves the game folder";
    case RefusedLine::Reason::OwnFile:
        return "the path is one of the launcher's own files";
    case RefusedLine::Reason::PastLargest:
        return "the record is larger than 64 MiB: this line and the rest are not read";
    }
    return {};
}

} // namespace

std::string gameFilesChecked(const RepairReport& report)
{
    const GameFilesReport& before = report.before;
    std::string text = "-= Game files =-\n\n";
    if (before.record == InstalledFiles::State::Missing)
        return text + "There is no record of the files the patches installed: nothing was checked.\nThe "
                      "patches applied from now on are recorded.";
    if (before.record == InstalledFiles::State::Unreadable)
        return text + "The record of the files the patches installed cannot be read: nothing was checked.";
    const size_t damaged = before.damaged.size();
    const size_t stillDamaged = damaged == 0 ? 0 : report.after.damaged.size();
    if (damaged == 0)
        text += "All game files the patches installed are intact (" + std::to_string(before.checked) +
                " checked).";
    else if (stillDamaged == 0)
        text += std::to_string(damaged) + " of " + count(before.checked, "game file", "game files") +
                " were missing or changed: they are mended.";
    else if (report.listNotSigned)
        text += std::to_string(damaged) + " of " + count(before.checked, "game file", "game files") +
                " are missing or changed. Nothing was mended: the saved patch list is not signed.";
    else
        text += std::to_string(damaged) + " of " + count(before.checked, "game file", "game files") +
                " were missing or changed; " + std::to_string(stillDamaged) +
                " could not be mended.\nTarvo-Updater\\updater.log names them. Try again later, or ask your "
                "community.";
    if (before.record == InstalledFiles::State::Damaged)
        text += "\n\nThe record of installed files is damaged: " +
                count(before.refused.size(), "line of it names", "lines of it name") +
                " no file that can be checked.";
    if (!before.notCovered.empty())
        text += "\n\nThe files of " + count(before.notCovered.size(), "patch", "patches") +
                " applied before this check existed are not covered.";
    return text;
}

std::vector<std::string> gameFilesReport(const GameFilesReport& report)
{
    std::vector<std::string> lines;
    for (const DamagedFile& file : report.damaged)
        lines.push_back((file.kind == DamagedFile::Kind::Missing ? "missing: " : "changed: ") + file.path +
                        " (" + file.recorded.slot + ", " + file.recorded.document + ")");
    if (!report.notCovered.empty()) {
        std::string names;
        for (const std::string& slot : report.notCovered)
            names += (names.empty() ? "" : ", ") + slot;
        lines.push_back("not covered: the files of " + names +
                        " (applied before the record of installed files began)");
    }
    if (report.slotCutShort)
        lines.push_back(
            "an update was cut short while it put its files in place: the next start finishes it");
    for (const RefusedLine& line : report.refused)
        lines.push_back("not read: line " + std::to_string(line.line) +
                        " of the record of installed files (" + refusal(line.reason) + ")");
    switch (report.record) {
    case InstalledFiles::State::Missing:
        lines.push_back("no record of installed files: nothing checked");
        break;
    case InstalledFiles::State::Unreadable:
        lines.push_back("the record of installed files cannot be read: nothing checked");
        break;
    case InstalledFiles::State::Read:
    case InstalledFiles::State::Damaged:
        lines.push_back(count(report.checked, "file", "files") + " checked, " +
                        std::to_string(report.damaged.size()) + " damaged" +
                        (report.record == InstalledFiles::State::Damaged
                             ? "; the record of installed files is damaged"
                             : ""));
        break;
    }
    return lines;
}

std::vector<std::string> notMended(const RepairReport& report)
{
    std::vector<std::string> lines;
    if (report.listNotSigned)
        lines.push_back("not mended: the saved patch list is not signed");
    for (const DamagedFile& file : report.notListed)
        lines.push_back("not mended: " + file.path + " (the saved patch list no longer names " +
                        file.recorded.document + " in " + file.recorded.slot + ")");
    return lines;
}

std::string settingsNotSaved()
{
    return "-= Critical failure =-\n\nWrite settings failed!";
}

std::string refreshFailed(const std::string& configLink, const std::string& reply)
{
    return "-= CRITICAL ERROR 4 =-\n\nCan't download new " + configLink + "\n\nError message: " + reply +
           "\nAsk GM for fix.\n\nDo u want to connect server with old config file? (maybe it will work)";
}

std::string busyQuestion(const std::string& document)
{
    return "-= The patch server is busy =-\n\nMany players are fetching " + document +
           " right now, and the server asks the launcher to wait its turn.\n\nWait for your turn?\n\n"
           "Yes: keep waiting; the download starts as soon as there is room.\n"
           "No: go on without this patch for now; the game may not start on an outdated folder, and the "
           "next start of the launcher tries again.";
}

std::string closeQuestion()
{
    return "It's bitter like beer for kids...\n\nThe End?";
}

std::string noDataFolder()
{
    return "Can't find Data folder!\n\nThis Tool is installed wrong locaton. It must be Grimvale Folder! "
           "End...";
}

std::string clientMissing(const std::string& clientName)
{
    return "-= Can't find GV Client =-\n\nThe name of client must be: " + clientName;
}

std::string replacement(UpdaterReplacement found)
{
    if (found == UpdaterReplacement::ToolMissing)
        return "-= Error while updating =-\n\nThere is new version of updater, but I can't use it. There "
               "missing tool!\nCheck u did't delete files exidently else ask GM!\nFile with suffix .lol is "
               "missing";
    return "-= New Updater Version found =-\n\nWe start new verion now...";
}

std::string addOnMissing()
{
    return "-= ERROR =- Couldn't find 'GV_MOUSEFREEDOM' =-\n\n!Files are missing :O";
}

std::string speedLimitQuestion()
{
    return "The most every download may take of your line, in kB/s (0 = no limit).\n"
           "It holds from the next update or \"Check game files\" on.";
}

std::string addOnHelp()
{
    return "* Gv - Rorer Orevovi V1.86\n\nLet ur mouse travel out of the Grimvale window without pressing\n"
           "alt + tab. It works only in windowed mode. Just try it out.";
}

std::string cannotStart(const std::string& commandLine, ProgramStart outcome)
{
    std::string reason;
    switch (outcome) {
    case ProgramStart::NotFound:
        reason = "The file is not in the game folder.";
        break;
    case ProgramStart::IsFolder:
        reason = "This is a folder, not a program.";
        break;
    case ProgramStart::NoWine:
        reason = "This is a Windows program and Wine was not found.\n"
                 "Install Wine (or set WINE to the Wine program to use) and try again.";
        break;
    case ProgramStart::NotExecutable:
        reason = "The file may not be executed. Give it execute permission and try again.";
        break;
    case ProgramStart::Refused:
    case ProgramStart::Started:
        reason = "The system could not start it.";
        break;
    }
    return "-= Can't start " + commandLine + " =-\n\n" + reason;
}

std::string notice(const Notice& notice)
{
    switch (notice.kind) {
    case NoticeKind::PatchListUnavailable:
        return "-= CRITICAL ERROR 3 =-\n\nCan't download new " + notice.subject +
               "\n\nError message: " + notice.reply +
               "\nAsk GM for fix.\n\nPossible updates will be skiped...";
    case NoticeKind::PatchUnavailable:
        return "-= CRITICAL ERROR 3 =-\n\nCan't download: " + notice.subject +
               "\n\nError message: " + notice.reply + "\nAsk GM for fix.\n\nUpdates will be skiped..";
    case NoticeKind::ArchiveUnreadable:
        return " Cant open file: " + notice.subject + "\nError Code" + std::to_string(notice.code);
    case NoticeKind::ArchiveComment:
        return notice.subject;
    case NoticeKind::ArchiveEntryFailed:
        return "-= RAR ERROR =-\n\nPFCode";
    case NoticeKind::ArchiveHeaderBroken:
        return "-= RAR ERROR =-\n\nFile header broken";
    case NoticeKind::RecordNotWritten:
        return "-= CRITICAL ERROR 3 =-\n\nCan't write " + appliedRecordPath() + "\n\nPatch " +
               notice.subject +
               " was applied but cannot be recorded.\nCheck that the file is not read-only.\n\nUpdates will "
               "be "
               "skiped..";
    case NoticeKind::RecordUnreadable:
        return "-= CRITICAL ERROR 3 =-\n\nCan't read " + appliedRecordPath() + "\n\n" + notice.reply +
               "\nNo update was applied: without the record, old patches would be applied again.\n\nUpdates "
               "will be skiped..";
    case NoticeKind::NoRoom:
        return "-= Not enough room =-\n\n" + notice.subject + " needs " + megabytes(notice.needed, true) +
               ", " + megabytes(notice.available, false) +
               " free on the game folder's disk.\n\nMake room there; the next start of the launcher tries "
               "again.";
    case NoticeKind::PatchPostponed:
        return documentName(notice.subject) + " is not fetched now: the next start tries again.";
    case NoticeKind::ServerUnresolved:
        return "Can't resolve ip!\n\nI can try to use older updater.cfg. This works only, if there is "
               "existing and "
               "not outdated file...\n\nWant try it with old updater.cfg?";
    }
    return notice.subject;
}

std::string statusLine(const std::string& homepage)
{
    // The link follows the configured home page; the address shown stays the community's.
    return "<b> Visit frequently: </b> <A href=\"" + homepage + "\">www.tarvo-gv.example </A";
}

std::string unpackingStarted()
{
    return "unrar... (please wait!)";
}

std::string checkingGameFiles(int done, int total)
{
    if (total <= 0)
        return "Checking game files";
    return "Checking game files (" + std::to_string(done) + " of " + std::to_string(total) + ")";
}

std::string transferCaption(const TransferCaption& caption)
{
    switch (caption.kind) {
    case TransferCaption::Kind::Patch:
        return caption.patch;
    case TransferCaption::Kind::RetryWait:
        return "retrying in " + std::to_string(caption.count) + " s";
    case TransferCaption::Kind::BusyWait:
        return "server busy, next try in " + std::to_string(caption.count) + " s";
    case TransferCaption::Kind::Unpacked:
        return "unrar... please wait! [ " + std::to_string(caption.count) + " ]";
    }
    return {};
}

std::string sharePatchesTip()
{
    return "Patches then also come from other players, and this launcher sends them the patches it "
           "has while it is open. Other players see this computer's address.";
}

} // namespace updater::messages
