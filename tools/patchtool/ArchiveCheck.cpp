#include "ArchiveCheck.h"

#include "patch/ArchiveEntryPath.h"
#include "patch/RarEntries.h"
#include "patch/RarStructure.h"
#include "platform/PathText.h"

#include <dll.hpp>

#include <cstring>
#include <memory>
#include <unordered_map>

namespace patchtool {

using namespace updater;

namespace {

// Lets the data flow and declines every request (a password, the next volume): the launcher has
// nothing to give either.
int CALLBACK declineRequests(UINT message, LPARAM, LPARAM, LPARAM)
{
    return message == UCM_PROCESSDATA ? 1 : -1;
}

// One problem, one line: a name with a line break must not look like two problems.
std::string shown(std::string name)
{
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return name;
}

// The name as the launcher reads it: '\\' is '/', and "Data" and "Data/" are the same folder.
std::string normalName(const std::string& name)
{
    std::string normal = name;
    for (char& c : normal)
        if (c == '\\')
            c = '/';
    while (normal.size() > 1 && normal.back() == '/')
        normal.pop_back();
    return normal;
}

std::string openProblem(int code)
{
    switch (code) {
    case ERAR_MISSING_PASSWORD:
    case ERAR_BAD_PASSWORD:
        return "headers encrypted with a password";
    case ERAR_UNKNOWN_FORMAT:
    case ERAR_BAD_ARCHIVE:
        return "not a RAR archive";
    case ERAR_EOPEN:
        return "cannot be opened";
    default:
        return "cannot be opened (archive library code " + std::to_string(code) + ")";
    }
}

} // namespace

std::vector<std::string> checkPatchArchive(const std::string& path)
{
    std::vector<std::string> problems;
    std::string arcName = path;
    RAROpenArchiveDataEx request;
    std::memset(&request, 0, sizeof request);
    request.ArcName = arcName.data();
    request.OpenMode = RAR_OM_EXTRACT;
    RarArchive archive(RAROpenArchiveEx(&request));
    if (request.OpenResult != ERAR_SUCCESS || !archive)
        return {openProblem(static_cast<int>(request.OpenResult))};
    if (request.Flags & ROADF_ENCHEADERS)
        return {"headers encrypted with a password"};
    // The launcher unpacks nothing of such an archive, so nothing else about it matters yet.
    if (!reachesEndOfArchive(path))
        return {"archive cut or damaged: it does not reach its end-of-archive block"};
    RARSetCallback(archive.get(), declineRequests, 0);

    // Names that differ only in letter case land on the same file, the way the launcher resolves
    // names: lower-case name -> the first spelling seen.
    std::unordered_map<std::string, std::string> spellings;
    const int headerResult = readEntries(archive.get(), [&](const RARHeaderDataEx& header) {
        const std::string name = utf8FromWide(header.FileNameW);
        const bool needsPassword = header.Flags & RHDF_ENCRYPTED;
        if (needsPassword)
            problems.push_back("entry needs a password: " + shown(name));
        if (const std::optional<std::string> own = launcherOwnFile(name))
            problems.push_back("replaces the launcher's own " + *own + ": " + shown(name));
        else if (isUnsafeEntryName(name))
            problems.push_back("unsafe name: " + shown(name));
        if (isLinkEntry(header))
            problems.push_back("link entry: " + shown(name));
        const std::string normal = normalName(name);
        const auto [first, isNew] = spellings.emplace(lowerAscii(normal), normal);
        if (!isNew && first->second != normal)
            problems.push_back("names differ only in letter case: " + shown(first->second) + " and " +
                               shown(normal));
        // Testing an entry without its password would end the walk over the rest.
        const int tested =
            RARProcessFile(archive.get(), needsPassword ? RAR_SKIP : RAR_TEST, nullptr, nullptr);
        if (tested == ERAR_BAD_DATA)
            problems.push_back("entry damaged: " + shown(name));
        else if (tested != ERAR_SUCCESS)
            problems.push_back("entry cannot be tested (archive library code " + std::to_string(tested) +
                               "): " + shown(name));
        return true;
    });
    if (headerResult != ERAR_END_ARCHIVE)
        problems.push_back("archive damaged: a header cannot be read");
    return problems;
}

} // namespace patchtool
