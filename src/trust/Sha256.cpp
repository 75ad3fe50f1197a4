#include "trust/Sha256.h"

#include "platform/StopFlag.h"

#include <sodium.h>

#include <cstdio>
#include <memory>

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
    const std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        return std::nullopt;
    crypto_hash_sha256_state state;
    crypto_hash_sha256_init(&state);
    FileDigest digest;
    unsigned char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        if (stop && stop->requested())
            return std::nullopt;
        crypto_hash_sha256_update(&state, buffer, n);
        digest.size += n;
    }
    if (std::ferror(file.get()))
        return std::nullopt;
    unsigned char hash[crypto_hash_sha256_BYTES];
    crypto_hash_sha256_final(&state, hash);
    digest.sha256 = hexOf(hash);
    return digest;
}

} // namespace updater
