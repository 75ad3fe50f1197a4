#pragma once

#include "platform/UpdaterError.h"

namespace updater {

// Raised by the echo, probe and look-up clients. Callers catch these wholesale and look at the kind
// only where an IcmpRefusedError changes what they do; the other classes exist so that tests can
// tell the cases apart.
class NetworkError : public UpdaterError
{
public:
    using UpdaterError::UpdaterError;
};

// An echo answer that is too short or of an ICMP type the echo does not understand.
class IcmpError : public NetworkError
{
public:
    using NetworkError::NetworkError;
};

// The platform refuses this process both ICMP sockets: no raw-socket privilege, and its group lies
// outside net.ipv4.ping_group_range. Unlike other echo errors, this one lasts as long as the
// system's settings, so the server watch measures without ICMP instead of ending.
class IcmpRefusedError : public NetworkError
{
public:
    using NetworkError::NetworkError;
};

// A requested stop ended the wait for a socket: no failure of the network, and nothing to report.
class StoppedError : public NetworkError
{
public:
    StoppedError() : NetworkError("Stopped") {}
};

// A connect on a probe client that is still connected.
class AlreadyConnectedError : public NetworkError
{
public:
    AlreadyConnectedError() : NetworkError("Already connected.") {}
};

} // namespace updater
