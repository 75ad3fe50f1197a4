// Prepares and checks a community's patch set before it is published: writes the integrity lines
// of the patch list, and looks at the list, its signature and every archive the way the launcher
// will, so that a mistake shows on the administrator's computer rather than on the players'.
#include "PatchTool.h"

#include "platform/Utf8Locale.h"

#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

namespace {

void printUsage()
{
    std::fprintf(stderr,
                 "usage: tarvo-patchtool integrity LIST DIR\n"
                 "       tarvo-patchtool check LIST [--key FILE] [--archives DIR]\n"
                 "\n"
                 "integrity  writes the [Integrity] line of every slot of the patch list file LIST\n"
                 "           whose archive lies in DIR under its file name; other lines stay as they are\n"
                 "check      fetches LIST (a file or an http(s) address) and every archive it names\n"
                 "           (from DIR with --archives) and tells what the launcher would refuse;\n"
                 "           with --key the list must carry a valid signature (LIST.minisig) and\n"
                 "           every slot an integrity line\n"
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

int runCheck(const std::vector<std::string>& args)
{
    patchtool::CheckRequest request;
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--key" || arg == "--archives") {
            if (i + 1 == args.size())
                return usageError(arg + " needs a value");
            (arg == "--key" ? request.keyFile : request.archiveFolder) = args[++i];
        } else if (arg.starts_with("--")) {
            return usageError("unknown option " + arg);
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 1)
        return usageError("check takes one LIST");
    request.list = positional.front();
    return patchtool::checkPatchSet(request);
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
    return usageError("unknown command " + command);
}
