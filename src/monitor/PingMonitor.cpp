#include "monitor/PingMonitor.h"

#include "monitor/ServerDisplay.h"
#include "net/HostLookup.h"
#include "platform/DialogService.h"
#include "platform/QuitRequest.h"
#include "platform/WindowThread.h"

namespace updater {

namespace {

const char* const ResolveFailedQuestion =
    "Can't resolve ip!\n\nI can try to use older updater.cfg. This works only, if there is existing and not "
    "outdated file...\n\nWant try it with old updater.cfg?";

} // namespace

PingMonitor::PingMonitor(int serverNumber, const Configuration& config, RunState& state, MonitorWindow window,
                         MonitorTimings timings)
    : m_serverNumber(serverNumber == 2 ? 2 : 1), m_entry(config.entry(m_serverNumber)), m_state(state),
      m_window(std::move(window)), m_timings(timings),
      m_probe(m_serverNumber - 1, {m_entry.account, m_entry.charPort, m_entry.map}, state, m_window)
{
    m_echo.setReceiveTimeout(m_timings.echoTimeoutMs);
    m_echo.setOnReply([this](IcmpEchoClient&, const ReplyStatus& reply) { onPingReply(reply); });

    const int howManyServers = config.howManyServers;
    runOnWindowThread([this, howManyServers] {
        if (m_serverNumber == 1)
            showServerDisplay1(m_window, howManyServers);
        else
            showServerDisplay2(m_window);
    });
    start();
}

void PingMonitor::run()
{
    try {
        while (!isInterruptionRequested())
            runCycle();
    } catch (...) {
        // An echo that cannot be made ends this server's watch; the window keeps its last state.
    }
}

void PingMonitor::runCycle()
{
    resolveAddress();
    m_probe.probe(m_resolvedAddress);
    for (int i = 0; i < EchoesPerCycle && !isInterruptionRequested(); ++i) {
        m_echo.setHost(m_resolvedAddress);
        m_echo.echo();
        QThread::msleep(static_cast<unsigned long>(m_timings.pauseMs));
    }
}

void PingMonitor::resolveAddress()
{
    if (!m_entry.resolveHost) {
        m_resolvedAddress = m_entry.ipResolve;
        return;
    }
    std::string address;
    try {
        address = lookUpHost(m_entry.ipResolve);
    } catch (...) {
    }
    if (!address.empty()) {
        m_resolvedAddress = address;
        return;
    }
    // Only this monitor waits for the answer; the window stays usable.
    if (messageBox(ResolveFailedQuestion, "Alert", DialogIcon::Stop, DialogButtons::YesNo) ==
        DialogAnswer::No)
        requestQuit();
}

void PingMonitor::onPingReply(const ReplyStatus& reply)
{
    runOnWindowThread([this, &reply] { showPingReply(m_window.server, reply); });
}

PingMonitors startPingMonitors(const Configuration& config, RunState& state, const MonitorWindow& window1,
                               const MonitorWindow& window2, MonitorTimings timings)
{
    PingMonitors monitors;
    monitors.server1 = new PingMonitor(1, config, state, window1, timings);
    if (config.howManyServers == 2)
        monitors.server2 = new PingMonitor(2, config, state, window2, timings);
    return monitors;
}

} // namespace updater
