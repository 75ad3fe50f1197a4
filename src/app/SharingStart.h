#pragma once

#include <cstdint>
#include <memory>
#include <optional>

namespace updater {

class PatchSharing;
class RegistryStore;

// Starts the player's part in the community's swarm, with the port and upload limit the settings
// store keeps, unless `uploadLimit` (the command line's) overrides the stored one. Logged with its
// port. Only ever made once the player chose to share.
std::shared_ptr<PatchSharing> startSharing(const RegistryStore& store, uint32_t downloadLimit,
                                           std::optional<uint32_t> uploadLimit = std::nullopt);

} // namespace updater
