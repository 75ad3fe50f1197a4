#pragma once

#include "config/Configuration.h"

namespace updater {

class ProfileFile;

// Reads every key in order with its kind and default. [Config_2] is read only when
// HowManyServers is 2.
Configuration readConfigurationFrom(const ProfileFile& file);

// Reads the game folder's configuration file. When it is missing, shows the "CRITICAL ERROR 2"
// box, asks the application to end and returns the empty configuration.
Configuration readConfig();

} // namespace updater
