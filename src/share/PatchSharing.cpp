#include "share/PatchSharing.h"

#include "platform/EventLog.h"
#include "platform/FileOps.h"
#include "platform/StopFlag.h"
#include "share/WebSeedBytes.h"

#include <libtorrent/add_torrent_params.hpp>
#include <libtorrent/alert_types.hpp>
#include <libtorrent/peer_info.hpp>
#include <libtorrent/posix_disk_io.hpp>
#include <libtorrent/session.hpp>
#include <libtorrent/session_params.hpp>
#include <libtorrent/settings_pack.hpp>
#include <libtorrent/torrent_handle.hpp>
#include <libtorrent/torrent_info.hpp>
#include <libtorrent/torrent_status.hpp>

#include <algorithm>
#include <cerrno>
#include <map>
#include <random>
#include <set>
#include <sstream>

namespace updater {

namespace {

std::string hexOf(const lt::sha1_hash& hash)
{
    std::ostringstream hex;
    hex << hash;
    return hex.str();
}

std::string hashOf(const lt::torrent_handle& handle)
{
    return hexOf(handle.info_hashes().v1);
}

lt::settings_pack sessionSettings(const SharingOptions& options)
{
    lt::settings_pack pack;
    pack.set_str(lt::settings_pack::listen_interfaces,
                 std::string(options.listenAddress) + ":" + std::to_string(options.port));
    // Peers only from the community's tracker: no DHT, no local discovery, no port mapping on the
    // player's router behind the player's back.
    pack.set_bool(lt::settings_pack::enable_dht, false);
    pack.set_bool(lt::settings_pack::enable_lsd, false);
    pack.set_bool(lt::settings_pack::enable_upnp, false);
    pack.set_bool(lt::settings_pack::enable_natpmp, false);
    // Players behind one router share an address.
    pack.set_bool(lt::settings_pack::allow_multiple_connections_per_ip, true);
    pack.set_bool(lt::settings_pack::announce_to_all_trackers, true);
    pack.set_bool(lt::settings_pack::announce_to_all_tiers, true);
    // A launcher that ends or is stopped does not wait on a tracker that is down.
    pack.set_int(lt::settings_pack::stop_tracker_timeout, 1);
    pack.set_int(lt::settings_pack::download_rate_limit, int(options.downloadKilobytesPerSecond) * 1024);
    pack.set_int(lt::settings_pack::alert_mask,
                 int(lt::alert_category::error | lt::alert_category::status | lt::alert_category::tracker |
                     lt::alert_category::peer | lt::alert_category::block_progress));
    // Every block is an alert: room for a second of them at a fast line between two reads.
    pack.set_int(lt::settings_pack::alert_queue_size, 100000);
    pack.set_str(lt::settings_pack::user_agent, "Tarvo-Updater/4.0");
    return pack;
}

Clock::Duration drawnBetween(Clock::Duration shortest, Clock::Duration longest)
{
    static thread_local std::minstd_rand draw{std::random_device{}()};
    return std::uniform_int_distribution<Clock::Duration::rep>(shortest.count(),
                                                               std::max(shortest, longest).count())(draw) *
           Clock::Duration(1);
}

std::vector<std::string> webSeedUrls(const lt::torrent_info& info)
{
    std::vector<std::string> urls;
    for (const lt::web_seed_entry& seed : info.web_seeds())
        urls.push_back(seed.url);
    return urls;
}

} // namespace

struct PatchSharing::Tracked
{
    explicit Tracked(std::shared_ptr<const lt::torrent_info> info)
        : info(std::move(info)), webSeeds(webSeedUrls(*this->info))
    {}
    const std::shared_ptr<const lt::torrent_info> info;
    const WebSeedSenders webSeeds;
    SharedBytes bytes;
    std::set<std::string> players;         // who sent blocks, by address and port
    std::vector<std::string> refusedSeeds; // web seeds that refused since the download last looked
    std::optional<std::string> fileError;
    bool diskFull = false;
};

struct PatchSharing::Engine
{
    explicit Engine(lt::session_params params) : session(std::move(params)) {}
    lt::session session;
};

PatchSharing::PatchSharing(SharingOptions options, std::string folder)
    : m_options(options), m_folder(std::move(folder))
{
    lt::session_params params(sessionSettings(options));
    // Writes through pwrite(), so that a full disk is an error of the download and not a signal
    // that ends the launcher, as it would be through a mapped file.
    params.disk_io_constructor = lt::posix_disk_io_constructor;
    m_engine = std::make_unique<Engine>(std::move(params));
    applyUploadLimit();
    logEvent("sharing patches: listening on port " + std::to_string(listeningPort()));
}

PatchSharing::~PatchSharing()
{
    m_engine->session.abort();
}

uint16_t PatchSharing::listeningPort() const
{
    // The session opens its sockets on its own thread; wait for it to have tried.
    for (int tries = 0; tries < 50 && !m_engine->session.is_listening(); ++tries)
        StopFlag().waitFor(std::chrono::milliseconds(20));
    return m_engine->session.is_listening() ? m_engine->session.listen_port() : 0;
}

void PatchSharing::turnOff()
{
    if (!m_on.exchange(false))
        return;
    logEvent("sharing patches: turned off by the player");
    m_engine->session.pause();
}

void PatchSharing::setDownloadLimit(uint32_t kilobytesPerSecond)
{
    {
        const std::lock_guard lock(m_optionsMutex);
        m_options.downloadKilobytesPerSecond = kilobytesPerSecond;
    }
    lt::settings_pack pack;
    pack.set_int(lt::settings_pack::download_rate_limit, int(kilobytesPerSecond) * 1024);
    m_engine->session.apply_settings(pack);
    applyUploadLimit();
}

void PatchSharing::applyUploadLimit()
{
    int64_t limit = 0;
    {
        const std::lock_guard lock(m_optionsMutex);
        limit = uploadLimit(m_options, m_fastestDownload);
    }
    lt::settings_pack pack;
    pack.set_int(lt::settings_pack::upload_rate_limit, int(std::min<int64_t>(limit, INT32_MAX)));
    m_engine->session.apply_settings(pack);
}

void PatchSharing::readAlerts()
{
    const std::lock_guard lock(m_alertsMutex);
    std::vector<lt::alert*> alerts;
    m_engine->session.pop_alerts(&alerts);
    for (const lt::alert* alert : alerts) {
        if (const auto* block = lt::alert_cast<lt::block_finished_alert>(alert)) {
            const auto tracked = m_tracked.find(hashOf(block->handle));
            if (tracked == m_tracked.end())
                continue;
            Tracked& download = *tracked->second;
            const int64_t offset = int64_t(block->block_index) * lt::default_block_size;
            const uint64_t size = uint64_t(std::clamp<int64_t>(
                download.info->piece_size(block->piece_index) - offset, 0, lt::default_block_size));
            if (download.webSeeds.sent(block->endpoint.address().to_string(), block->endpoint.port()))
                download.bytes.fromWebSeeds += size;
            else {
                download.bytes.fromPlayers += size;
                std::ostringstream sender;
                sender << block->endpoint;
                download.players.insert(sender.str());
            }
        } else if (const auto* fileError = lt::alert_cast<lt::file_error_alert>(alert)) {
            if (const auto tracked = m_tracked.find(hashOf(fileError->handle)); tracked != m_tracked.end()) {
                tracked->second->fileError = fileError->error.message();
                tracked->second->diskFull = fileError->error.value() == ENOSPC;
            }
        } else if (const auto* refused = lt::alert_cast<lt::url_seed_alert>(alert)) {
            if (const auto tracked = m_tracked.find(hashOf(refused->handle)); tracked != m_tracked.end())
                tracked->second->refusedSeeds.push_back(refused->server_url());
        } else if (const auto* reply = lt::alert_cast<lt::tracker_reply_alert>(alert)) {
            logEvent("sharing patches: tracker " + std::string(reply->tracker_url()) + " answered with " +
                     std::to_string(reply->num_peers) + " peers");
        } else if (const auto* trackerError = lt::alert_cast<lt::tracker_error_alert>(alert)) {
            logEvent("sharing patches: tracker " + std::string(trackerError->tracker_url()) +
                     " failed: " + trackerError->error.message() + " " + trackerError->failure_reason());
        } else if (const auto* ban = lt::alert_cast<lt::peer_ban_alert>(alert)) {
            logEvent("sharing patches: a peer sent bad pieces and was banned (" + ban->message() + ")");
        } else if (const auto* failed = lt::alert_cast<lt::hash_failed_alert>(alert)) {
            logEvent("sharing patches: piece " + std::to_string(int(failed->piece_index)) +
                     " failed its hash and is fetched again");
        } else if (const auto* listenFailed = lt::alert_cast<lt::listen_failed_alert>(alert)) {
            logEvent("sharing patches: cannot listen: " + listenFailed->message());
        }
    }
}

SharedDownload PatchSharing::download(const CheckedTorrent& torrent, const SharedDownloadWatch& watch)
{
    SharedDownload result;
    result.path = m_folder + "/" + torrent.fileName;
    if (!m_on) {
        result.outcome = SharedOutcome::TurnedOff;
        return result;
    }
    if (!makeMissingFolders(m_folder)) {
        result.cause = "cannot create " + m_folder;
        return result;
    }
    lt::add_torrent_params params;
    lt::error_code error;
    params.ti = std::make_shared<lt::torrent_info>(
        lt::span<const char>(torrent.bytes.data(), long(torrent.bytes.size())), error, lt::from_span);
    if (error) {
        result.cause = error.message();
        return result;
    }
    params.save_path = m_folder;
    // Every archive of the run is downloaded and seeded at once, never queued behind others.
    params.flags &= ~(lt::torrent_flags::paused | lt::torrent_flags::auto_managed);
    const auto tracked = std::make_shared<Tracked>(params.ti);
    {
        const std::lock_guard lock(m_alertsMutex);
        m_tracked[torrent.infoHash] = tracked;
    }
    struct Untrack
    {
        PatchSharing& sharing;
        const std::string& hash;
        ~Untrack()
        {
            const std::lock_guard lock(sharing.m_alertsMutex);
            sharing.m_tracked.erase(hash);
        }
    } untrack{*this, torrent.infoHash};
    const lt::torrent_handle handle = m_engine->session.add_torrent(std::move(params), error);
    if (error) {
        result.cause = error.message();
        return result;
    }
    logEvent("sharing patches: " + torrent.fileName + " (" + torrent.infoHash +
             ") from players and web seeds");

    int64_t lastArrived = -1;
    Clock::TimePoint lastArrival = watch.clock->now();
    std::map<std::string, Clock::TimePoint> retries; // refused web seeds, by when to ask again
    // libtorrent gives up a web seed that refused once (a busy origin's 503) for the rest of the
    // download: asked again once it has rested, it serves what the swarm cannot.
    auto askRefusedSeedsAgain = [&](Clock::TimePoint now) {
        std::vector<std::string> refused;
        {
            const std::lock_guard lock(m_alertsMutex);
            refused.swap(tracked->refusedSeeds);
        }
        for (const std::string& url : refused)
            retries.emplace(url, now + drawnBetween(watch.webSeedRestShortest, watch.webSeedRestLongest));
        for (auto retry = retries.begin(); retry != retries.end();) {
            if (retry->second > now) {
                ++retry;
                continue;
            }
            handle.remove_url_seed(retry->first);
            handle.add_url_seed(retry->first);
            retry = retries.erase(retry);
        }
    };
    auto ends = [&](SharedOutcome outcome, std::string cause) {
        // The last blocks' alerts may come after the status that told the end.
        readAlerts();
        size_t players = 0;
        {
            const std::lock_guard lock(m_alertsMutex);
            result.bytes = tracked->bytes;
            players = tracked->players.size();
        }
        result.outcome = outcome;
        result.cause = std::move(cause);
        // Kept on disk for the next try; only a whole one is seeded.
        if (outcome != SharedOutcome::Complete)
            m_engine->session.remove_torrent(handle);
        logEvent("sharing patches: " + torrent.fileName + ": " + std::to_string(result.bytes.fromPlayers) +
                 " bytes from players (" + std::to_string(players) + " sent pieces), " +
                 std::to_string(result.bytes.fromWebSeeds) + " from web seeds" +
                 (result.cause.empty() ? "" : " (" + result.cause + ")"));
        return result;
    };
    for (;;) {
        readAlerts();
        std::optional<std::string> fileError;
        bool diskFull = false;
        {
            const std::lock_guard lock(m_alertsMutex);
            fileError = tracked->fileError;
            diskFull = tracked->diskFull;
        }
        if (fileError)
            return ends(diskFull ? SharedOutcome::NoRoom : SharedOutcome::Failed, *fileError);
        askRefusedSeedsAgain(watch.clock->now());
        if (watch.stop && watch.stop->requested())
            return ends(SharedOutcome::Stopped, "stopped");
        if (!m_on)
            return ends(SharedOutcome::TurnedOff, "sharing turned off");
        const lt::torrent_status status = handle.status();
        const uint64_t arrived = uint64_t(std::max<int64_t>(status.total_payload_download, 0));
        if (status.download_payload_rate > m_fastestDownload) {
            m_fastestDownload = status.download_payload_rate;
            applyUploadLimit();
        }
        if (watch.progress)
            watch.progress(uint64_t(status.total_wanted_done), torrent.size, result.bytes);
        if (status.is_seeding)
            return ends(SharedOutcome::Complete, {});
        // Checking the pieces a stopped run left is progress too.
        const int64_t progress = status.total_wanted_done + int64_t(arrived) +
                                 (status.state == lt::torrent_status::checking_files ? 1 : 0);
        if (progress != lastArrived) {
            lastArrived = progress;
            lastArrival = watch.clock->now();
        } else if (watch.clock->now() - lastArrival >= watch.stallAfter) {
            return ends(SharedOutcome::Stalled,
                        "nothing arrived for " +
                            std::to_string(
                                std::chrono::duration_cast<std::chrono::seconds>(watch.stallAfter).count()) +
                            " s");
        }
        watch.clock->waitFor(watch.pollEvery, watch.stop);
    }
}

void PatchSharing::discard(const CheckedTorrent& torrent)
{
    for (const lt::torrent_handle& handle : m_engine->session.get_torrents())
        if (hashOf(handle) == torrent.infoHash)
            m_engine->session.remove_torrent(handle);
    removeFile(m_folder + "/" + torrent.fileName);
}

void PatchSharing::seedFor(Clock::Duration duration, const StopFlag& stop, const Clock& clock)
{
    const Clock::TimePoint end = clock.now() + duration;
    while (m_on && !stop.requested() && clock.now() < end) {
        readAlerts();
        clock.waitFor(std::min<Clock::Duration>(end - clock.now(), std::chrono::milliseconds(200)), &stop);
    }
}

uint64_t PatchSharing::uploaded() const
{
    uint64_t sum = m_uploadedEarlier;
    for (const lt::torrent_handle& handle : m_engine->session.get_torrents())
        sum += uint64_t(std::max<int64_t>(handle.status().total_payload_upload, 0));
    return sum;
}

void PatchSharing::seedingEnds()
{
    readAlerts();
    logEvent("sharing patches: " + std::to_string(uploaded()) + " bytes uploaded to players");
    for (const lt::torrent_handle& handle : m_engine->session.get_torrents()) {
        const lt::torrent_status status = handle.status();
        m_uploadedEarlier += uint64_t(std::max<int64_t>(status.total_payload_upload, 0));
        m_engine->session.remove_torrent(handle);
        // Applied: its archive has served. An incomplete one keeps its pieces for the next run.
        if (status.is_seeding)
            removeFile(m_folder + "/" + status.name);
    }
}

} // namespace updater
