#pragma once

#include "patch/PatchDownload.h"

#include <string>

namespace updater {

// What the caption above the download bar tells, as facts; the window and the headless output
// word it. While an archive downloads it names the patch; during a wait before a retry it counts
// the seconds left; while archives unpack it counts the entries unpacked in this run.
struct TransferCaption
{
    enum class Kind { Patch, RetryWait, BusyWait, Unpacked };
    Kind kind = Kind::Patch;
    std::string patch; // Patch: the patch's document name
    int count = 0;     // RetryWait, BusyWait: seconds left; Unpacked: entries so far

    // During a wait before a retry of the patch's download (for a busy server, or after a failure
    // that may pass): the seconds left, then (0) the patch.
    static TransferCaption retrying(RetryWait wait, const std::string& patch)
    {
        if (wait.seconds <= 0)
            return {Kind::Patch, patch, 0};
        return {wait.busy ? Kind::BusyWait : Kind::RetryWait, {}, wait.seconds};
    }

    bool operator==(const TransferCaption&) const = default;
};

} // namespace updater
