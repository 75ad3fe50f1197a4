#include "MinisignSigning.h"
#include "PatchTool.h"
#include "PatchTorrents.h"
#include "SigningTime.h"
#include "patchtool/platform/FolderEntries.h"
#include "patchtool/platform/ScratchFolder.h"
#include "patchtool/platform/TerminalInput.h"

#include "config/ConfigReader.h"
#include "fetch/SignedFetch.h"
#include "net/HttpClient.h"
#include "patch/Downloads.h"
#include "platform/AtomicFile.h"
#include "platform/FileOps.h"
#include "platform/InstanceLock.h"
#include "platform/PathText.h"
#include "platform/ProfileFile.h"
#include "share/TorrentCheck.h"
#include "trust/CommunityKey.h"
#include "trust/IntegrityLine.h"
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
        // One publish of a list at a time: two would each add slots to the list they read, and
        // one's slots would be lost.
        std::optional<updater::InstanceLock> lock;
        if (!m_request.dryRun) {
            lock.emplace(besideList(".lock"));
            switch (lock->acquire()) {
            case updater::LockOutcome::HeldElsewhere:
                return usage("another publish of " + m_request.list + " is running (it holds " +
                             lock->path() + "): wait until it has ended");
            case updater::LockOutcome::Unusable:
                return usage("cannot take the lock " + lock->path() + ": " + lock->reason());
            case updater::LockOutcome::NoLocking:
                std::printf("warning: %s: the file system takes no locks (%s): run one publish at a time\n",
                            lock->path().c_str(), lock->reason().c_str());
                break;
            case updater::LockOutcome::Acquired:
                break;
            }
            finishCutShortPublish();
        }
        std::string listBytes, keyText, configBytes;
        if (!readCapped(m_request.list, listBytes, updater::LargestPatchList))
            return ExitUsage;
        if (!updater::directoryExists(m_request.archiveFolder))
            return usage("no folder " + m_request.archiveFolder);
        // A minisign secret key file is a few hundred bytes.
        if (!readCapped(m_request.secretKeyFile, keyText, 64 * 1024))
            return ExitUsage;
        const auto sealedKey = parseMinisignSecretKeyFile(keyText);
        if (!sealedKey)
            return usage(m_request.secretKeyFile + " is not a minisign secret key file");
        if (m_request.config && !readCapped(*m_request.config, configBytes, updater::LargestConfiguration))
            return ExitUsage;

        // Everything is prepared in a scratch copy; the working folder changes only when the
        // result passes the check.
        const std::string listCopy = m_scratch.path() + "/" + fileNameOf(m_request.list);
        updater::writeFileAtomically(listCopy, listBytes);
        updater::ProfileFile list(listCopy);
        const std::vector<Slot> slots = readSlots(list);
        const std::vector<Problem> unread = slotLinesNeverRead(list, slots.size());
        for (const Problem& problem : unread)
            std::printf("%s: %s\n", problem.subject.c_str(), problem.text.c_str());
        if (!unread.empty())
            return refuse("mend these lines of the list first");

        std::string configCopy;
        if (m_request.config) {
            configCopy = m_scratch.path() + "/" + fileNameOf(*m_request.config);
            updater::writeFileAtomically(configCopy, configBytes);
        }
        if (!addNewSlots(list, slots) || !writeIntegrityLines(list) ||
            (!m_request.trackers.empty() && !makeTorrents(list, mirrorsFrom(configCopy))))
            return refuse("nothing published");

        std::optional<updater::MinisignKey> publicKey;
        if (!m_request.dryRun) {
            const auto key = openKey(*sealedKey);
            if (!key)
                return refuse("the secret key does not open with that password");
            publicKey = key->publicKey();
            if (!sign(*key, listCopy, m_request.list) ||
                (m_request.config && !sign(*key, configCopy, *m_request.config)))
                return refuse("nothing published");
        }

        CheckRequest check{listCopy,     std::nullopt, m_request.archiveFolder,
                           std::nullopt, false,        std::nullopt};
        if (!m_request.trackers.empty())
            check.torrentFolder = torrentFolder();
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

    // Reads a file named on the command line, or says why it cannot.
    bool readCapped(const std::string& path, std::string& bytes, uint64_t largest) const
    {
        switch (updater::readFileUpTo(path, bytes, largest)) {
        case updater::OwnFileRead::Read:
            return true;
        case updater::OwnFileRead::TooLarge:
            usage(path + " is larger than " + std::to_string(largest / 1024) + " KiB");
            return false;
        case updater::OwnFileRead::NotAFile:
            usage(path + " is not a file");
            return false;
        default:
            usage("cannot read " + path);
            return false;
        }
    }

    // A hidden name of publish's own beside the list, on its file system (".updates4.list.lock").
    std::string besideList(const char* suffix) const
    {
        return updater::folderOf(m_request.list) + "/." + fileNameOf(m_request.list) + suffix;
    }

    // Where the list and its signature wait, complete, to be put in place, so that each lands by a
    // rename.
    std::string placingFolder() const { return besideList(".publishing"); }

    // What a publish that was killed left beside the list: once its files were all there (the
    // marker says so), it is finished, so that the list and its signature match again; before
    // that, it goes.
    void finishCutShortPublish() const
    {
        const std::string folder = placingFolder();
        if (updater::entryKind(folder) == updater::EntryKind::Nothing)
            return;
        const std::string name = fileNameOf(m_request.list);
        if (updater::fileExists(folder + "/" + PlacingMarker)) {
            updater::replaceFile(folder + "/" + name, m_request.list);
            updater::replaceFile(folder + "/" + name + ".minisig", updater::signatureAddress(m_request.list));
            std::printf("the last publish was cut short while putting %s and its signature in place: "
                        "finished it\n",
                        name.c_str());
        } else {
            std::printf("removed what a cut-short publish left in %s\n", folder.c_str());
        }
        updater::removeTree(folder);
    }

    // A slot for every archive of the folder that no slot names yet, in name order.
    bool addNewSlots(updater::ProfileFile& list, const std::vector<Slot>& slots)
    {
        std::set<std::string> named;
        for (const Slot& slot : slots)
            named.insert(slot.documentName);
        bool whole = true;
        // A link may lead anywhere, or nowhere: only an archive that is there is published.
        for (const std::string& name : linksIn(m_request.archiveFolder))
            if (updater::lowerAscii(name).ends_with(".rar")) {
                std::printf("%s: a link, not an archive: put the archive itself into %s\n", name.c_str(),
                            m_request.archiveFolder.c_str());
                whole = false;
            }
        std::vector<std::string> fresh;
        for (const std::string& name : regularFilesIn(m_request.archiveFolder))
            if (updater::lowerAscii(name).ends_with(".rar") && !named.contains(name))
                fresh.push_back(name);
        if (fresh.empty())
            return whole;
        const std::string base = m_request.base ? *m_request.base : baseOfSlots(slots);
        if (base.empty()) {
            std::printf("list: no slot shows where the archives are published: give --base URL\n");
            return false;
        }
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

    // The mirrors' base addresses: those given, else the configuration's Patch_Mirrors.
    std::vector<std::string> mirrorsFrom(const std::string& configCopy) const
    {
        if (m_request.mirrors)
            return *m_request.mirrors;
        if (configCopy.empty())
            return {};
        return updater::readConfigurationFrom(updater::ProfileFile(configCopy)).patchMirrors;
    }

    // Where the torrents wait for the check before they are put beside the archives.
    std::string torrentFolder() const { return m_scratch.path() + "/torrents"; }

    // A torrent for every slot, made from its archive, and its pin under [Torrents]. The same
    // archive, address, trackers and mirrors give the same torrent, so a slot whose archive is
    // unchanged keeps its pin; a slot published before the community shared gets one now.
    bool makeTorrents(updater::ProfileFile& list, const std::vector<std::string>& mirrors)
    {
        if (updater::makeFolder(torrentFolder()) == updater::FolderMade::Failed)
            throw std::runtime_error("cannot make " + torrentFolder());
        bool whole = true;
        for (const Slot& slot : readSlots(list)) {
            TorrentSources sources{m_request.trackers, {slot.address}};
            for (const std::string& mirror : mirrors)
                sources.webSeeds.push_back(updater::mirrorAddress(mirror, slot.address));
            const std::string archive = pathIn(m_request.archiveFolder, slot.documentName);
            const std::optional<std::string> torrent = makePatchTorrent(archive, slot.address, sources);
            const auto facts = torrent ? updater::readTorrentFacts(*torrent) : std::nullopt;
            if (!facts) {
                std::printf("%s: no torrent: %s cannot be read whole\n", slot.key.c_str(), archive.c_str());
                whole = false;
                continue;
            }
            const std::string name = slot.documentName + ".torrent";
            updater::writeFileAtomically(torrentFolder() + "/" + name, *torrent);
            m_torrents.push_back(name);
            m_infoHashes.push_back(facts->infoHash);
            const std::string pin = updater::sha256Hex(*torrent);
            if (pin == slot.torrentPin)
                continue;
            list.writeString("Torrents", slot.key, pin);
            std::printf("torrent %s=%s\n", slot.key.c_str(), pin.c_str());
        }
        return whole;
    }

    // The torrents beside their archives, each written only when it changed: they must be there
    // before the list that pins them.
    void placeTorrents() const
    {
        for (const std::string& name : m_torrents) {
            std::string made, there;
            updater::readWholeFile(torrentFolder() + "/" + name, made);
            const std::string target = pathIn(m_request.archiveFolder, name);
            if (updater::readFileUpTo(target, there, updater::LargestTorrent) == updater::OwnFileRead::Read &&
                there == made)
                continue;
            updater::writeFileAtomically(target, made, updater::Durability::Durable);
            std::printf("wrote %s\n", target.c_str());
        }
    }

    // The tracker's whitelist (opentracker -w): the v1 info-hash of every torrent of the list, one a
    // line.
    void writeWhitelist() const
    {
        std::string lines;
        for (const std::string& hash : m_infoHashes)
            lines += hash + "\n";
        const std::string folder = updater::folderOf(m_request.list);
        const std::string path = folder == "." ? WhitelistName : folder + "/" + WhitelistName;
        updater::writeFileAtomically(path, lines);
        std::printf("wrote %s\n", path.c_str());
    }

    std::optional<MinisignSecretKey> openKey(const SealedSecretKey& sealed) const
    {
        std::string password;
        if (sealed.encrypted) {
            const auto typed = readSecretLine("Password for " + m_request.secretKeyFile + ": ");
            if (!typed)
                return std::nullopt;
            password = *typed;
        }
        return openSecretKey(sealed, password);
    }

    // Signs the copy at `path` with a time later than that of the signature it replaces beside
    // `target`; false when there is no later time.
    bool sign(const MinisignSecretKey& key, const std::string& path, const std::string& target) const
    {
        std::string document;
        updater::readWholeFile(path, document);
        const std::string name = fileNameOf(path);
        std::string replaced;
        if (updater::readFileUpTo(updater::signatureAddress(target), replaced, updater::LargestSignature) !=
            updater::OwnFileRead::Read)
            replaced.clear();
        const std::optional<uint64_t> replacedAt = updater::signedTimestamp(replaced);
        const uint64_t now = secondsNow();
        const std::optional<uint64_t> at = signingTime(now, replacedAt);
        if (!at) {
            std::printf("%s: the signature it replaces carries the last time there is: launchers that took "
                        "it take no later one; they need a new key\n",
                        name.c_str());
            return false;
        }
        if (replacedAt && liesInFuture(*replacedAt, now))
            std::printf("%s: WARNING: the signature it replaces is for %s, ahead of this computer's clock "
                        "(%s): signed for %s, so that launchers which took that one take this\n",
                        name.c_str(), utcText(*replacedAt).c_str(), utcText(now).c_str(),
                        utcText(*at).c_str());
        updater::writeFileAtomically(updater::signatureAddress(path),
                                     signMinisign(key, document, defaultTrustedComment(*at, name)));
        return true;
    }

    // The list and its signature are first written whole beside the list, then a marker, then
    // each is renamed into place: a kill in between leaves a pair that the next publish finishes
    // (finishCutShortPublish). The configuration itself does not change, so either of its
    // signatures matches it.
    int putInPlace(const std::string& listCopy, const std::string& configCopy) const
    {
        const std::string folder = placingFolder();
        const std::string name = fileNameOf(m_request.list);
        try {
            placeTorrents();
            if (updater::makeFolder(folder) == updater::FolderMade::Failed)
                throw std::runtime_error("cannot make " + folder);
            const std::pair<std::string, std::string> staged[] = {
                {listCopy, name}, {updater::signatureAddress(listCopy), name + ".minisig"}};
            for (const auto& [copy, file] : staged) {
                std::string bytes;
                updater::readWholeFile(copy, bytes);
                updater::writeFileAtomically(folder + "/" + file, bytes, updater::Durability::Durable);
            }
            updater::writeFileAtomically(folder + "/" + PlacingMarker, "", updater::Durability::Durable);
            const std::pair<std::string, std::string> moves[] = {
                {folder + "/" + name, m_request.list},
                {folder + "/" + name + ".minisig", updater::signatureAddress(m_request.list)}};
            for (const auto& [from, to] : moves) {
                if (!updater::replaceFile(from, to))
                    throw std::runtime_error("cannot write " + to);
                std::printf("wrote %s\n", to.c_str());
            }
            updater::removeTree(folder);
            if (m_request.config) {
                std::string bytes;
                updater::readWholeFile(updater::signatureAddress(configCopy), bytes);
                updater::writeFileAtomically(updater::signatureAddress(*m_request.config), bytes);
                std::printf("wrote %s\n", updater::signatureAddress(*m_request.config).c_str());
            }
            if (!m_request.trackers.empty())
                writeWhitelist();
        } catch (const std::exception& error) {
            return usage(error.what());
        }
        return ExitClean;
    }

    static constexpr const char* PlacingMarker = "complete";
    static constexpr const char* WhitelistName = "torrents.whitelist";

    const PublishRequest& m_request;
    ScratchFolder m_scratch{"tarvo-patchtool"};
    std::vector<std::string> m_torrents;   // file names in the torrent folder, in slot order
    std::vector<std::string> m_infoHashes; // of the same torrents
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
