#include "monitor/StatusProbe.h"

#include "platform/StopFlag.h"

namespace updater {

StatusProbe::StatusProbe(std::array<int, 3> ports, BusyHandler busy, ResultHandler result)
    : m_ports(ports), m_busy(std::move(busy)), m_result(std::move(result))
{
    m_client.setOnConnected([this](PortProbeClient& client) {
        client.disconnect();
        m_result(m_step, true);
    });
}

void StatusProbe::setStopFlag(const StopFlag* stop)
{
    m_stop = stop;
    m_client.setStopFlag(stop);
}

void StatusProbe::probe(const std::string& address)
{
    for (ProbeStep step : {ProbeStep::Account, ProbeStep::Char, ProbeStep::Map}) {
        if (m_stop && m_stop->requested())
            return;
        m_step = step;
        try {
            m_busy(step);
            m_client.setPort(m_ports[static_cast<int>(step)]);
            // The char and map probes keep the host the account probe set.
            if (step == ProbeStep::Account)
                m_client.setHost(address);
            m_client.connect();
        } catch (...) {
            // A connection that failed half-way must not block the next probe.
            m_client.disconnect();
            if (m_stop && m_stop->requested())
                return;
            m_result(step, false);
        }
    }
}

} // namespace updater
