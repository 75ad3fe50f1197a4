#include "monitor/StartButtonRule.h"

#include "config/RunState.h"

#include <QPushButton>

namespace updater {

void checkStartButtons(const RunState& state, QPushButton* start1, QPushButton* start2)
{
    const bool refreshed = state.configRefreshed;
    start1->setEnabled(state.serverOnline[0] && refreshed);
    start2->setEnabled(state.serverOnline[1] && refreshed);
}

} // namespace updater
