#include "monitor/StatusProbe.h"

#include "config/RunState.h"
#include "monitor/ServerDisplay.h"
#include "platform/WindowThread.h"

namespace updater {

StatusProbe::StatusProbe(int serverIndex, std::array<int, 3> ports, RunState& state,
                         const MonitorWindow& window)
    : m_serverIndex(serverIndex), m_ports(ports), m_state(state), m_window(window)
{
    m_client.setOnConnected([this](PortProbeClient& client) { serverConnect(client); });
}

void StatusProbe::probe(const std::string& address)
{
    for (ProbeStep step : {ProbeStep::Account, ProbeStep::Char, ProbeStep::Map}) {
        m_step = step;
        try {
            runOnWindowThread([this] { showProbeBusy(m_window, m_step); });
            m_client.setPort(m_ports[static_cast<int>(step)]);
            // The char and map probes keep the host the account probe set.
            if (step == ProbeStep::Account)
                m_client.setHost(address);
            m_client.connect();
        } catch (...) {
            // A connection that failed half-way must not block the next probe.
            m_client.disconnect();
            showProbeOff();
        }
    }
}

void StatusProbe::serverConnect(PortProbeClient& client)
{
    client.disconnect();
    runOnWindowThread([this] {
        showProbeResult(m_window, m_step, true);
        if (m_step == ProbeStep::Map)
            m_state.serverOnline[m_serverIndex] = true;
    });
}

void StatusProbe::showProbeOff()
{
    runOnWindowThread([this] {
        showProbeResult(m_window, m_step, false);
        if (m_step == ProbeStep::Map)
            m_state.serverOnline[m_serverIndex] = false;
    });
}

} // namespace updater
