#include "fetch/SignedFetch.h"

#include "net/HttpClient.h"
#include "platform/FileOps.h"
#include "platform/UpdaterError.h"

namespace updater {

std::string fetchCapped(HttpClient& http, const std::string& address, size_t largest,
                        const std::string& tooLarge)
{
    std::string body;
    http.get(address, [&](const char* data, size_t size) {
        if (body.size() + size > largest)
            throw UpdaterError(tooLarge);
        body.append(data, size);
    });
    return body;
}

namespace {

// A document signed in the same second as the one in use is taken only when it is that very
// document (the signature in use covers it): two lists signed in one second could otherwise be
// swapped back and forth.
bool isNewerOrSame(uint64_t signedAt, uint64_t inUseAt, const CommunityKey& key, std::string_view body,
                   std::string_view signatureInUse)
{
    if (signedAt != inUseAt)
        return signedAt > inUseAt;
    return !signatureProblem(key, body, signatureInUse);
}

} // namespace

SignedDocument fetchSigned(HttpClient& http, const CommunityKey& key, const std::string& address,
                           size_t largest, const std::string& tooLarge, const DocumentInUse& inUse)
{
    SignedDocument document;
    document.body = fetchCapped(http, address, largest, tooLarge);
    if (key.state == CommunityKey::Absent)
        return document;
    bool signatureTooLarge = false;
    try {
        document.signature =
            fetchCapped(http, signatureAddress(address), LargestSignature, "signature too large");
    } catch (...) {
        document.signature.clear();
        signatureTooLarge = http.lastFailure().kind == HttpClient::Failure::Kind::Local;
    }
    // No signature file is that large: saying there is none would send the community looking for
    // a missing file.
    document.problem =
        signatureTooLarge ? "signature too large" : signatureProblem(key, document.body, document.signature);
    if (document.problem)
        return document;
    const std::optional<uint64_t> signedAt = signedTimestamp(document.signature);
    const std::optional<uint64_t> inUseAt = signedTimestamp(inUse.signature);
    if (!signedAt)
        document.problem = "signature without timestamp";
    else if (inUseAt && !isNewerOrSame(*signedAt, *inUseAt, key, document.body, inUse.signature))
        document.problem = inUse.olderCause;
    return document;
}

std::string signatureInUse(const std::string& documentPath)
{
    std::string signature;
    if (readOwnFile(signatureAddress(documentPath), signature, LargestSignature) != OwnFileRead::Read)
        signature.clear();
    return signature;
}

} // namespace updater
