#include "monitor/ServerWatch.h"

#include "net/HostLookup.h"
#include "net/NetErrors.h"
#include "platform/Clock.h"
#include "player/PlayerContact.h"

namespace updater {

ServerWatch::ServerWatch(const ServerEntry& entry, PlayerContact& player, WatchTimings timings,
                         QObject* parent)
    : QObject(parent), m_entry(entry), m_player(player), m_timings(timings),
      m_probe(
          {entry.account, entry.charPort, entry.map}, [this](ProbeStep step) { emit probing(step); },
          [this](ProbeStep step, bool accepted) { emit probed(step, accepted); })
{
    m_echo.setReceiveTimeout(m_timings.echoTimeoutMs);
    m_echo.setStopFlag(&m_stop);
    m_echo.setOnReply([this](IcmpEchoClient&, const ReplyStatus& reply) { emit pingAnswered(reply); });
    m_connectEcho.setPort(entry.map);
    m_connectEcho.setReceiveTimeout(m_timings.echoTimeoutMs);
    m_connectEcho.setStopFlag(&m_stop);
    m_probe.setStopFlag(&m_stop);
}

void ServerWatch::run()
{
    try {
        while (!m_stop.requested())
            runCycle();
    } catch (...) {
        // A round trip that cannot be measured ends this server's watch.
    }
    emit ended();
}

void ServerWatch::runCycle()
{
    resolveAddress();
    m_probe.probe(target());
    for (int i = 0; i < EchoesPerCycle && !m_stop.requested(); ++i) {
        measureRoundTrip();
        pause(m_timings.pauseMs);
    }
}

void ServerWatch::measureRoundTrip()
{
    m_echo.setHost(target());
    try {
        m_echo.echo();
    } catch (const IcmpRefusedError&) {
        // Asked again each time, so that a ping range opened meanwhile brings the echo back.
        m_connectEcho.setHost(target());
        emit pingAnswered(m_connectEcho.echo());
    }
}

void ServerWatch::resolveAddress()
{
    if (!m_entry.resolveHost)
        return;
    std::optional<IPv4Address> address;
    try {
        address = lookUpHost(m_entry.ipResolve);
    } catch (...) {
    }
    if (address) {
        m_resolvedAddress = address;
        return;
    }
    // Only this watch waits for the answer; the window stays usable.
    if (!m_stop.requested())
        m_player.tell({NoticeKind::ServerUnresolved, m_entry.ipResolve, {}, {}, 0});
}

// Where the probes and the echo go: the host text as configured, or with the resolve switch on the
// address the last look-up found (none before the first, which the clients answer as unreachable).
std::string ServerWatch::target() const
{
    if (!m_entry.resolveHost)
        return m_entry.ipResolve;
    return m_resolvedAddress ? m_resolvedAddress->dotted() : std::string();
}

void ServerWatch::pause(int milliseconds) const
{
    Clock::steady().waitFor(std::chrono::milliseconds(milliseconds), &m_stop);
}

} // namespace updater
