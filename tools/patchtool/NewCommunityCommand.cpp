// `tarvo-patchtool new-community`: both halves of a first community, the web site's files and the
// players' Tarvo-Updater folder, so that a game folder starts and updates from the first day.
#include "CommunityTexts.h"
#include "LogoBitmap.h"
#include "PatchTool.h"
#include "patchtool/platform/FolderEntries.h"

#include "platform/AtomicFile.h"
#include "platform/FileOps.h"

#include <cctype>
#include <cstdio>
#include <exception>
#include <optional>
#include <stdexcept>
#include <utility>

namespace patchtool {

namespace {

int refuse(const std::string& message)
{
    std::fprintf(stderr, "tarvo-patchtool: %s\n", message.c_str());
    return ExitUsage;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    return true;
}

// The site without its last '/' and its host, or nothing when it is not an http(s) address the
// launcher can put a document name behind.
std::optional<std::pair<std::string, std::string>> siteAndHost(std::string site)
{
    size_t schemeEnd = 0;
    if (startsWithNoCase(site, "http://"))
        schemeEnd = 7;
    else if (startsWithNoCase(site, "https://"))
        schemeEnd = 8;
    else
        return std::nullopt;
    for (const char c : site)
        if (static_cast<unsigned char>(c) <= ' ' || c == '?' || c == '#' || c == '\\' || c == 0x7f)
            return std::nullopt;
    while (site.size() > schemeEnd && site.ends_with('/'))
        site.pop_back();
    std::string host = site.substr(schemeEnd, site.find('/', schemeEnd) - schemeEnd);
    if (const size_t at = host.rfind('@'); at != std::string::npos)
        host.erase(0, at + 1);
    if (host.starts_with('['))
        host = host.substr(1, host.find(']') - 1);
    else
        host = host.substr(0, host.find(':'));
    if (host.empty())
        return std::nullopt;
    return std::pair(site, host);
}

// The files to write, by path under the community's folder, in the order they are written.
using Files = std::vector<std::pair<std::string, std::string>>;

Files communityFiles(const CommunityNames& names, const std::optional<std::string>& publicKey)
{
    const std::string configuration = configurationText(names);
    Files files{{"web/updater4.cfg", configuration},
                {"web/updates4.list", emptyPatchListText(names)},
                {"web/news.html", newsPageText(names)},
                {"game/Tarvo-Updater/updater4.cfg", configuration},
                {"game/Tarvo-Updater/GUI/LOGO.BMP", placeholderLogo()},
                {"game/Tarvo-Updater/www/index.htm", startPageText(names)},
                {"game/Tarvo-Updater/www/error.htm", errorPageText(names)}};
    if (publicKey) {
        files.emplace_back("web/minisign.pub", *publicKey);
        files.emplace_back("game/Tarvo-Updater/patchlist.pub", *publicKey);
    }
    return files;
}

void writeCommunity(const std::string& folder, const Files& files)
{
    for (const char* sub : {"web", "web/patches", "game", "game/Tarvo-Updater", "game/Tarvo-Updater/GUI",
                            "game/Tarvo-Updater/www"})
        if (updater::makeFolder(pathIn(folder, sub)) == updater::FolderMade::Failed)
            throw std::runtime_error("cannot make the folder " + pathIn(folder, sub));
    for (const auto& [name, bytes] : files)
        updater::writeFileAtomically(pathIn(folder, name), bytes);
}

void printNextSteps(const NewCommunityRequest& request, const std::string& site, bool signedList)
{
    const auto in = [&](const char* name) { return pathIn(request.folder, name); };
    std::printf("made %s: the web site's files, to serve at %s\n", in("web").c_str(), site.c_str());
    std::printf("made %s: the players' Tarvo-Updater folder, to ship in the game folder\n",
                in("game").c_str());
    std::printf("next: set the lines marked CHANGE in %s and copy it over\n"
                "  %s; replace the logo and the pages with your own;\n"
                "  then put the first archive in %s and publish it:\n"
                "  tarvo-patchtool publish --list %s --archives %s \\\n"
                "      --key ~/.minisign/minisign.key --config %s --base %s/patches\n",
                in("web/updater4.cfg").c_str(), in("game/Tarvo-Updater/updater4.cfg").c_str(),
                in("web/patches").c_str(), in("web/updates4.list").c_str(), in("web/patches").c_str(),
                in("web/updater4.cfg").c_str(), site.c_str());
    if (!signedList)
        std::printf("WARNING: no --key: the patch list and the configuration are not signed, and the\n"
                    "  players' updaters check no signature. Make a key pair once with\n"
                    "  minisign -G -p minisign.pub -s ~/.minisign/minisign.key\n"
                    "  and copy minisign.pub to %s and %s:\n"
                    "  publish signs with the secret key, the players' updaters check with the public one.\n",
                    in("web/minisign.pub").c_str(), in("game/Tarvo-Updater/patchlist.pub").c_str());
}

} // namespace

int makeNewCommunity(const NewCommunityRequest& request)
{
    if (request.title.empty() || request.title.find_first_of("\r\n") != std::string::npos)
        return refuse("the title must be one line of text");
    const auto site = siteAndHost(request.site);
    if (!site)
        return refuse(request.site + " is not an http or https address (--site https://example.org)");
    std::optional<std::string> publicKey;
    if (request.keyFile) {
        std::string text;
        // A minisign public key file is a few lines.
        if (updater::readFileUpTo(*request.keyFile, text, 64 * 1024) != updater::OwnFileRead::Read)
            return refuse("cannot read " + *request.keyFile);
        if (!updater::parseMinisignKeyFile(text))
            return refuse(*request.keyFile +
                          " is not a minisign public key file (minisign -G writes one, minisign.pub)");
        publicKey = std::move(text);
    }
    const bool exists = updater::entryKind(request.folder) != updater::EntryKind::Nothing;
    if (exists && !updater::directoryExists(request.folder))
        return refuse(request.folder + " is not a folder");
    if (exists && !folderIsEmpty(request.folder))
        return refuse(request.folder + " is not empty: new-community makes a new community in a new or "
                                       "empty folder");
    try {
        if (!updater::makeMissingFolders(request.folder))
            throw std::runtime_error("cannot make the folder " + request.folder);
        writeCommunity(request.folder, communityFiles({request.title, site->first, site->second}, publicKey));
    } catch (const std::exception& error) {
        return refuse(error.what());
    }
    printNextSteps(request, site->first, publicKey.has_value());
    return ExitClean;
}

} // namespace patchtool
