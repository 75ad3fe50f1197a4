#include "PatchTool.h"

#include "net/HttpClient.h"
#include "patch/ArchiveCheck.h"
#include "patch/PatchDownload.h"
#include "platform/AtomicFile.h"
#include "platform/FileOps.h"
#include "platform/PathText.h"
#include "platform/ProfileFile.h"
#include "platform/UpdaterError.h"
#include "trust/CommunityKey.h"
#include "trust/IntegrityLine.h"
#include "trust/Minisign.h"
#include "trust/SignedFetch.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace patchtool {

namespace {

bool isAddress(const std::string& list)
{
    const std::string lower = updater::lowerAscii(list);
    return lower.starts_with("http://") || lower.starts_with("https://");
}

class PatchSetCheck
{
public:
    explicit PatchSetCheck(const CheckRequest& request) : m_request(request) {}

    int run(const std::optional<updater::MinisignKey>& key)
    {
        int checked = 0;
        const std::optional<std::string> list =
            fetch(m_request.list, updater::LargestPatchList, "list larger than 16 MiB");
        if (!list) {
            report("list", "cannot be fetched: " + m_failure);
        } else {
            if (key) {
                // As the launcher: a signature that cannot be had reads as none.
                const std::string signature = fetch(updater::signatureAddress(m_request.list),
                                                    updater::LargestSignature, "signature too large")
                                                  .value_or("");
                const auto verdict = updater::verifyMinisign(*key, signature, *list);
                if (verdict.check != updater::SignatureCheck::Valid)
                    report("list", std::string(updater::signatureCause(verdict.check)));
            }
            const std::string copy = m_scratch.path() + "/list";
            updater::writeFileAtomically(copy, *list);
            const std::vector<Slot> slots = readSlots(updater::ProfileFile(copy));
            for (const Slot& slot : slots) {
                checkSlot(slot, key.has_value());
                ++checked;
            }
            for (const auto& [subject, problem] : slotLinesNeverRead(*list, slots.size()))
                report(subject, problem);
        }
        std::printf("%d slot%s checked, ", checked, checked == 1 ? "" : "s");
        if (m_problems == 0)
            std::printf("no problems\n");
        else
            std::printf("%d problem%s\n", m_problems, m_problems == 1 ? "" : "s");
        return m_problems == 0 ? ExitClean : ExitFound;
    }

private:
    // Slot lines the launcher never reads: after a gap in the numbering (it stops at the first
    // missing slot), or with an address under [Integrity] (written after that section).
    static std::vector<std::pair<std::string, std::string>> slotLinesNeverRead(const std::string& list,
                                                                               size_t slotsRead)
    {
        std::vector<std::pair<std::string, std::string>> found;
        std::string section;
        for (size_t at = 0; at < list.size();) {
            const size_t end = std::min(list.find('\n', at), list.size());
            const std::string line(updater::trimBlanks(std::string_view(list).substr(at, end - at), " \t\r"));
            at = end + 1;
            if (line.starts_with('[') && line.ends_with(']')) {
                section = updater::lowerAscii(line.substr(1, line.size() - 2));
                continue;
            }
            const size_t equals = line.find('=');
            const std::string key =
                updater::lowerAscii(std::string(updater::trimBlanks(line.substr(0, equals), " \t")));
            if (equals == std::string::npos || !key.starts_with("update_"))
                continue;
            const std::string value(updater::trimBlanks(line.substr(equals + 1), " \t"));
            const std::string name = "Update_" + key.substr(7);
            size_t number = 0;
            const auto [rest, error] = std::from_chars(key.data() + 7, key.data() + key.size(), number);
            if (error != std::errc() || rest != key.data() + key.size())
                continue;
            if (section == "updates" && number > slotsRead + 1)
                found.push_back({name, "never read: the slots stop at Update_" + std::to_string(slotsRead)});
            else if (section == "integrity" && value.find("://") != std::string::npos)
                found.push_back({name, "an address under [Integrity]: slot lines belong under [Updates]"});
        }
        return found;
    }

    void report(const std::string& subject, const std::string& problem)
    {
        std::printf("%s: %s\n", subject.c_str(), problem.c_str());
        ++m_problems;
    }

