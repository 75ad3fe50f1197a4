#pragma once

#include "support/ScriptedHttpServer.h"

#include <QProcess>
#include <QTemporaryDir>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace updater::test {

// What a community's publishing makes of one archive: a torrent of its one file.
struct TorrentMade
{
    std::string file;                  // the archive on disk
    std::string name;                  // the file's name in the torrent
    std::vector<std::string> webSeeds; // HTTP addresses of the whole file
    std::vector<std::string> trackers;
    bool isPrivate = true;
    int pieceSize = 16 * 1024;
};
// The .torrent file's bytes (v1), as the patch tool would publish them.
std::string makeTorrent(const TorrentMade& made);
// Its v1 info-hash, 40 hex digits.
std::string infoHashOf(const std::string& torrentBytes);

// opentracker on 127.0.0.1 at a free port, answering only for the whitelisted info-hashes.
class LoopbackTracker
{
public:
    explicit LoopbackTracker(const std::vector<std::string>& infoHashes);
    ~LoopbackTracker();
    // "http://127.0.0.1:<port>/announce"
    std::string announceUrl() const;
    // Whether it answers an announce: false when opentracker could not be started.
    bool answers() const;

private:
    QTemporaryDir m_folder;
    QProcess m_process;
    int m_port = 0;
};

// Answers the byte ranges that web seeds ask for, of files by request target, as the community's
// HTTP server does. Everything else: 404.
ScriptedHttpServer::Handler rangeServing(std::map<std::string, std::string> filesByTarget);

// Another player who has the archive and seeds it on loopback. A `liar` sends its bytes as they
// are, without checking them first: with a damaged copy, bad pieces.
class SeedingPlayer
{
public:
    SeedingPlayer(const std::string& torrentBytes, const std::string& file, bool liar = false);
    ~SeedingPlayer();
    // Whether it has announced itself to every tracker of the torrent.
    bool announced() const;

private:
    struct Session;
    std::unique_ptr<Session> m_session;
};

} // namespace updater::test
