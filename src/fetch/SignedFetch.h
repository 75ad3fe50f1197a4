#pragma once

#include "trust/CommunityKey.h"

#include <cstddef>
#include <optional>
#include <string>

namespace updater {

class HttpClient;

// What the launcher reads whole into memory, and the most of each it takes: a patch list names
// archives and a configuration holds a few settings, so anything near these sizes is not one.
constexpr size_t LargestPatchList = 16 * 1024 * 1024;
constexpr size_t LargestConfiguration = 1024 * 1024;
constexpr size_t LargestSignature = 64 * 1024;

// The body of `address`, read whole. A body over `largest` bytes fails with UpdaterError(tooLarge)
// as soon as it is known to be one; other failures throw as HttpClient::get does.
std::string fetchCapped(HttpClient& http, const std::string& address, size_t largest,
                        const std::string& tooLarge);

struct SignedDocument
{
    std::string body;
    std::string signature; // empty without the community's key, or when none could be had
    // Why the document is not to be trusted: the signature's problem with the community's key
    // ("no signature", "signature not valid", ...); nothing without the key or when it verifies.
    std::optional<std::string> problem;
};

// What a fetched document must not be older than: the signature of the one in use (its text, empty
// for none) and the cause that refuses an older one ("list older than the one in use").
struct DocumentInUse
{
    std::string signature;
    std::string olderCause;
};

// The document at `address` (see fetchCapped) and, with the community's key, its signature at
// signatureAddress(address): one that cannot be had, or is over LargestSignature, reads as none.
// A signature that verifies must also carry minisign's "timestamp:" in its trusted comment, and
// that time must be later than the one in use (or the same, for the very document in use): a
// replayed older document would roll players back.
SignedDocument fetchSigned(HttpClient& http, const CommunityKey& key, const std::string& address,
                           size_t largest, const std::string& tooLarge, const DocumentInUse& inUse);

// The signature kept beside a document in use (`documentPath` + ".minisig"): its text, or empty.
std::string signatureInUse(const std::string& documentPath);

} // namespace updater