    // A file's bytes, or the body of an address; nothing (and m_failure says why) when it cannot be
    // had.
    std::optional<std::string> fetch(const std::string& source, size_t largest, const char* tooLarge)
    {
        std::string bytes;
        if (!isAddress(source)) {
            if (updater::readWholeFile(source, bytes) && bytes.size() <= largest)
                return bytes;
            m_failure = updater::fileExists(source) ? tooLarge : "no such file";
            return std::nullopt;
        }
        try {
            return updater::fetchCapped(m_http, source, largest, tooLarge);
        } catch (const std::exception& error) {
            m_failure = failureCause(error);
            return std::nullopt;
        }
    }

    std::string failureCause(const std::exception& error) const
    {
        const updater::HttpClient::Failure failure = m_http.lastFailure();
        return failure.failed() ? failure.cause : error.what();
    }

    // Where the slot's archive is to be read, or nothing when it cannot be had.
    std::optional<std::string> archiveOf(const Slot& slot)
    {
        if (slot.documentName.empty()) {
            // The launcher counts such a slot as applied and never downloads it.
            report(slot.key, "address names no file");
            return std::nullopt;
        }
        if (m_request.archiveFolder) {
            const std::string path = pathIn(*m_request.archiveFolder, slot.documentName);
            if (updater::fileExists(path))
                return path;
            report(slot.key, "archive missing: " + path);
            return std::nullopt;
        }
        const std::string path = m_scratch.path() + "/" + slot.key + ".rar";
        try {
            updater::downloadToFile(m_http, slot.address, path);
            return path;
        } catch (const std::exception& error) {
            report(slot.key, "cannot be downloaded: " + failureCause(error));
            return std::nullopt;
        }
    }

    void checkSlot(const Slot& slot, bool keyGiven)
    {
        const std::optional<std::string> archive = archiveOf(slot);
        if (!archive)
            return;
        if (!slot.integrity.empty()) {
            const auto expected = updater::parseIntegrityLine(slot.integrity);
            const auto check = expected ? updater::checkFileIntegrity(*archive, *expected)
                                        : updater::IntegrityCheck::Matches;
            if (!expected)
                report(slot.key, "integrity line malformed");
            else if (check == updater::IntegrityCheck::SizeDiffers)
                report(slot.key, std::string(updater::integrityCause(check)) + ": the line says " +
                                     std::to_string(expected->size) + " bytes, the archive has " +
                                     std::to_string(updater::regularFileSize(*archive).value_or(0)));
            else if (check != updater::IntegrityCheck::Matches)
                report(slot.key, std::string(updater::integrityCause(check)));
        } else if (keyGiven) {
            report(slot.key, "no integrity line");
        }
        for (const std::string& problem : updater::checkPatchArchive(*archive))
            report(slot.key, problem);
        if (!m_request.archiveFolder)
            updater::removeFile(*archive);
    }

    const CheckRequest& m_request;
    updater::HttpClient m_http;
    updater::ScratchFolder m_scratch{"tarvo-patchtool"};
    std::string m_failure;
    int m_problems = 0;
};

} // namespace

int checkPatchSet(const CheckRequest& request)
{
    std::optional<updater::MinisignKey> key;
    if (request.keyFile) {
        std::string text;
        if (!updater::readWholeFile(*request.keyFile, text)) {
            std::fprintf(stderr, "tarvo-patchtool: cannot read %s\n", request.keyFile->c_str());
            return ExitUsage;
        }
        key = updater::parseMinisignKeyFile(text);
        if (!key) {
            std::fprintf(stderr, "tarvo-patchtool: %s is not a minisign public key file\n",
                         request.keyFile->c_str());
            return ExitUsage;
        }
    }
    if (request.archiveFolder && !updater::directoryExists(*request.archiveFolder)) {
        std::fprintf(stderr, "tarvo-patchtool: no folder %s\n", request.archiveFolder->c_str());
        return ExitUsage;
    }
    try {
        PatchSetCheck check(request);
        return check.run(key);
    } catch (const std::exception& error) {
        // Only the scratch folder can fail like this: a full or read-only temporary folder.
        std::fprintf(stderr, "tarvo-patchtool: %s\n", error.what());
        return ExitUsage;
    }
}

} // namespace patchtool
