#include "app/CommandLine.h"

#include "app/WindowEntry.h"

#include <array>
#include <charconv>
#include <cstring>
#include <string_view>

namespace updater {

namespace {

// Takes an option's value into the command line; false when the value is not one it takes.
using TakeValue = bool (*)(CommandLine& line, const std::string& value);

bool takeGameDir(CommandLine& line, const std::string& value)
{
    line.gameDir = value;
    return true;
}

// A whole number up to `largest`, digits only: "30" but not "-1", "1.5" or "999999999999".
std::optional<uint32_t> wholeNumber(const std::string& value, uint32_t largest)
{
    uint32_t number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (value.empty() || error != std::errc() || end != value.data() + value.size() || number > largest)
        return std::nullopt;
    return number;
}

// kB/s as a settings value holds them.
constexpr uint32_t LargestSpeed = UINT32_MAX;
constexpr uint32_t ADay = 24 * 60 * 60;

bool takeMaxSpeed(CommandLine& line, const std::string& value)
{
    line.maxSpeed = wholeNumber(value, LargestSpeed);
    return line.maxSpeed.has_value();
}

bool takeUploadLimit(CommandLine& line, const std::string& value)
{
    line.uploadLimit = wholeNumber(value, LargestSpeed);
    return line.uploadLimit.has_value();
}

bool takeBusyWait(CommandLine& line, const std::string& value)
{
    const std::optional<uint32_t> seconds = wholeNumber(value, ADay);
    if (seconds)
        line.busyWaitSeconds = int(*seconds);
    return seconds.has_value();
}

bool takeSeedFor(CommandLine& line, const std::string& value)
{
    const std::optional<uint32_t> seconds = wholeNumber(value, ADay);
    line.seedForSeconds = int(seconds.value_or(0));
    return seconds.has_value();
}

bool takeSharePatches(CommandLine& line, const std::string&)
{
    line.sharePatches = true;
    return true;
}

struct Option
{
    const char* name;            // "--version"
    const char* shortName;       // "-v", or nullptr
    const char* valueName;       // "DIR" for an option that takes a value, or nullptr
    CommandLine::Mode mode;      // the mode it chooses; Window for one that only adds to a task
    const char* help;            // lines after the first are indented under it
    TakeValue take = nullptr;    // for an option that takes a value
    const char* needs = nullptr; // what the value is, for a refusal: "a folder"
};

using Mode = CommandLine::Mode;

constexpr std::array options{
    Option{"--version", "-v", nullptr, Mode::Version, "print the version and end"},
    Option{"--help", "-h", nullptr, Mode::Help, "print this help and end"},
    Option{"--update-only", nullptr, nullptr, Mode::Update,
           "bring the game folder up to date without a window and end: progress and\n"
           "notices go to standard error; exit status 0 when every patch is applied"},
    Option{"--verify", nullptr, nullptr, Mode::Verify,
           "compare the game folder with the record of the files the patches installed,\n"
           "without a window: every missing or changed file is printed with the slot\n"
           "that brought it, writing nothing; exit status 0 when the record is whole\n"
           "and all match, 1 otherwise"},
    Option{"--repair", nullptr, nullptr, Mode::Repair,
           "as --verify, then download again only the archives that wrote a damaged\n"
           "file and write only those files; exit status 0 when the folder then matches"},
    Option{"--game-dir", nullptr, "DIR", Mode::Window,
           "the game folder for --update-only, --verify and --repair (default: the\n"
           "current folder)",
           takeGameDir, "a folder"},
    Option{"--max-speed", nullptr, "KBPS", Mode::Window,
           "the most kB/s every download of --update-only and --repair takes, 0 for\n"
           "no limit (default: the limit set in the window's Settings menu)",
           takeMaxSpeed, "a whole number of kB/s, 0 for no limit"},
    Option{"--busy-wait", nullptr, "SECONDS", Mode::Window,
           "how long each patch of --update-only and --repair waits for servers that\n"
           "answer busy before the run gives it up (default: half an hour)",
           takeBusyWait, "a whole number of seconds, at most a day"},
    Option{"--share-patches", nullptr, nullptr, Mode::Window,
           "with --update-only, patches also come from other players and go on to\n"
           "them while it runs; they see this computer's address (default: as chosen\n"
           "in the window's Settings menu)",
           takeSharePatches},
    Option{"--upload-limit", nullptr, "KBPS", Mode::Window,
           "the most kB/s that sharing uploads, 0 for no limit (default: a quarter of\n"
           "what the launcher downloads)",
           takeUploadLimit, "a whole number of kB/s, 0 for no limit"},
    Option{"--seed-for", nullptr, "SECONDS", Mode::Window,
           "how long --update-only goes on sharing the patches of its run after it,\n"
           "when it shares (default: 0)",
           takeSeedFor, "a whole number of seconds, at most a day"},
};

constexpr char header[] = R"(Usage: tarvo-updater [--version | --help] [Qt options, such as -style NAME]
       tarvo-updater --update-only [--game-dir DIR] [--max-speed KBPS] [--busy-wait SECONDS]
                     [--share-patches] [--upload-limit KBPS] [--seed-for SECONDS]
       tarvo-updater --verify | --repair [--game-dir DIR]

The launcher and patcher of a community-run online role-playing game: it brings the game
folder up to date from the community's patch list, shows the game servers and starts the
game client. Start it in the game folder (the folder that holds Tarvo-Updater/updater4.cfg):
the folder it is started in is the game folder.
)";

constexpr char environment[] = R"(
Environment (read once at start):
  UPDATER_DIALOG_LOG=<file>         every dialog, when it closes, appends one JSON line
  UPDATER_DIALOG_ANSWERS=<a,b,...>  no dialog waits: each takes the next answer (OK, Yes,
                                    No), then its default button once the list is used up
  UPDATER_AUTOSTART_SERVER=1|2      press that server's start button once it is usable
  UPDATER_EXIT_AFTER_UPDATE=1       end as soon as the update run is over
  UPDATER_PRETEND_OFFLINE=1         the on-line check answers "not connected"
  WINE=<program>                    the Wine program that starts Windows game clients
)";

