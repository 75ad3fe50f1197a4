#include "config/ConfigReader.h"

#include "platform/EventLog.h"
#include "platform/GamePath.h"
#include "platform/ProfileFile.h"

#include <sstream>

namespace updater {

std::string configFilePath()
{
    return updaterFolderPath("updater4.cfg");
}

namespace {

ServerEntry readServerEntry(const ProfileFile& f, const char* section)
{
    ServerEntry e;
    e.serverName = f.readString(section, "ServerName", "ERROR");
    e.clientName = f.readString(section, "ClientName", MarkerText);
    e.clientInfoName = f.readString(section, "ClientInfoName", MarkerText);
    e.resolveHost = f.readBool(section, "Version", false);
    e.ipResolve = f.readString(section, "IpResolve", MarkerText);
    e.display = f.readString(section, "Display", MarkerText);
    e.desc = f.readString(section, "Desc", MarkerText);
    e.account = f.readInteger(section, "Account", 6900);
    e.charPort = f.readInteger(section, "Char", 6121);
    e.map = f.readInteger(section, "Map", 5121);
    e.version = f.readInteger(section, "Version", 20);
    e.langtype = f.readInteger(section, "Langtype", 1);
    e.servicetype = f.readString(section, "Servicetype", MarkerText);
    e.servertype = f.readString(section, "Servertype", MarkerText);
    return e;
}

} // namespace

Configuration readConfigurationFrom(const ProfileFile& f)
{
    Configuration c;
    c.homepage = f.readString("Main", "Homepage", MarkerText);
    c.configLink = f.readString("Main", "Config_link", MarkerText);
    c.patchList = f.readString("Main", "Patch_List", MarkerText);
    std::istringstream mirrors(f.readString("Main", "Patch_Mirrors", ""));
    for (std::string mirror; mirrors >> mirror;)
        c.patchMirrors.push_back(mirror);
    c.titleWindowName = f.readString("Main", "TitleWindowName", MarkerText);
    c.overWriteClientInfo = f.readInteger("Main", "OverWriteClientInfo", 0);
    c.clientInfoName = f.readString("Main", "ClientInfoName", "sclientinfo.xml");
    c.registrationWeb = f.readString("Main", "Registrationweb", DefaultRegistrationWeb);
    c.bgmSound = f.readString("Main", "BGM_Sound", "01.mp3");
    c.xmlVersion = f.readString("Main", "XmlVersion", DefaultXmlVersion);
    c.howManyServers = f.readInteger("Main", "HowManyServers", 1);
    c.howManyClientInfos = f.readInteger("Main", "HowManyClientInfos", 0);
    c.server[0] = readServerEntry(f, "Config_1");
    if (c.howManyServers == 2)
        c.server[1] = readServerEntry(f, "Config_2");
    return c;
}

ConfigRead readConfig()
{
    const ProfileFile file(resolveGamePath(configFilePath()));
    if (file.tooLarge()) {
        logEvent("the configuration is larger than 16 MiB or has too many lines: not read");
        return {std::nullopt, ConfigRead::Problem::TooLarge};
    }
    if (!file.exists()) {
        logEvent("the configuration " + configFilePath() + " is missing");
        return {std::nullopt, ConfigRead::Problem::Missing};
    }
    return {readConfigurationFrom(file), ConfigRead::Problem::None};
}

} // namespace updater
