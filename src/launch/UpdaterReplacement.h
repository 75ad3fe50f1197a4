#pragma once

namespace updater {

// The tool that puts a newer launcher in place of this one.
inline constexpr const char* ReplacementTool = "duzuvadir.lol";

enum class UpdaterReplacement {
    None,        // no newer launcher arrived
    ToolMissing, // a newer launcher ("updater4.new") arrived, but the tool to install it is missing
    Ready,       // the tool can be started to hand over to the newer launcher
};

// Whether a newer launcher arrived inside a patch and can take over.
UpdaterReplacement findUpdaterReplacement();

} // namespace updater
