#pragma once

class QPushButton;

namespace updater {

struct RunState;

// TimerStatusCheck, run by Timer1 every 1000 ms on the window thread: a start button is enabled
// exactly while the configuration refresh succeeded and that server's map port accepted the last
// probe. The account and char results play no part.
void checkStartButtons(const RunState& state, QPushButton* start1, QPushButton* start2);

} // namespace updater