constexpr size_t HelpColumn = 16;

const Option* optionNamed(std::string_view argument)
{
    for (const Option& option : options)
        if (argument == option.name || (option.shortName && argument == option.shortName))
            return &option;
    return nullptr;
}

// "--game-dir=DIR": the option and its value.
const Option* optionWithValue(std::string_view argument, std::string& value)
{
    const size_t equals = argument.find('=');
    if (equals == std::string_view::npos || !argument.starts_with("--"))
        return nullptr;
    const Option* option = optionNamed(argument.substr(0, equals));
    if (!option || !option->valueName)
        return nullptr;
    value = argument.substr(equals + 1);
    return option;
}

bool isInformation(Mode mode)
{
    return mode == Mode::Version || mode == Mode::Help;
}

} // namespace

CommandLine readCommandLine(int argc, char** argv)
{
    int end = 1;
    while (end < argc && std::strcmp(argv[end], BrowserArgumentsMarker) != 0)
        ++end;
    CommandLine line;
    // --version and --help answer whatever else is there, before anything needs a display.
    for (int i = 1; i < end; ++i)
        if (const Option* option = optionNamed(argv[i]); option && isInformation(option->mode)) {
            line.mode = option->mode;
            return line;
        }
    std::string firstTask; // what a refusal names, wherever it stands
    for (int i = end - 1; i >= 1; --i)
        if (const Option* option = optionNamed(argv[i]); option && option->mode != Mode::Window)
            firstTask = argv[i];
    if (firstTask.empty())
        return line; // the window's: its toolkit takes its own options first

    for (int i = 1; i < end; ++i) {
        const std::string_view argument = argv[i];
        std::string value;
        const Option* option = optionWithValue(argument, value);
        if (!option && (option = optionNamed(argument)) && option->valueName) {
            if (i + 1 == end) {
                line.refusal = std::string("tarvo-updater: ") + option->name + " needs " + option->needs +
                               " (see --help)\n";
                return line;
            }
            value = argv[++i];
        }
        if (option && option->take && !option->valueName) {
            option->take(line, {});
            continue;
        }
        if (option && option->valueName) {
            if (option->take(line, value))
                continue;
            line.refusal = std::string("tarvo-updater: ") + option->name + " needs " + option->needs +
                           ", not " + value + " (see --help)\n";
            return line;
        }
        // One task a run: another one is not understood with it.
        const bool sameTask = option && line.taskOption == argument;
        if (option && !isInformation(option->mode) && (line.taskOption.empty() || sameTask)) {
            line.mode = option->mode;
            line.taskOption = argument;
            continue;
        }
        line.refusal = "tarvo-updater: " + std::string(argument) + " is not understood with " + firstTask +
                       " (see --help)\n";
        return line;
    }
    return line;
}

std::string refusalOfLeftOptions(int argc, char** argv)
{
    for (int i = 1; i < argc && std::strcmp(argv[i], BrowserArgumentsMarker) != 0; ++i)
        if (std::strncmp(argv[i], "--", 2) == 0)
            return std::string("tarvo-updater: unknown option ") + argv[i] + "\n\n" + usageText();
    return {};
}

std::string usageText()
{
    std::string text = header;
    text += "\nOptions:\n";
    for (const Option& option : options) {
        std::string label =
            option.shortName ? std::string(option.shortName) + ", " + option.name : option.name;
        if (option.valueName)
            label += std::string(" ") + option.valueName;
        std::string_view help = option.help;
        // A label too long for its column stands on a line of its own.
        if (label.size() < HelpColumn)
            text += "  " + label + std::string(HelpColumn - label.size(), ' ');
        else
            text += "  " + label + "\n" + std::string(HelpColumn + 2, ' ');
        for (size_t lineEnd = help.find('\n'); lineEnd != std::string_view::npos; lineEnd = help.find('\n')) {
            text += std::string(help.substr(0, lineEnd + 1)) + std::string(HelpColumn + 2, ' ');
            help.remove_prefix(lineEnd + 1);
        }
        text += std::string(help) + "\n";
    }
    return text + environment;
}

} // namespace updater
