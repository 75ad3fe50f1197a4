#pragma once

#include <cstdint>
#include <string>

namespace updater {

class HttpClient;

// Fetches the address into a temporary file beside `target` while it arrives and renames it over
// `target` once complete, so memory stays flat and a failed download leaves no file behind.
// A body longer than `largest` bytes fails at once with "size does not match", so that a patch
// with an integrity line cannot fill the disk. Throws (HttpError, UpdaterError) on any failure.
void downloadToFile(HttpClient& http, const std::string& url, const std::string& target,
                    uint64_t largest = UINT64_MAX);

} // namespace updater
