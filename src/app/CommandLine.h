#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace updater {

// What the command line asks for. Every option the program knows is in one table
// (CommandLine.cpp): the help text, the refusals and each mode's options come from it.
struct CommandLine
{
    enum class Mode { Window, Update, Verify, Repair, Version, Help };
    Mode mode = Mode::Window;
    std::string taskOption;              // the option that chose a mode without a window, as written
    std::string gameDir;                 // --game-dir; empty: the current folder
    std::optional<uint32_t> maxSpeed;    // --max-speed in kB/s, 0 for none; unset: the stored limit
    std::optional<int> busyWaitSeconds;  // --busy-wait: how long a slot waits for busy servers
    bool sharePatches = false;           // --share-patches
    std::optional<uint32_t> uploadLimit; // --upload-limit in kB/s, 0 for none; unset: the stored one
    int seedForSeconds = 0;              // --seed-for: how long to share after the update
    std::string refusal; // not empty: a usage error, to print on standard error (exit status 2)

    bool headless() const { return mode == Mode::Update || mode == Mode::Verify || mode == Mode::Repair; }
};

// Reads the program's arguments up to the browser engine's marker. Without a task option the
// window's toolkit takes options of its own later, so only the program's own are judged here;
// with one, every argument must be known.
CommandLine readCommandLine(int argc, char** argv);

// For the window: once the toolkit has taken its own options out, an option that is left is
// refused; the refusal's text, or nothing.
std::string refusalOfLeftOptions(int argc, char** argv);

// The help text, options and environment switches included.
std::string usageText();

} // namespace updater
