#pragma once

// Seams for tests, and only for them: nothing in the program calls what is declared here (see
// platform/TestHooks.h).

#include "net/IcmpEcho.h"

namespace updater {

// Makes the client echo through one of the two socket kinds only, instead of the raw socket where
// the process may open one and the datagram socket otherwise.
void forceSocketKindForTest(IcmpEchoClient& client, IcmpEchoClient::SocketKind kind);

} // namespace updater
