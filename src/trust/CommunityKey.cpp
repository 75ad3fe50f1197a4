#include "trust/CommunityKey.h"

#include "platform/AtomicFile.h"
#include "platform/FileOps.h"
#include "platform/GamePath.h"

namespace updater {

CommunityKey loadCommunityKey()
{
    std::string text;
    const std::string path = resolveGamePath(updaterFolderPath("patchlist.pub"));
    // Only nothing at all means no key: whatever else stands there (a folder, a link leading
    // nowhere, an unreadable file) must not turn the checks off.
    if (entryKind(path) == EntryKind::Nothing)
        return {};
    CommunityKey result;
    const std::optional<MinisignKey> key =
        readWholeFile(path, text) ? parseMinisignKeyFile(text) : std::nullopt;
    result.state = key ? CommunityKey::Valid : CommunityKey::Malformed;
    if (key)
        result.key = *key;
    return result;
}

std::optional<std::string> signatureProblem(const CommunityKey& key, std::string_view document,
                                            std::string_view signature)
{
    if (key.state == CommunityKey::Malformed)
        return "key file malformed";
    const SignatureVerdict verdict = verifyMinisign(key.key, signature, document);
    if (verdict.check == SignatureCheck::Valid)
        return std::nullopt;
    return std::string(signatureCause(verdict.check));
}

std::string signatureAddress(const std::string& address)
{
    return address + ".minisig";
}

} // namespace updater
