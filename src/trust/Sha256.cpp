#include "trust/Sha256.h"

#include "platform/FileOps.h"

#include <sodium.h>

namespace updater {

namespace {

std::string hexOf(const unsigned char (&hash)[crypto_hash_sha256_BYTES])
{
    char hex[2 * sizeof hash + 1];
    sodium_bin2hex(hex, sizeof hex, hash, sizeof hash);
    return hex;
}

} // namespace

std::string sha256Hex(std::string_view bytes)
{
    [[maybe_unused]] static const int ready = sodium_init();
    unsigned char hash[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(hash, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    return hexOf(hash);
}

std::optional<FileDigest> digestFile(const std::string& path, const StopFlag* stop)
{
    [[maybe_unused]] static const int ready = sodium_init();
    crypto_hash_sha256_state state;
    crypto_hash_sha256_init(&state);
    const std::optional<uint64_t> size = readFileInPieces(path, stop, [&](const char* data, size_t size) {
        crypto_hash_sha256_update(&state, reinterpret_cast<const unsigned char*>(data), size);
    });
    if (!size)
        return std::nullopt;
    unsigned char hash[crypto_hash_sha256_BYTES];
    crypto_hash_sha256_final(&state, hash);
    return FileDigest{*size, hexOf(hash)};
}

} // namespace updater
