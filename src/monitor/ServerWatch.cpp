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
    m_probe.probe(m_resolvedAddress);
    for (int i = 0; i < EchoesPerCycle && !m_stop.requested(); ++i) {
        measureRoundTrip();
        pause(m_timings.pauseMs);
    }
}

void ServerWatch::measureRoundTrip()
{
    m_echo.setHost(m_resolvedAddress);
    try {
        m_echo.echo();
    } catch (const IcmpRefusedError&) {
        // Asked again each time, so that a ping range opened meanwhile brings the echo back.
        m_connectEcho.setHost(m_resolvedAddress);
        emit pingAnswered(m_connectEcho.echo());
    }
}

void ServerWatch::resolveAddress()
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
    // Only this watch waits for the answer; the window stays usable.
    if (!m_stop.requested())
        m_player.tell({NoticeKind::ServerUnresolved, m_entry.ipResolve, {}, {}, 0});
}

void ServerWatch::pause(int milliseconds) const
{
    Clock::steady().waitFor(std::chrono::milliseconds(milliseconds), &m_stop);
}

} // namespace updater
