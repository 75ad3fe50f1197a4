#pragma once

// The environment switches of unattended runs (process tests, demos, automation), each read once
// at start by the code that acts on it. The one list of them, so that a switch is not spelled twice;
// `tarvo-updater --help` describes them. Kept here, below every library that reads one, the on-line
// query of platform/ included.
namespace updater::switches {

// <file>: every dialog, when it closes, appends one JSON line to the file.
inline constexpr char DialogLog[] = "UPDATER_DIALOG_LOG";
// <a,b,...>: when set (even empty), no dialog waits: each takes the next answer, then its default.
inline constexpr char DialogAnswers[] = "UPDATER_DIALOG_ANSWERS";
// 1|2: press that server's start button once it is usable.
inline constexpr char AutostartServer[] = "UPDATER_AUTOSTART_SERVER";
// Set: end as soon as the update run is over.
inline constexpr char ExitAfterUpdate[] = "UPDATER_EXIT_AFTER_UPDATE";
// Set: the on-line query answers "not connected".
inline constexpr char PretendOffline[] = "UPDATER_PRETEND_OFFLINE";

} // namespace updater::switches
