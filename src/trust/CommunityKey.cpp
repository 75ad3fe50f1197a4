#include "trust/CommunityKey.h"

#include "platform/AtomicFile.h"
#include "platform/FileOps.h"
#include "platform/GamePath.h"

#include <algorithm>
#include <charconv>

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

std::optional<uint64_t> signedTimestamp(std::string_view signatureFile)
{
    constexpr std::string_view TrustedLine = "\ntrusted comment: ";
    const size_t line = signatureFile.find(TrustedLine);
    if (line == std::string_view::npos)
        return std::nullopt;
    std::string_view comment = signatureFile.substr(line + TrustedLine.size());
    comment = comment.substr(0, comment.find_first_of("\r\n"));
    // Fields are separated by tabs (minisign's own) or blanks.
    for (size_t at = 0; at < comment.size();) {
        const size_t end = std::min(comment.find_first_of("\t ", at), comment.size());
        const std::string_view field = comment.substr(at, end - at);
        constexpr std::string_view Key = "timestamp:";
        if (field.starts_with(Key)) {
            uint64_t value = 0;
            const std::string_view digits = field.substr(Key.size());
            const auto [rest, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
            if (error == std::errc() && rest == digits.data() + digits.size() && !digits.empty())
                return value;
            return std::nullopt;
        }
        at = end + 1;
    }
    return std::nullopt;
}

std::string signatureAddress(const std::string& address)
{
    return address + ".minisig";
}

} // namespace updater
