#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace updater {

// An Ed25519 public key as minisign makes them, with the id that its signatures name.
struct MinisignKey
{
    std::array<unsigned char, 8> id{};
    std::array<unsigned char, 32> key{};
};

// The key's base64 line alone, as `minisign -P` takes it.
std::optional<MinisignKey> parseMinisignKey(std::string_view base64);

// A public key file as `minisign -G` writes it: a comment line, whatever it says, then the key line.
std::optional<MinisignKey> parseMinisignKeyFile(std::string_view text);

enum class SignatureCheck {
    Valid,
    NoSignature, // an empty signature file; whether that is allowed is the caller's business
    Malformed,
    OtherKey,
    NotValid, // also for a trusted comment changed after signing
};

struct SignatureVerdict
{
    SignatureCheck check = SignatureCheck::NoSignature;
    std::string trustedComment; // only for Valid
};

// Judges a signature file's text for the message as `minisign -V` does: legacy ("Ed", over the
// message) and prehashed ("ED", over its BLAKE2b-512) signatures, either line end, and odd files
// (overlong lines, NUL bytes, text after a '\r') read the way minisign reads them.
SignatureVerdict verifyMinisign(const MinisignKey& key, std::string_view signatureFile,
                                std::string_view message);

// Why a signature was refused, for the player; empty for Valid.
std::string_view signatureCause(SignatureCheck check);

} // namespace updater
