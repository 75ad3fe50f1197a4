#include "ArchiveCheck.h"
#include "PatchTool.h"
#include "PatchTorrents.h"
#include "SeenArchives.h"
#include "SigningTime.h"
#include "patchtool/platform/ScratchFolder.h"

#include "fetch/SignedFetch.h"
#include "net/HttpClient.h"
#include "patch/Downloads.h"
#include "patch/PatchDownload.h"
#include "platform/AtomicFile.h"
#include "platform/FileOps.h"
#include "platform/PathText.h"
#include "platform/ProfileFile.h"
#include "platform/UpdaterError.h"
#include "share/TorrentCheck.h"
#include "trust/CommunityKey.h"
#include "trust/IntegrityLine.h"
#include "trust/Minisign.h"

#include <algorithm>
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
            if (key)
                checkSignature("list", m_request.list, *list, *key);
            const std::string copy = m_scratch.path() + "/list";
            updater::writeFileAtomically(copy, *list);
            const updater::ProfileFile listFile(copy);
            const std::vector<Slot> slots = readSlots(listFile);
            for (const Slot& slot : slots) {
                checkSlot(slot, key.has_value());
                ++checked;
            }
            for (const Problem& problem : slotLinesNeverRead(listFile, slots.size()))
                report(problem.subject, problem.text);
        }
        if (m_request.config)
            checkConfig(key);
        if (m_request.newOnly)
            m_seen.save();
        std::printf("%d slot%s checked, ", checked, checked == 1 ? "" : "s");
        if (m_skipped > 0)
            std::printf("%d seen before and skipped, ", m_skipped);
        if (m_problems == 0)
            std::printf("no problems\n");
        else
            std::printf("%d problem%s\n", m_problems, m_problems == 1 ? "" : "s");
        return m_problems == 0 ? ExitClean : ExitFound;
    }

