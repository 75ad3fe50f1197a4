#pragma once

#include <string>

namespace updater {

// The folder the running program lies in; empty when it cannot be told. Never the current
// folder: that is the game folder, where patches write, and no code may be loaded from it.
std::string programFolder();

// Loads the module at `path` (kept loaded for the life of the process) and returns the address of
// `symbol` in it; null, with the reason in `error` ("<path>: not there", the loader's own message,
// or "<path>: no <symbol>"), when it cannot.
void* loadModuleSymbol(const std::string& path, const char* symbol, std::string& error);

} // namespace updater
