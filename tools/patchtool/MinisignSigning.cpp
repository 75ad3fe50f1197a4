#include "MinisignSigning.h"

#include <sodium.h>

#include <algorithm>
#include <cstring>

namespace patchtool {

namespace {

constexpr std::string_view UntrustedPrefix = "untrusted comment: ";
constexpr size_t SecretKeyFileBytes = 2 + 2 + 2 + 32 + 8 + 8 + 104;

const unsigned char* bytesOf(std::string_view text)
{
    return reinterpret_cast<const unsigned char*>(text.data());
}

std::string base64(const unsigned char* bytes, size_t size)
{
    std::string text(sodium_base64_ENCODED_LEN(size, sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(text.data(), text.size(), bytes, size, sodium_base64_VARIANT_ORIGINAL);
    text.resize(std::strlen(text.c_str()));
    return text;
}

uint64_t littleEndian(const unsigned char* bytes)
{
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = value << 8 | bytes[i];
    return value;
}

} // namespace

std::optional<SealedSecretKey> parseMinisignSecretKeyFile(std::string_view text)
{
    const size_t firstEnd = text.find('\n');
    if (!text.starts_with(UntrustedPrefix) || firstEnd == std::string_view::npos)
        return std::nullopt;
    std::string_view line = text.substr(firstEnd + 1);
    line = line.substr(0, line.find('\n'));
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    unsigned char raw[SecretKeyFileBytes];
    size_t length = 0;
    if (sodium_base642bin(raw, sizeof raw, line.data(), line.size(), nullptr, &length, nullptr,
                          sodium_base64_VARIANT_ORIGINAL) != 0 ||
        length != sizeof raw)
        return std::nullopt;
    const std::string_view algorithms(reinterpret_cast<const char*>(raw), 6);
    SealedSecretKey key;
    if (algorithms == std::string_view("EdScB2", 6))
        key.encrypted = true;
    else if (algorithms != std::string_view("Ed\0\0B2", 6))
        return std::nullopt;
    std::copy_n(raw + 6, key.salt.size(), key.salt.begin());
    key.opsLimit = littleEndian(raw + 38);
    key.memLimit = littleEndian(raw + 46);
    std::copy_n(raw + 54, key.sealed.size(), key.sealed.begin());
    return key;
}

updater::MinisignKey MinisignSecretKey::publicKey() const
{
    updater::MinisignKey key;
    key.id = id;
    std::copy_n(secret.begin() + 32, key.key.size(), key.key.begin());
    return key;
}

std::optional<MinisignSecretKey> openSecretKey(const SealedSecretKey& sealed, std::string_view password)
{
    if (sodium_init() < 0)
        return std::nullopt;
    std::array<unsigned char, 104> opened = sealed.sealed;
    if (sealed.encrypted) {
        std::array<unsigned char, 104> stream{};
        if (crypto_pwhash_scryptsalsa208sha256(stream.data(), stream.size(), password.data(), password.size(),
                                               sealed.salt.data(), sealed.opsLimit, sealed.memLimit) != 0)
            return std::nullopt;
        for (size_t i = 0; i < opened.size(); ++i)
            opened[i] ^= stream[i];
        sodium_memzero(stream.data(), stream.size());
    }
    MinisignSecretKey key;
    std::copy_n(opened.begin(), key.id.size(), key.id.begin());
    std::copy_n(opened.begin() + 8, key.secret.size(), key.secret.begin());
    if (sealed.encrypted) {
        // The checksum covers the algorithm, the id and the key: a wrong password garbles all three.
        unsigned char checksum[32];
        crypto_generichash_state state;
        crypto_generichash_init(&state, nullptr, 0, sizeof checksum);
        crypto_generichash_update(&state, bytesOf("Ed"), 2);
        crypto_generichash_update(&state, opened.data(), 72);
        crypto_generichash_final(&state, checksum, sizeof checksum);
        if (sodium_memcmp(checksum, opened.data() + 72, sizeof checksum) != 0)
            return std::nullopt;
    }
    // The key's own public half must follow from its seed, or signatures would verify with nothing.
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
    unsigned char secret[crypto_sign_SECRETKEYBYTES];
    crypto_sign_seed_keypair(publicKey, secret, key.secret.data());
    const bool whole = std::equal(publicKey, publicKey + sizeof publicKey, key.secret.begin() + 32);
    sodium_memzero(secret, sizeof secret);
    sodium_memzero(opened.data(), opened.size());
    if (!whole)
        return std::nullopt;
    return key;
}

std::string defaultTrustedComment(uint64_t timestamp, std::string_view fileName)
{
    return "timestamp:" + std::to_string(timestamp) + "\tfile:" + std::string(fileName) + "\thashed";
}

std::string signMinisign(const MinisignSecretKey& key, std::string_view message,
                         std::string_view trustedComment)
{
    if (sodium_init() < 0)
        return {};
    unsigned char prehash[crypto_generichash_BYTES_MAX];
    crypto_generichash(prehash, sizeof prehash, bytesOf(message), message.size(), nullptr, 0);
    unsigned char line[2 + 8 + crypto_sign_BYTES];
    std::memcpy(line, "ED", 2);
    std::copy(key.id.begin(), key.id.end(), line + 2);
    crypto_sign_detached(line + 10, nullptr, prehash, sizeof prehash, key.secret.data());

    std::string bound(reinterpret_cast<const char*>(line + 10), crypto_sign_BYTES);
    bound += trustedComment;
    unsigned char global[crypto_sign_BYTES];
    crypto_sign_detached(global, nullptr, bytesOf(bound), bound.size(), key.secret.data());

    return std::string(UntrustedPrefix) + "signature from minisign secret key\n" + base64(line, sizeof line) +
           "\ntrusted comment: " + std::string(trustedComment) + "\n" + base64(global, sizeof global) + "\n";
}

} // namespace patchtool