private:
    // As the launcher: a signature that cannot be had reads as none, and one that verifies must
    // carry the time it was made.
    void checkSignature(const std::string& subject, const std::string& source, const std::string& document,
                        const updater::MinisignKey& key)
    {
        const std::string signature =
            fetch(updater::signatureAddress(source), updater::LargestSignature, "signature too large")
                .value_or("");
        const auto verdict = updater::verifyMinisign(key, signature, document);
        if (verdict.check != updater::SignatureCheck::Valid)
            report(subject, std::string(updater::signatureCause(verdict.check)));
        else if (const auto signedAt = updater::signedTimestamp(signature); !signedAt)
            report(subject, "signature without timestamp: sign with minisign's own trusted comment");
        else if (liesInFuture(*signedAt, secondsNow()))
            // Not a problem for this set (launchers take it), but for every list after it.
            std::printf("%s: %s\n", subject.c_str(), futureTimeWarning(*signedAt, secondsNow()).c_str());
    }

    void checkConfig(const std::optional<updater::MinisignKey>& key)
    {
        const std::optional<std::string> config =
            fetch(*m_request.config, updater::LargestConfiguration, "configuration larger than 1 MiB");
        if (!config) {
            report("config", "cannot be fetched: " + m_failure);
            return;
        }
        if (key)
            checkSignature("config", *m_request.config, *config, *key);
        const std::string copy = m_scratch.path() + "/config";
        updater::writeFileAtomically(copy, *config);
        const std::string patchList = updater::ProfileFile(copy).readString("Main", "Patch_List", "");
        if (patchList.empty())
            report("config", "no Patch_List under [Main]: the launcher would download no patch");
        else if (isAddress(m_request.list) && patchList != m_request.list)
            report("config", "Patch_List names " + patchList + ", not the list checked");
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
            switch (updater::readFileUpTo(source, bytes, largest)) {
            case updater::OwnFileRead::Read:
                return bytes;
            case updater::OwnFileRead::TooLarge:
                m_failure = tooLarge;
                break;
            case updater::OwnFileRead::Missing:
                m_failure = "no such file";
                break;
            case updater::OwnFileRead::NotAFile:
                m_failure = "not a file";
                break;
            case updater::OwnFileRead::Failed:
                m_failure = "cannot be read";
                break;
            }
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

    // A slot is the one seen before only with the same integrity line and the same torrent pin.
    std::string seenEntry(const Slot& slot) const
    {
        const std::string lines =
            slot.torrentPin.empty() ? slot.integrity : slot.integrity + " torrent " + slot.torrentPin;
        return m_request.archiveFolder
                   ? SeenArchives::fromFile(pathIn(*m_request.archiveFolder, slot.documentName), lines)
                   : SeenArchives::fromAddress(slot.address, lines);
    }

    void checkSlot(const Slot& slot, bool keyGiven)
    {
        // Only an integrity line says that the archive is the one seen before.
        const bool remembered = m_request.newOnly && !slot.integrity.empty() && !slot.documentName.empty();
        if (remembered && m_seen.contains(seenEntry(slot))) {
            ++m_skipped;
            return;
        }
        const int problemsBefore = m_problems;
        checkArchive(slot, keyGiven);
        if (remembered && m_problems == problemsBefore)
            m_seen.add(seenEntry(slot));
    }

    void checkArchive(const Slot& slot, bool keyGiven)
    {
        const std::optional<std::string> archive = archiveOf(slot);
        if (!archive) {
            if (!slot.torrentPin.empty())
                checkTorrent(slot, std::nullopt);
            return;
        }
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
        for (const std::string& problem : checkPatchArchive(*archive))
            report(slot.key, problem);
        if (!slot.torrentPin.empty())
            checkTorrent(slot, archive);
        if (!m_request.archiveFolder)
            updater::removeFile(*archive);
    }

    // The slot's torrent as the launcher takes it: "<address>.torrent", pinned by the list, one file
    // of the download's name and the integrity line's size, and (with the archive at hand) pieces
    // of the archive's bytes; and, beyond the launcher's checks, the slot's own address among its
    // web seeds, so that the torrent is never worse than HTTP.
    void checkTorrent(const Slot& slot, const std::optional<std::string>& archive)
    {
        if (!updater::isTorrentPin(slot.torrentPin)) {
            report(slot.key, "torrent pin malformed");
            return;
        }
        const std::optional<updater::FileDigest> expected = updater::parseIntegrityLine(slot.integrity);
        if (!expected) {
            // A malformed line is named with the archive.
            if (slot.integrity.empty())
                report(slot.key,
                       "torrent without an integrity line: the launcher shares only a slot with one");
            return;
        }
        std::optional<std::string> torrent;
        if (const auto folder = m_request.torrentFolder ? m_request.torrentFolder : m_request.archiveFolder) {
            const std::string path = pathIn(*folder, slot.documentName + ".torrent");
            torrent = fetch(path, updater::LargestTorrent, "torrent larger than 4 MiB");
            if (!torrent) {
                report(slot.key, (updater::fileExists(path) ? "torrent cannot be read: " + m_failure
                                                            : "torrent missing: " + path));
                return;
            }
        } else {
            torrent = fetch(slot.address + ".torrent", updater::LargestTorrent, "torrent larger than 4 MiB");
            if (!torrent) {
                report(slot.key, "torrent cannot be downloaded: " + m_failure);
                return;
            }
        }
        const std::string fileName = updater::downloadFileName(slot.address);
        const auto fault = updater::torrentFault(*torrent, slot.torrentPin, fileName, expected->size);
        if (fault == updater::TorrentFault::OtherFile) {
            const auto facts = updater::readTorrentFacts(*torrent);
            std::string names;
            for (const std::string& name : facts->fileNames)
                names += (names.empty() ? "" : ", ") + name;
            report(slot.key, std::string(updater::torrentFaultText(*fault)) + ": " + names + " of " +
                                 std::to_string(facts->size) + " bytes, not " + fileName + " of " +
                                 std::to_string(expected->size) + " bytes");
            return;
        }
        if (fault) {
            report(slot.key, updater::torrentFaultText(*fault));
            return;
        }
        const auto facts = updater::readTorrentFacts(*torrent);
        if (std::find(facts->webSeeds.begin(), facts->webSeeds.end(), slot.address) == facts->webSeeds.end())
            report(slot.key, "torrent has no web seed at the slot's address");
        // Only the archive of the integrity line's size can be compared piece by piece.
        if (archive && updater::regularFileSize(*archive) == expected->size)
            if (const auto differ = piecesDiffer(*torrent, *archive))
                report(slot.key, std::string(updater::torrentFaultText(updater::TorrentFault::OtherFile)) +
                                     ": " + *differ);
    }

    const CheckRequest& m_request;
    updater::HttpClient m_http;
    ScratchFolder m_scratch{"tarvo-patchtool"};
    SeenArchives m_seen;
    std::string m_failure;
    int m_problems = 0;
    int m_skipped = 0;
};

} // namespace

int checkPatchSet(const CheckRequest& request, const std::optional<updater::MinisignKey>& key)
{
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

int checkPatchSet(const CheckRequest& request)
{
    std::optional<updater::MinisignKey> key;
    if (request.keyFile) {
        std::string text;
        // A minisign public key file is a few lines.
        if (updater::readFileUpTo(*request.keyFile, text, 64 * 1024) != updater::OwnFileRead::Read) {
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
    return checkPatchSet(request, key);
}

} // namespace patchtool
