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
            for (const Slot& slot : readSlots(updater::ProfileFile(copy))) {
                checkSlot(slot, key.has_value());
                ++checked;
            }
        }
        std::printf("%d slot%s checked, ", checked, checked == 1 ? "" : "s");
        if (m_problems == 0)
            std::printf("no problems\n");
        else
            std::printf("%d problem%s\n", m_problems, m_problems == 1 ? "" : "s");
        return m_problems == 0 ? ExitClean : ExitFound;
    }

private:
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
        if (updater::readWholeFile(*request.keyFile, text))
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
