#pragma once

#include "monitor/ServerControls.h"
#include "net/PortProbe.h"

#include <array>
#include <string>

namespace updater {

struct RunState;

// The status probe of one server: connects to its account, char and map ports in turn and shows
// for each whether the connection came about. Runs on the server's monitor thread; every window
// change runs on the window thread while the monitor waits. The map result is the server's
// online flag, which the start-button rule reads.
class StatusProbe
{
public:
    // `serverIndex` 0 for server 1, 1 for server 2; `ports` account, char and map.
    StatusProbe(int serverIndex, std::array<int, 3> ports, RunState& state, const MonitorWindow& window);

    void probe(const std::string& address);

private:
    void serverConnect(PortProbeClient& client); // the connected handler
    void showProbeOff();

    int m_serverIndex;
    std::array<int, 3> m_ports;
    RunState& m_state;
    const MonitorWindow& m_window;
    PortProbeClient m_client;
    ProbeStep m_step = ProbeStep::Account;
};

} // namespace updater
