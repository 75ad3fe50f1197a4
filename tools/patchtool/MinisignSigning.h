#pragma once

#include "trust/Minisign.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace patchtool {

// A secret key file as `minisign -G` writes it, still sealed with its password (or with none,
// after `minisign -G -W`).
struct SealedSecretKey
{
    bool encrypted = false;
    std::array<unsigned char, 32> salt{};
    uint64_t opsLimit = 0;
    uint64_t memLimit = 0;
    std::array<unsigned char, 104> sealed{}; // key id, Ed25519 secret key, checksum
};

// Nothing when the text is not a minisign secret key file of a kind this program can open.
std::optional<SealedSecretKey> parseMinisignSecretKeyFile(std::string_view text);

struct MinisignSecretKey
{
    std::array<unsigned char, 8> id{};
    std::array<unsigned char, 64> secret{}; // seed, then the public key

    updater::MinisignKey publicKey() const;
};

// Opens the key with its password (ignored for a key without one); nothing when the password is
// wrong or the key damaged.
std::optional<MinisignSecretKey> openSecretKey(const SealedSecretKey& sealed, std::string_view password);

// The trusted comment minisign writes by default, which the launcher reads the time from.
std::string defaultTrustedComment(uint64_t timestamp, std::string_view fileName);

// A signature file as `minisign -S` writes it: prehashed ("ED"), with the trusted comment bound to
// the signature.
std::string signMinisign(const MinisignSecretKey& key, std::string_view message,
                         std::string_view trustedComment);

} // namespace patchtool
