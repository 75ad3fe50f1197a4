// Prepares, signs and checks a community's patch set before it is published: adds the slots of new
// archives, writes the integrity lines of the patch list, signs it, and looks at the list, its
// signature and every archive the way the launcher will, so that a mistake shows on the
// administrator's computer rather than on the players'.
#include "PatchTool.h"

#include "platform/PathText.h"
#include "platform/Utf8Locale.h"

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

void printUsage()
{
    std::fprintf(stderr,
                 "usage: tarvo-patchtool publish --list LIST --archives DIR --key SECRET\n"
                 "                       [--config CFG] [--base URL] [--trackers URL[,URL...]]\n"
                 "                       [--mirrors URL[,URL...]] [--dry-run]\n"
                 "       tarvo-patchtool check LIST [--key FILE] [--archives DIR] [--config CFG]\n"
                 "                       [--new-only]\n"
                 "       tarvo-patchtool integrity LIST DIR\n"
                 "       tarvo-patchtool new-community DIR --title NAME --site URL [--key FILE.pub]\n"
                 "\n"
                 "publish    gives every archive in DIR that no slot names the next slot (in name\n"
                 "           order, its address beside the last slot's, or under --base URL),\n"
                 "           writes every slot's integrity line, signs LIST (and CFG) with the\n"
                 "           minisign secret key SECRET and checks the result; LIST and the\n"
                 "           signatures change only when the check passes; --dry-run shows what\n"
                 "           would change; an encrypted key asks for its password, or reads it from\n"
                 "           standard input when that is not a terminal; with --trackers, every\n"
                 "           archive also gets ARCHIVE.torrent beside it (private, those trackers,\n"
                 "           the slot's address and its address on each --mirrors base, or on each\n"
                 "           Patch_Mirrors of CFG, as web seeds), pinned under [Torrents] of LIST,\n"
                 "           and torrents.whitelist beside LIST holds their info-hashes\n"
                 "integrity  writes the [Integrity] line of every slot of the patch list file LIST\n"
                 "           whose archive lies in DIR under its file name; other lines stay as they are\n"
                 "check      fetches LIST (a file or an http(s) address) and every archive it names\n"
                 "           (from DIR with --archives) and tells what the launcher would refuse;\n"
                 "           with --key the list must carry a valid signature (LIST.minisig) and\n"
                 "           every slot an integrity line; --config checks updater4.cfg (a file\n"
                 "           or an address) and its signature too; --new-only skips archives that\n"
                 "           passed an earlier check with the same address, integrity line and\n"
                 "           torrent pin; a slot pinned under [Torrents] has its torrent checked\n"
                 "           (ADDRESS.torrent, or DIR/ARCHIVE.torrent) against the pin and the archive\n"
                 "new-community\n"
                 "           makes a first community in DIR (new or empty): DIR/web, the files\n"
                 "           to serve at URL (configuration, empty patch list, news page, patches/),\n"
                 "           and DIR/game, the Tarvo-Updater folder to ship in the game folder (logo,\n"
                 "           pages, the same configuration titled NAME); with --key, the minisign\n"
                 "           public key beside both, else the list stays unsigned\n"
                 "\n"
                 "Exit status: 0 all well, 1 something found or missing, 2 a usage error.\n");
}

int usageError(const std::string& message = {})
{
    if (!message.empty())
        std::fprintf(stderr, "tarvo-patchtool: %s\n", message.c_str());
    printUsage();
    return patchtool::ExitUsage;
}

// The command's arguments: options with a value, flags, and the rest in order.
struct Arguments
{
    std::map<std::string, std::string> values;
    std::set<std::string> flags;
    std::vector<std::string> positional;
    std::string error;

    std::optional<std::string> value(const std::string& option) const
    {
        const auto found = values.find(option);
        return found == values.end() ? std::nullopt : std::optional(found->second);
    }
};

Arguments parseArguments(const std::vector<std::string>& args, const std::set<std::string>& withValue,
                         const std::set<std::string>& flags)
{
    Arguments parsed;
    for (size_t i = 0; i < args.size() && parsed.error.empty(); ++i) {
        const std::string& arg = args[i];
        if (withValue.contains(arg)) {
            if (i + 1 == args.size())
                parsed.error = arg + " needs a value";
            else
                parsed.values[arg] = args[++i];
        } else if (flags.contains(arg)) {
            parsed.flags.insert(arg);
        } else if (arg.starts_with("--")) {
            parsed.error = "unknown option " + arg;
        } else {
            parsed.positional.push_back(arg);
        }
    }
    return parsed;
}

