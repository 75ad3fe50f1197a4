#pragma once

#include <string>
#include <vector>

namespace patchtool {

// Everything in the RAR archive at `path` that would make the launcher refuse it, or unpack it
// other than its maker meant, one text each; empty for an archive the launcher unpacks whole.
// Looks for: a file that cannot be opened or is no RAR archive, a cut or damaged archive (one that
// does not run whole to its end-of-archive block, a header or an entry's data that fails its
// checksum when every entry is tested), encrypted headers, entries that need a password, unsafe
// names (isUnsafeEntryName), link entries, and names that differ only in letter case. Entry names
// appear as UTF-8, with control characters shown as '?'.
std::vector<std::string> checkPatchArchive(const std::string& path);

} // namespace patchtool
