#pragma once

#include "trust/Minisign.h"

#include <cstdint>
#include <optional>
#include <string>

namespace updater {

// The community's public key, "Tarvo-Updater/patchlist.pub" of the game folder (as minisign writes
// it). With it, the patch list and the refreshed configuration must carry a valid signature and
// every patch an integrity line. The launcher never replaces this file with anything it downloads.
struct CommunityKey
{
    enum State { Absent, Valid, Malformed } state = Absent;
    MinisignKey key;
};

CommunityKey loadCommunityKey();

// Checks `document`, fetched from `address`, against the signature text fetched from
// `address` + ".minisig" (empty when there was none). Nothing when it verifies, else the cause
// for the player ("no signature", "signature not valid", ...).
std::optional<std::string> signatureProblem(const CommunityKey& key, std::string_view document,
                                            std::string_view signature);

// The time minisign wrote into a signature file's trusted comment ("timestamp:1733570000", its
// default), read from the text alone: nothing when the comment has none.
std::optional<uint64_t> signedTimestamp(std::string_view signatureFile);

// Where a document's signature lies.
std::string signatureAddress(const std::string& address);

} // namespace updater
