#pragma once

#include "config/Configuration.h"
#include "monitor/ServerControls.h"
#include "monitor/StatusProbe.h"
#include "net/IcmpEcho.h"

#include <QThread>

#include <string>

namespace updater {

struct RunState;

// The program's pauses of a monitor cycle; tests pass shorter ones.
struct MonitorTimings
{
    int pauseMs = 3000; // sleep after each echo
    int echoTimeoutMs = IcmpEchoClient::DefaultReceiveTimeoutMs;
};

// The monitor of one game server (PingServer_S1 / PingServer_S2): in endless cycles it resolves
// the server's address, probes its account, char and map ports and sends ten echoes three seconds
// apart, showing every result on the window. The two servers are two instances of this class.
//
// Nothing in the launcher stops a monitor; an error that escapes a cycle (an echo that cannot be
// sent, for one) ends its thread quietly and the window keeps what it showed last. Tests end a
// monitor with requestInterruption() and wait().
class PingMonitor final : public QThread
{
    Q_OBJECT
public:
    static constexpr int EchoesPerCycle = 10;

    // Switches the window to the server display (ShowServerDisplay1 for server 1,
    // ShowServerDisplay2 for server 2) on the window thread and waits for it, then starts the
    // thread. `serverNumber` is 1 or 2; the entry, its ports and the layout come from `config`.
    PingMonitor(int serverNumber, const Configuration& config, RunState& state, MonitorWindow window,
                MonitorTimings timings = {});

    int serverNumber() const { return m_serverNumber; }

protected:
    void run() override; // Execute: the cycle loop

private:
    void runCycle();
    void resolveAddress();
    void onPingReply(const ReplyStatus& reply);

    const int m_serverNumber;
    const ServerEntry m_entry;
    RunState& m_state;
    const MonitorWindow m_window;
    const MonitorTimings m_timings;
    std::string m_resolvedAddress; // ResolvedAddress1/2: written and read by this monitor only
    IcmpEchoClient m_echo;
    StatusProbe m_probe;
};

// What the update worker does as its step of starting the monitors: server 1 always, server 2
// when HowManyServers is 2. Called on the update worker's thread; the monitors are never deleted.
struct PingMonitors
{
    PingMonitor* server1 = nullptr;
    PingMonitor* server2 = nullptr;
};
PingMonitors startPingMonitors(const Configuration& config, RunState& state, const MonitorWindow& window1,
                               const MonitorWindow& window2, MonitorTimings timings = {});

} // namespace updater
