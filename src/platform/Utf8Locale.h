#pragma once

namespace updater {

// The archive library turns names into file names through the C library's multibyte functions, so
// the process's character type must be UTF-8 for game files to get their UTF-8 names. Switches
// LC_CTYPE to C.UTF-8 when the environment's locale is not a UTF-8 one. Call on the main thread
// after the application object exists (it sets the locale from the environment) and before any
// worker starts.
void useUtf8CharacterType();

} // namespace updater
