#pragma once

#include <string>

namespace updater {

// What the caption above the download bar tells, as facts; the window and the headless output
// word it. While an archive downloads it names the patch; during a wait before a retry it counts
// the seconds left; while archives unpack it counts the entries unpacked in this run.
struct TransferCaption
{
    enum class Kind { Patch, RetryWait, Unpacked };
    Kind kind = Kind::Patch;
    std::string patch; // Patch: the patch's document name
    int count = 0;     // RetryWait: seconds left; Unpacked: entries so far

    // During a wait before a retry of the patch's download: the seconds left, then (0) the patch.
    static TransferCaption retrying(int secondsLeft, const std::string& patch)
    {
        return secondsLeft > 0 ? TransferCaption{Kind::RetryWait, {}, secondsLeft}
                               : TransferCaption{Kind::Patch, patch, 0};
    }

    bool operator==(const TransferCaption&) const = default;
};

} // namespace updater
