#pragma once

namespace updater {

// Hands over to the replacement tool "duzuvadir.lol" when a newer launcher ("updater4.new")
// arrived inside a patch: tells the player, starts the tool and asks the application to end.
// The caller goes on with its own steps afterwards, whatever happened here.
void checkUpdaterReplacement();

} // namespace updater
