#pragma once

// What the program and its window module agree on.
namespace updater {

constexpr char WindowModuleFile[] = "tarvo-updater-window.so";
constexpr char WindowEntryName[] = "tarvoUpdaterWindowMain";
// Runs the window mode and returns the exit status; argc may change as Qt takes its options.
using WindowEntry = int (*)(int* argc, char** argv);
// Everything after this marker belongs to the browser engine.
constexpr char BrowserArgumentsMarker[] = "--webEngineArgs";

} // namespace updater
