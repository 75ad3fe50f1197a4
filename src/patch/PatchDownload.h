#pragma once

#include <string>

namespace updater {

class HttpClient;

// Fetches the address into a temporary file beside `target` while it arrives and renames it over
// `target` once complete, so memory stays flat and a failed download leaves no file behind.
// Throws (HttpError, UpdaterError) on any failure.
void downloadToFile(HttpClient& http, const std::string& url, const std::string& target);

} // namespace updater