// "a,b,c" as its addresses, each starting with one of `schemes`; nothing when one does not.
std::optional<std::vector<std::string>> addressList(const std::string& text,
                                                    const std::vector<std::string>& schemes)
{
    std::vector<std::string> addresses;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        const std::string address = text.substr(start, comma == std::string::npos ? comma : comma - start);
        const std::string lower = updater::lowerAscii(address);
        const auto hasScheme = [&](const std::string& scheme) {
            return lower.starts_with(scheme) && lower.size() > scheme.size();
        };
        if (std::none_of(schemes.begin(), schemes.end(), hasScheme))
            return std::nullopt;
        addresses.push_back(address);
        if (comma == std::string::npos)
            return addresses;
        start = comma + 1;
    }
}

int runPublish(const std::vector<std::string>& args)
{
    const Arguments parsed = parseArguments(
        args, {"--list", "--archives", "--key", "--config", "--base", "--trackers", "--mirrors"},
        {"--dry-run"});
    if (!parsed.error.empty())
        return usageError(parsed.error);
    if (!parsed.positional.empty())
        return usageError("publish takes no " + parsed.positional.front());
    for (const char* required : {"--list", "--archives", "--key"})
        if (!parsed.value(required))
            return usageError(std::string("publish needs ") + required);
    patchtool::PublishRequest request{*parsed.value("--list"),
                                      *parsed.value("--archives"),
                                      *parsed.value("--key"),
                                      parsed.value("--config"),
                                      parsed.value("--base"),
                                      parsed.flags.contains("--dry-run"),
                                      {},
                                      std::nullopt};
    if (const auto trackers = parsed.value("--trackers")) {
        const auto addresses = addressList(*trackers, {"http://", "https://", "udp://"});
        if (!addresses)
            return usageError("--trackers takes http, https or udp addresses, separated by commas "
                              "(--trackers http://example.org:6969/announce)");
        request.trackers = *addresses;
    }
    if (const auto mirrors = parsed.value("--mirrors")) {
        if (request.trackers.empty())
            return usageError("--mirrors names the torrents' web seeds: it needs --trackers");
        request.mirrors = addressList(*mirrors, {"http://", "https://"});
        if (!request.mirrors)
            return usageError("--mirrors takes http or https addresses, separated by commas "
                              "(--mirrors https://cdn.example.net/tarvo)");
    }
    return patchtool::publishPatchSet(request);
}

int runCheck(const std::vector<std::string>& args)
{
    const Arguments parsed = parseArguments(args, {"--key", "--archives", "--config"}, {"--new-only"});
    if (!parsed.error.empty())
        return usageError(parsed.error);
    if (parsed.positional.size() != 1)
        return usageError("check takes one LIST");
    return patchtool::checkPatchSet({parsed.positional.front(), parsed.value("--key"),
                                     parsed.value("--archives"), parsed.value("--config"),
                                     parsed.flags.contains("--new-only"), std::nullopt});
}

int runNewCommunity(const std::vector<std::string>& args)
{
    const Arguments parsed = parseArguments(args, {"--title", "--site", "--key"}, {});
    if (!parsed.error.empty())
        return usageError(parsed.error);
    if (parsed.positional.size() != 1)
        return usageError("new-community takes one DIR");
    for (const char* required : {"--title", "--site"})
        if (!parsed.value(required))
            return usageError(std::string("new-community needs ") + required);
    return patchtool::makeNewCommunity({parsed.positional.front(), *parsed.value("--title"),
                                        *parsed.value("--site"), parsed.value("--key")});
}

} // namespace

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    // Entry names come out of the archive library through the C library's multibyte functions.
    updater::useUtf8CharacterType();
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return usageError();
    const std::string& command = args.front();
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "--help" || command == "-h") {
        printUsage();
        return patchtool::ExitClean;
    }
    if (command == "integrity")
        return rest.size() == 2 ? patchtool::writeIntegrityLines(rest[0], rest[1])
                                : usageError("integrity takes LIST and DIR");
    if (command == "check")
        return runCheck(rest);
    if (command == "publish")
        return runPublish(rest);
    if (command == "new-community")
        return runNewCommunity(rest);
    return usageError("unknown command " + command);
}
