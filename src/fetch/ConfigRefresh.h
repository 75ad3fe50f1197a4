#pragma once

#include <string>

namespace updater {

struct Configuration;
class HttpClient;

struct RefreshOutcome
{
    enum Result { Skipped, Refreshed, Failed } result = Skipped;
    // On failure, what the player reads: the status text when the server's answer failed the
    // request ("404 Not Found"), otherwise what went wrong ("connection refused").
    std::string reply;
};

// When the configuration asks for it (OverWriteClientInfo not 0), downloads the community's copy
// of updater4.cfg from Config_link and puts it in place of the local file (one over 1 MiB is not a
// configuration: it fails as "configuration larger than 1 MiB"). When the game folder
// holds the community's key, the copy must carry a valid signature at Config_link + ".minisig";
// otherwise the local file stays and the cause is the reply. The values in memory
// stay as they are until the next start. The local file is replaced only by a complete download
// and never left half-written.
//
// Blocking; called on the window thread after the update run is done with the client. The
// client's work events go to whatever handlers are set on it (the download display).
RefreshOutcome refreshConfig(const Configuration& config, HttpClient& client);

} // namespace updater
