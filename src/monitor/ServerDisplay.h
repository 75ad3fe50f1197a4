#pragma once

#include "monitor/ServerControls.h"
#include "net/IcmpPacket.h"

namespace updater {

// Window changes of the server monitors. Every function here runs on the window thread.

// ShowServerDisplay1: leaves the download display for the server display. One server gets the
// wide layout (logo, 499-wide ping box, 425-wide gauge, round-trip label at 455, tall button).
void showServerDisplay1(const MonitorWindow& window, int howManyServers);

// ShowServerDisplay2: the second status panel, ping box and start button.
void showServerDisplay2(const MonitorWindow& window);

// OnPingReply_ServerN: the gauge and round-trip time for an answer, the warning for none.
void showPingReply(const ServerControls& controls, const ReplyStatus& reply);

// ShowProbeBusyN: the blue house of the service being probed.
void showProbeBusy(const MonitorWindow& window, ProbeStep step);

// The result of one service: "-= On =-" with the green house or "-= Off =-" with the red one.
void showProbeResult(const MonitorWindow& window, ProbeStep step, bool accepted);

} // namespace updater
