#pragma once

#include <string>
#include <vector>

namespace updater {

// The marker text that stands for a key the community forgot to configure.
inline constexpr const char* MarkerText = "Bad Configured Updater (kick GM's ass!)";
inline constexpr const char* DefaultRegistrationWeb = "https://duckduckgo.com/";
inline constexpr const char* DefaultXmlVersion = "<?xml version=\"1.0\" encoding=\"euc-kr\" ?>";

// Values of one [Config_N] section: a game server the launcher watches and starts.
struct ServerEntry
{
    std::string serverName;
    std::string clientName;
    std::string clientInfoName;
    bool resolveHost = false; // first reading of Version
    std::string ipResolve;
    std::string display;
    std::string desc;
    int account = 0;
    int charPort = 0;
    int map = 0;
    int version = 0; // second reading of Version
    int langtype = 0;
    std::string servicetype;
    std::string servertype;
};

// Values of updater4.cfg, read once at start. Before reading (and after a missing file) texts
// are empty and numbers zero.
struct Configuration
{
    std::string homepage;
    std::string configLink;
    std::string patchList;
    // Patch_Mirrors: base addresses that serve the same archives, asked in turn when an archive
    // cannot be had from its own address.
    std::vector<std::string> patchMirrors;
    std::string titleWindowName;
    int overWriteClientInfo = 0;
    std::string clientInfoName;
    std::string registrationWeb;
    std::string bgmSound;
    std::string xmlVersion;
    int howManyServers = 0;
    int howManyClientInfos = 0;
    ServerEntry server[2];

    const ServerEntry& entry(int number) const { return server[number == 2 ? 1 : 0]; }
};

// "Tarvo-Updater\updater4.cfg", the path every part uses for the configuration file.
std::string configFilePath();

} // namespace updater
