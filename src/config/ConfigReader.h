#pragma once

#include "config/Configuration.h"

#include <optional>

namespace updater {

class ProfileFile;

// Reads every key in order with its kind and default. [Config_2] is read only when
// HowManyServers is 2.
Configuration readConfigurationFrom(const ProfileFile& file);

// Reads the game folder's configuration file; nothing when there is none.
std::optional<Configuration> readConfig();

} // namespace updater
