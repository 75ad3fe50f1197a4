#pragma once

#include "config/Configuration.h"
#include "monitor/StatusProbe.h"
#include "net/ConnectEcho.h"
#include "net/HostLookup.h"
#include "net/IcmpEcho.h"
#include "platform/StopFlag.h"

#include <QObject>

#include <optional>
#include <string>

namespace updater {

class PlayerContact;

// The pauses of a watch cycle; tests pass shorter ones.
struct WatchTimings
{
    int pauseMs = 3000; // after each measurement
    int echoTimeoutMs = IcmpEchoClient::DefaultReceiveTimeoutMs;
};

// The watch of one game server: in endless cycles it resolves the server's address, probes its
// account, char and map ports and measures the round trip ten times three seconds apart,
// reporting every result by a signal. Server 1 and server 2 are two instances of this class, each
// on a thread of its own.
//
// A round trip is an ICMP echo; where the platform refuses this process ICMP, it is the time to
// connect to the map port instead. Any other error that escapes a cycle (an echo that cannot be
// sent, for one) ends the watch; the window keeps what it showed last. stop() ends it within a
// second, from any thread.
class ServerWatch : public QObject
{
    Q_OBJECT
public:
    static constexpr int EchoesPerCycle = 10;

    // `player` hears of a host name that cannot be resolved; it must outlive the watch.
    ServerWatch(const ServerEntry& entry, PlayerContact& player, WatchTimings timings = {},
                QObject* parent = nullptr);

    void stop() { m_stop.request(); }

public slots:
    void run();

signals:
    void probing(updater::ProbeStep step);
    void probed(updater::ProbeStep step, bool accepted);
    void pingAnswered(const updater::ReplyStatus& reply);
    void ended();

private:
    void runCycle();
    void resolveAddress();
    std::string target() const;
    void measureRoundTrip();
    void pause(int milliseconds) const;

    const ServerEntry m_entry;
    PlayerContact& m_player;
    const WatchTimings m_timings;
    StopFlag m_stop;
    std::optional<IPv4Address> m_resolvedAddress; // kept from the last successful look-up
    IcmpEchoClient m_echo;
    ConnectEchoClient m_connectEcho;
    StatusProbe m_probe;
};

} // namespace updater
