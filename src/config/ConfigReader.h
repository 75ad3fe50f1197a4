#pragma once

#include "config/Configuration.h"

#include <optional>

namespace updater {

class ProfileFile;

// Reads every key in order with its kind and default. [Config_2] is read only when
// HowManyServers is 2.
Configuration readConfigurationFrom(const ProfileFile& file);

// The game folder's configuration, or why there is none.
struct ConfigRead
{
    enum class Problem { None, Missing, TooLarge };
    std::optional<Configuration> config;
    Problem problem = Problem::None;
};

// Reads the game folder's configuration file. One larger than 16 MiB or of too many lines is not
// read: taken as empty, it would look like a community that configured nothing.
ConfigRead readConfig();

} // namespace updater
