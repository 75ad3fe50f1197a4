#include "trust/Minisign.h"

#include <sodium.h>

#include <algorithm>
#include <cstdint>

namespace updater {

namespace {

constexpr std::string_view UntrustedPrefix = "untrusted comment: ";
constexpr std::string_view TrustedPrefix = "trusted comment: ";

constexpr size_t KeyBytes = 2 + 8 + crypto_sign_PUBLICKEYBYTES;
constexpr size_t SignatureBytes = 2 + 8 + crypto_sign_BYTES;

constexpr size_t base64Length(size_t bytes)
{
    return (bytes + 2) / 3 * 4;
}

// minisign reads each line with fgets() into a buffer of its own size: the comments get fixed
// sizes, a base64 line room for its text, "\r\n" and the NUL. A longer line is cut there and its
// rest read as the next line, so reading the same way judges odd files alike.
constexpr size_t CommentCapacity = 1024;
constexpr size_t TrustedCommentCapacity = 8192;

constexpr size_t base64LineCapacity(size_t bytes)
{
    return base64Length(bytes) + 3;
}

class LineReader
{
public:
    explicit LineReader(std::string_view text) : m_rest(text) {}

    // At most capacity - 1 bytes, up to and with the first '\n'; nothing at the end of the text.
    std::optional<std::string_view> next(size_t capacity)
    {
        if (m_rest.empty())
            return std::nullopt;
        const size_t end = std::min(m_rest.find('\n'), capacity - 2) + 1;
        const std::string_view line = m_rest.substr(0, end);
        m_rest.remove_prefix(line.size());
        return line;
    }

private:
    std::string_view m_rest;
};

struct Line
{
    std::string_view text;
    bool whole = false; // ended by its '\n', not by the buffer or a NUL
};

// As minisign sees a line: as a C string, ending at the first NUL, and then at the first '\r' or
// '\n'. It was whole when a '\n' came before any NUL.
Line asMinisignSees(std::string_view line)
{
    line = line.substr(0, line.find('\0'));
    return {line.substr(0, line.find_first_of("\r\n")), !line.empty() && line.back() == '\n'};
}

int base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

// Standard base64 of exactly `size` bytes, padded with '=', no blanks. Unlike libsodium's decoder,
// minisign ignores the unused low bits of the last character, and so must we.
bool decodeBase64(std::string_view text, unsigned char* out, size_t size)
{
    if (text.size() != base64Length(size))
        return false;
    const size_t padding = (3 - size % 3) % 3;
    if (text.substr(text.size() - padding) != std::string_view("==", padding))
        return false;
    size_t written = 0;
    std::uint32_t bits = 0;
    int pending = 0;
    for (char c : text.substr(0, text.size() - padding)) {
        const int value = base64Value(c);
        if (value < 0)
            return false;
        bits = bits << 6 | static_cast<std::uint32_t>(value);
        pending += 6;
        if (pending >= 8) {
            pending -= 8;
            out[written++] = static_cast<unsigned char>(bits >> pending);
        }
    }
    return written == size;
}

const unsigned char* bytesOf(std::string_view text)
{
    return reinterpret_cast<const unsigned char*>(text.data());
}

} // namespace

std::optional<MinisignKey> parseMinisignKey(std::string_view base64)
{
    unsigned char raw[KeyBytes];
    if (!decodeBase64(base64, raw, sizeof raw) ||
        std::string_view(reinterpret_cast<const char*>(raw), 2) != "Ed")
        return std::nullopt;
    MinisignKey key;
    std::copy_n(raw + 2, key.id.size(), key.id.begin());
    std::copy_n(raw + 2 + key.id.size(), key.key.size(), key.key.begin());
    return key;
}

std::optional<MinisignKey> parseMinisignKeyFile(std::string_view text)
{
    LineReader lines(text);
    const auto comment = lines.next(CommentCapacity);
    const auto keyLine = lines.next(base64LineCapacity(KeyBytes));
    if (!comment || !keyLine)
        return std::nullopt;
    return parseMinisignKey(asMinisignSees(*keyLine).text);
}

SignatureVerdict verifyMinisign(const MinisignKey& key, std::string_view signatureFile,
                                std::string_view message)
{
    [[maybe_unused]] static const int ready = sodium_init();
    if (signatureFile.empty())
        return {SignatureCheck::NoSignature, {}};
    const SignatureVerdict malformed{SignatureCheck::Malformed, {}};

    LineReader lines(signatureFile);
    const auto untrustedLine = lines.next(CommentCapacity);
    const auto signatureLine = lines.next(base64LineCapacity(SignatureBytes));
    const auto trustedLine = lines.next(TrustedCommentCapacity);
    const auto globalLine = lines.next(base64LineCapacity(crypto_sign_BYTES));
    if (!untrustedLine || !signatureLine || !trustedLine || !globalLine)
        return malformed;
    const Line untrusted = asMinisignSees(*untrustedLine);
    const Line signature = asMinisignSees(*signatureLine);
    const Line trusted = asMinisignSees(*trustedLine);
    // minisign does not ask whether the last line was whole.
    if (!untrusted.whole || !untrusted.text.starts_with(UntrustedPrefix) || !signature.whole ||
        !trusted.whole || !trusted.text.starts_with(TrustedPrefix))
        return malformed;

    unsigned char raw[SignatureBytes];
    unsigned char global[crypto_sign_BYTES];
    if (!decodeBase64(signature.text, raw, sizeof raw) ||
        !decodeBase64(asMinisignSees(*globalLine).text, global, sizeof global))
        return malformed;
    const std::string_view algorithm(reinterpret_cast<const char*>(raw), 2);
    if (algorithm != "Ed" && algorithm != "ED")
        return malformed;
    if (!std::equal(key.id.begin(), key.id.end(), raw + 2))
        return {SignatureCheck::OtherKey, {}};

    const unsigned char* ed25519 = raw + 2 + key.id.size();
    unsigned char prehash[crypto_generichash_BYTES_MAX];
    std::string_view signedBytes = message;
    if (algorithm == "ED") {
        crypto_generichash(prehash, sizeof prehash, bytesOf(message), message.size(), nullptr, 0);
        signedBytes = std::string_view(reinterpret_cast<const char*>(prehash), sizeof prehash);
    }
    if (crypto_sign_verify_detached(ed25519, bytesOf(signedBytes), signedBytes.size(), key.key.data()) != 0)
        return {SignatureCheck::NotValid, {}};

    // The global signature binds the trusted comment to this signature.
    const std::string_view comment = trusted.text.substr(TrustedPrefix.size());
    std::string bound(reinterpret_cast<const char*>(ed25519), crypto_sign_BYTES);
    bound += comment;
    if (crypto_sign_verify_detached(global, bytesOf(bound), bound.size(), key.key.data()) != 0)
        return {SignatureCheck::NotValid, {}};
    return {SignatureCheck::Valid, std::string(comment)};
}

std::string_view signatureCause(SignatureCheck check)
{
    switch (check) {
    case SignatureCheck::Valid:
        return {};
    case SignatureCheck::NoSignature:
        return "no signature";
    case SignatureCheck::Malformed:
        return "signature malformed";
    case SignatureCheck::OtherKey:
        return "signed with another key";
    case SignatureCheck::NotValid:
        return "signature not valid";
    }
    return {};
}

} // namespace updater
