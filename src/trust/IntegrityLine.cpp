#include "trust/IntegrityLine.h"

#include "platform/FileOps.h"
#include "platform/StopFlag.h"

#include <charconv>

namespace updater {

namespace {

constexpr std::string_view Blanks = " \t";

char lowerHexDigit(char c)
{
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))
        return c;
    if (c >= 'A' && c <= 'F')
        return static_cast<char>(c - 'A' + 'a');
    return 0;
}

} // namespace

std::optional<FileDigest> parseIntegrityLine(std::string_view line)
{
    const auto first = line.find_first_not_of(Blanks);
    if (first == std::string_view::npos)
        return std::nullopt;
    line = line.substr(first, line.find_last_not_of(Blanks) - first + 1);
    const auto gap = line.find_first_of(Blanks);
    if (gap == std::string_view::npos)
        return std::nullopt;
    const std::string_view sizeText = line.substr(0, gap);
    const std::string_view hex = line.substr(line.find_first_not_of(Blanks, gap));

    FileDigest digest;
    // from_chars takes no sign for an unsigned type and reports a value beyond 64 bits.
    const auto [end, error] =
        std::from_chars(sizeText.data(), sizeText.data() + sizeText.size(), digest.size);
    if (error != std::errc() || end != sizeText.data() + sizeText.size())
        return std::nullopt;
    if (hex.size() != 64)
        return std::nullopt;
    for (char c : hex) {
        const char lower = lowerHexDigit(c);
        if (!lower)
            return std::nullopt;
        digest.sha256 += lower;
    }
    return digest;
}

std::string formatIntegrityLine(const FileDigest& digest)
{
    return std::to_string(digest.size) + ' ' + digest.sha256;
}

IntegrityCheck checkFileIntegrity(const std::string& path, const FileDigest& expected, const StopFlag* stop)
{
    if (const auto size = regularFileSize(path); size && *size != expected.size)
        return IntegrityCheck::SizeDiffers;
    const auto actual = digestFile(path, stop);
    if (!actual)
        return stop && stop->requested() ? IntegrityCheck::Stopped : IntegrityCheck::Unreadable;
    // The file may have changed since stat().
    if (actual->size != expected.size)
        return IntegrityCheck::SizeDiffers;
    return actual->sha256 == expected.sha256 ? IntegrityCheck::Matches : IntegrityCheck::ChecksumDiffers;
}

std::string_view integrityCause(IntegrityCheck check)
{
    switch (check) {
    case IntegrityCheck::Matches:
        return {};
    case IntegrityCheck::SizeDiffers:
        return "size does not match";
    case IntegrityCheck::ChecksumDiffers:
        return "checksum does not match";
    case IntegrityCheck::Unreadable:
        return "file cannot be read";
    case IntegrityCheck::Stopped:
        return "stopped";
    }
    return {};
}

} // namespace updater
