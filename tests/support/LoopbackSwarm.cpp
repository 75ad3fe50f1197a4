#include "support/LoopbackSwarm.h"

#include "support/LoopbackListener.h"

#include <QFile>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTest>

#include <libtorrent/alert_types.hpp>
#include <libtorrent/create_torrent.hpp>
#include <libtorrent/hasher.hpp>
#include <libtorrent/session.hpp>
#include <libtorrent/torrent_handle.hpp>
#include <libtorrent/torrent_info.hpp>
#include <libtorrent/torrent_status.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace updater::test {

std::string makeTorrent(const TorrentMade& made)
{
    lt::file_storage files;
    const auto size = std::filesystem::file_size(made.file);
    files.add_file(made.name, std::int64_t(size));
    lt::create_torrent torrent(files, made.pieceSize, lt::create_torrent::v1_only);
    for (const std::string& tracker : made.trackers)
        torrent.add_tracker(tracker);
    for (const std::string& seed : made.webSeeds)
        torrent.add_url_seed(seed);
    torrent.set_priv(made.isPrivate);
    // The file on disk may have another name than the one in the torrent.
    std::ifstream in(made.file, std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(in)), {});
    for (const lt::piece_index_t piece : torrent.piece_range()) {
        const size_t from = size_t(int(piece)) * size_t(made.pieceSize);
        const std::string bytes = content.substr(from, size_t(made.pieceSize));
        torrent.set_hash(piece, lt::hasher(bytes.data(), int(bytes.size())).final());
    }
    std::vector<char> bytes;
    lt::bencode(std::back_inserter(bytes), torrent.generate());
    return {bytes.begin(), bytes.end()};
}

std::string infoHashOf(const std::string& torrentBytes)
{
    const lt::torrent_info info(lt::span<const char>(torrentBytes.data(), long(torrentBytes.size())),
                                lt::from_span);
    std::ostringstream hex;
    hex << info.info_hashes().v1;
    return hex.str();
}

LoopbackTracker::LoopbackTracker(const std::vector<std::string>& infoHashes)
{
    // opentracker drops to "nobody" in a chroot of its folder when it can: both must let it read.
    QFile::setPermissions(m_folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                               QFileDevice::ExeOther | QFileDevice::ReadGroup |
                                               QFileDevice::ExeGroup);
    std::ofstream whitelist(m_folder.filePath("torrents.whitelist").toStdString());
    for (const std::string& hash : infoHashes)
        whitelist << hash << '\n';
    whitelist.close();
    {
        LoopbackListener free; // a port nothing listens on once it closes
        m_port = free.port();
    }
    m_process.setWorkingDirectory(m_folder.path());
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    const QString port = QString::number(m_port);
    m_process.start("opentracker", {"-i", "127.0.0.1", "-p", port, "-P", port, "-w", "torrents.whitelist",
                                    "-d", m_folder.path(), "-u", "nobody"});
    m_process.waitForStarted(10000);
    QTest::qWaitFor([this] { return answers() || m_process.state() != QProcess::Running; }, 10000);
}

LoopbackTracker::~LoopbackTracker()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

std::string LoopbackTracker::announceUrl() const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + "/announce";
}

bool LoopbackTracker::answers() const
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, quint16(m_port));
    if (!socket.waitForConnected(2000))
        return false;
    socket.write("GET /stats HTTP/1.0\r\n\r\n");
    return socket.waitForReadyRead(2000) && socket.bytesAvailable() > 0;
}

ScriptedHttpServer::Handler rangeServing(std::map<std::string, std::string> filesByTarget)
{
    return [files = std::move(filesByTarget)](const std::string& target, const std::string& request) {
        const auto file = files.find(target);
        std::string bytes;
        if (file == files.end() || !std::filesystem::exists(file->second))
            return ScriptedHttpServer::Reply{"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"};
        std::ifstream in(file->second, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
        const size_t range = request.find("\r\nRange: bytes=");
        if (range == std::string::npos)
            return ScriptedHttpServer::ok(bytes);
        unsigned long long first = 0, last = 0;
        std::sscanf(request.c_str() + range, "\r\nRange: bytes=%llu-%llu", &first, &last);
        last = std::min<unsigned long long>(last, bytes.size() - 1);
        const std::string part = bytes.substr(first, last - first + 1);
        return ScriptedHttpServer::Reply{
            "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(first) + "-" +
            std::to_string(last) + "/" + std::to_string(bytes.size()) +
            "\r\nContent-Length: " + std::to_string(part.size()) + "\r\n\r\n" + part};
    };
}

struct SeedingPlayer::Session
{
    explicit Session(lt::settings_pack settings) : session(std::move(settings)) {}
    lt::session session;
    lt::torrent_handle handle;
};

namespace {

lt::settings_pack seederSettings()
{
    lt::settings_pack pack;
    pack.set_str(lt::settings_pack::listen_interfaces, "127.0.0.1:0");
    pack.set_bool(lt::settings_pack::enable_dht, false);
    pack.set_bool(lt::settings_pack::enable_lsd, false);
    pack.set_bool(lt::settings_pack::enable_upnp, false);
    pack.set_bool(lt::settings_pack::enable_natpmp, false);
    pack.set_bool(lt::settings_pack::allow_multiple_connections_per_ip, true);
    pack.set_int(lt::settings_pack::stop_tracker_timeout, 1);
    return pack;
}

} // namespace

SeedingPlayer::SeedingPlayer(const std::string& torrentBytes, const std::string& file, bool liar)
    : m_session(std::make_unique<Session>(seederSettings()))
{
    lt::add_torrent_params params;
    params.ti = std::make_shared<lt::torrent_info>(
        lt::span<const char>(torrentBytes.data(), long(torrentBytes.size())), lt::from_span);
    params.save_path = std::filesystem::path(file).parent_path().string();
    params.renamed_files[lt::file_index_t(0)] = std::filesystem::path(file).filename().string();
    params.flags &= ~(lt::torrent_flags::paused | lt::torrent_flags::auto_managed);
    if (liar)
        params.flags |= lt::torrent_flags::seed_mode;
    m_session->handle = m_session->session.add_torrent(std::move(params));
    QTest::qWaitFor([this] { return m_session->handle.status().is_seeding && announced(); }, 20000);
}

SeedingPlayer::~SeedingPlayer()
{
    m_session->session.abort();
}

bool SeedingPlayer::announced() const
{
    for (const lt::announce_entry& tracker : m_session->handle.trackers())
        for (const lt::announce_endpoint& endpoint : tracker.endpoints)
            for (const lt::announce_infohash& hash : endpoint.info_hashes)
                if ((hash.start_sent && !hash.updating) || hash.fails > 0)
                    return true;
    return false;
}

} // namespace updater::test
