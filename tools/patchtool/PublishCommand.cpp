#include "PatchTool.h"
#include "SigningTime.h"

#include "net/HttpClient.h"
#include "platform/AtomicFile.h"
#include "platform/FileOps.h"
#include "platform/PathText.h"
#include "platform/ProfileFile.h"
#include "platform/TerminalInput.h"
#include "trust/CommunityKey.h"
#include "trust/IntegrityLine.h"
#include "trust/MinisignSigning.h"
#include "trust/Sha256.h"

#include <cctype>
#include <cstdio>
#include <exception>
#include <set>

namespace patchtool {

namespace {

std::string fileNameOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Names that stand in an address as they are, so that the launcher's document name is the file's.
bool isPlainName(const std::string& name)
{
    if (name.empty() || name.starts_with('.'))
        return false;
    for (const char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.'))
            return false;
    return true;
}

// Where the existing slots' archives lie: the last slot's address up to its document name.
std::string baseOfSlots(const std::vector<Slot>& slots)
{
    if (slots.empty())
        return {};
    const std::string& address = slots.back().address;
    const size_t query = address.find_first_of("?#");
    const size_t slash = address.rfind('/', query == std::string::npos ? address.size() : query);
    return slash == std::string::npos ? std::string() : address.substr(0, slash + 1);
}

class Publication
{
public:
    explicit Publication(const PublishRequest& request) : m_request(request) {}

    int run()
    {
        std::string listBytes;
        if (!updater::readWholeFile(m_request.list, listBytes))
            return usage("cannot read " + m_request.list);
        if (!updater::directoryExists(m_request.archiveFolder))
            return usage("no folder " + m_request.archiveFolder);
        std::string keyText;
        if (!updater::readWholeFile(m_request.secretKeyFile, keyText))
            return usage("cannot read " + m_request.secretKeyFile);
        const auto sealedKey = updater::parseMinisignSecretKeyFile(keyText);
        if (!sealedKey)
            return usage(m_request.secretKeyFile + " is not a minisign secret key file");
        std::string configBytes;
        if (m_request.config && !updater::readWholeFile(*m_request.config, configBytes))
            return usage("cannot read " + *m_request.config);

        // Everything is prepared in a scratch copy; the working folder changes only when the
        // result passes the check.
        const std::string listCopy = m_scratch.path() + "/" + fileNameOf(m_request.list);
        updater::writeFileAtomically(listCopy, listBytes);
        updater::ProfileFile list(listCopy);
        const std::vector<Slot> slots = readSlots(list);
        const std::vector<Problem> unread = slotLinesNeverRead(listBytes, slots.size());
        for (const Problem& problem : unread)
            std::printf("%s: %s\n", problem.subject.c_str(), problem.text.c_str());
        if (!unread.empty())
            return refuse("mend these lines of the list first");

        if (!addNewSlots(list, slots) || !writeIntegrityLines(list))
            return refuse("nothing published");

        std::optional<updater::MinisignKey> publicKey;
        std::string configCopy;
        if (m_request.config) {
            configCopy = m_scratch.path() + "/" + fileNameOf(*m_request.config);
            updater::writeFileAtomically(configCopy, configBytes);
        }
        if (!m_request.dryRun) {
            const auto key = openKey(*sealedKey);
            if (!key)
                return refuse("the secret key does not open with that password");
            publicKey = key->publicKey();
            sign(*key, listCopy, m_request.list);
            if (m_request.config)
                sign(*key, configCopy, *m_request.config);
        }

        CheckRequest check{listCopy, std::nullopt, m_request.archiveFolder, std::nullopt, false};
        if (m_request.config)
            check.config = configCopy;
        if (checkPatchSet(check, publicKey) != ExitClean)
            return refuse("nothing published");
        if (m_request.dryRun) {
            std::printf("dry run: nothing changed\n");
            return ExitClean;
        }
        return putInPlace(listCopy, configCopy);
    }

private:
    int usage(const std::string& message) const
    {
        std::fprintf(stderr, "tarvo-patchtool: %s\n", message.c_str());
        return ExitUsage;
    }

    static int refuse(const std::string& message)
    {
        std::printf("%s\n", message.c_str());
        return ExitFound;
    }

    std::string verb(const char* done, const char* planned) const
    {
        return m_request.dryRun ? planned : done;
    }

    // A slot for every archive of the folder that no slot names yet, in name order.
    bool addNewSlots(updater::ProfileFile& list, const std::vector<Slot>& slots)
    {
        std::set<std::string> named;
        for (const Slot& slot : slots)
            named.insert(slot.documentName);
        std::vector<std::string> fresh;
        for (const std::string& name : updater::regularFilesIn(m_request.archiveFolder))
            if (updater::lowerAscii(name).ends_with(".rar") && !named.contains(name))
                fresh.push_back(name);
        if (fresh.empty())
            return true;
        const std::string base = m_request.base ? *m_request.base : baseOfSlots(slots);
        if (base.empty()) {
            std::printf("list: no slot shows where the archives are published: give --base URL\n");
            return false;
        }
        bool whole = true;
        size_t number = slots.size();
        for (const std::string& name : fresh) {
            const std::string address = base.ends_with('/') ? base + name : base + "/" + name;
            if (!isPlainName(name) || updater::documentName(address) != name) {
                std::printf("%s: the name cannot stand in an address as it is: use letters, digits, "
                            "'-', '_' and '.'\n",
                            name.c_str());
                whole = false;
                continue;
            }
            const std::string key = "Update_" + std::to_string(++number);
            list.writeString("Updates", key, address);
            std::printf("new slot %s=%s\n", key.c_str(), address.c_str());
        }
        return whole;
    }

    bool writeIntegrityLines(updater::ProfileFile& list)
    {
        bool whole = true;
        for (const Slot& slot : readSlots(list)) {
            const std::string archive = pathIn(m_request.archiveFolder, slot.documentName);
            const auto digest = slot.documentName.empty() ? std::nullopt : updater::digestFile(archive);
            if (!digest) {
                std::printf("%s: archive missing: %s\n", slot.key.c_str(), archive.c_str());
                whole = false;
                continue;
            }
            const std::string line = updater::formatIntegrityLine(*digest);
            if (line == slot.integrity)
                continue;
            list.writeString("Integrity", slot.key, line);
            std::printf("integrity %s=%s\n", slot.key.c_str(), line.c_str());
        }
        return whole;
    }

    std::optional<updater::MinisignSecretKey> openKey(const updater::SealedSecretKey& sealed) const
    {
        std::string password;
        if (sealed.encrypted) {
            const auto typed = updater::readSecretLine("Password for " + m_request.secretKeyFile + ": ");
            if (!typed)
                return std::nullopt;
            password = *typed;
        }
        return updater::openSecretKey(sealed, password);
    }

    // Signs the copy at `path` with a time later than that of the signature it replaces beside
    // `target`.
    void sign(const updater::MinisignSecretKey& key, const std::string& path, const std::string& target) const
    {
        std::string document;
        updater::readWholeFile(path, document);
        const std::string name = fileNameOf(path);
        std::string replaced;
        if (!updater::readWholeFile(updater::signatureAddress(target), replaced))
            replaced.clear();
        const std::optional<uint64_t> replacedAt = updater::signedTimestamp(replaced);
        const uint64_t now = secondsNow();
        if (replacedAt && liesInFuture(*replacedAt, now))
            std::printf("%s: WARNING: the signature it replaces is for %s, ahead of this computer's clock "
                        "(%s): signed for %s, so that launchers which took that one take this\n",
                        name.c_str(), utcText(*replacedAt).c_str(), utcText(now).c_str(),
                        utcText(signingTime(now, replacedAt)).c_str());
        updater::writeFileAtomically(
            updater::signatureAddress(path),
            updater::signMinisign(key, document,
                                  updater::defaultTrustedComment(signingTime(now, replacedAt), name)));
    }

    // The list before its signature, so that a signature never stands beside a list it does not
    // cover for longer than it takes to write it.
    int putInPlace(const std::string& listCopy, const std::string& configCopy) const
    {
        std::vector<std::pair<std::string, std::string>> moves{
            {listCopy, m_request.list},
            {updater::signatureAddress(listCopy), updater::signatureAddress(m_request.list)}};
        if (m_request.config)
            moves.push_back(
                {updater::signatureAddress(configCopy), updater::signatureAddress(*m_request.config)});
        try {
            for (const auto& [from, to] : moves) {
                std::string bytes;
                updater::readWholeFile(from, bytes);
                updater::writeFileAtomically(to, bytes);
                std::printf("wrote %s\n", to.c_str());
            }
        } catch (const std::exception& error) {
            return usage(error.what());
        }
        return ExitClean;
    }

    const PublishRequest& m_request;
    updater::ScratchFolder m_scratch{"tarvo-patchtool"};
};

} // namespace

int publishPatchSet(const PublishRequest& request)
{
    try {
        Publication publication(request);
        return publication.run();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tarvo-patchtool: %s\n", error.what());
        return ExitUsage;
    }
}

} // namespace patchtool
