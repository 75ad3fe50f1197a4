#pragma once

#include "platform/UpdaterError.h"

namespace updater {

// Raised by the echo, probe and look-up clients. Callers catch these wholesale and never look at
// the kind; the classes exist so that tests can tell the cases apart.
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

// A connect on a probe client that is still connected.
class AlreadyConnectedError : public NetworkError
{
public:
    AlreadyConnectedError() : NetworkError("Already connected.") {}
};

} // namespace updater
