#pragma once

#include "net/PortProbe.h"

#include <array>
#include <functional>
#include <string>

namespace updater {

class StopFlag;

// The three services of a game server, in the order the status probe visits them.
enum class ProbeStep { Account = 0, Char = 1, Map = 2 };

// The status probe of one server: connects to its account, char and map ports in turn and reports
// for each whether the connection came about. Runs on the server watch's thread.
class StatusProbe
{
public:
    using BusyHandler = std::function<void(ProbeStep step)>;
    using ResultHandler = std::function<void(ProbeStep step, bool accepted)>;

    // `ports`: account, char and map.
    StatusProbe(std::array<int, 3> ports, BusyHandler busy, ResultHandler result);

    // A requested stop ends the probe at once, reporting nothing more.
    void setStopFlag(const StopFlag* stop);
    void probe(const std::string& address);

private:
    std::array<int, 3> m_ports;
    BusyHandler m_busy;
    ResultHandler m_result;
    PortProbeClient m_client;
    const StopFlag* m_stop = nullptr;
    ProbeStep m_step = ProbeStep::Account;
};

} // namespace updater
