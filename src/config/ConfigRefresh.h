#pragma once

namespace updater {

struct Configuration;
struct RunState;
class HttpClient;

// RefreshConfig: when the configuration asks for it (OverWriteClientInfo not 0), downloads the
// community's copy of updater4.cfg from Config_link and puts it in place of the local file; only
// then is state.configRefreshed set. The values in memory stay as they are until the next start.
//
// On failure the "CRITICAL ERROR 4" box asks whether to go on with the old file; No asks the
// application to end (the caller still runs to its end). The local file is replaced only by a
// complete download and never left half-written.
//
// Blocking; called on the window thread after the update worker is done with the client. The
// client's work events go to whatever handlers are set on it (the download display).
void refreshConfig(const Configuration& config, HttpClient& client, RunState& state);

} // namespace updater
