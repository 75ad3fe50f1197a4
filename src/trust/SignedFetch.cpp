#include "trust/SignedFetch.h"

#include "net/HttpClient.h"
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

SignedDocument fetchSigned(HttpClient& http, const CommunityKey& key, const std::string& address,
                           size_t largest, const std::string& tooLarge)
{
    SignedDocument document;
    document.body = fetchCapped(http, address, largest, tooLarge);
    if (key.state == CommunityKey::Absent)
        return document;
    try {
        document.signature =
            fetchCapped(http, signatureAddress(address), LargestSignature, "signature too large");
    } catch (...) {
        document.signature.clear();
    }
    document.problem = signatureProblem(key, document.body, document.signature);
    return document;
}

} // namespace updater
