#include "CommunityTexts.h"

#include <string_view>

namespace patchtool {

namespace {

std::string escapedHtml(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string page(const CommunityNames& names, std::string_view comment, std::string_view colours,
                 std::string_view body)
{
    return "<!DOCTYPE html>\n<!-- " + std::string(comment) +
           " -->\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" + escapedHtml(names.title) +
           "</title>\n<style>\n  body { margin: 0; font: 13px Verdana, sans-serif; " + std::string(colours) +
           " }\n  .box { padding: 28px 34px; }\n  h1 { margin: 0 0 6px; font-size: 20px; }\n"
           "  p { margin: 6px 0; line-height: 1.5; }\n</style>\n</head>\n<body>\n<div class=\"box\">\n" +
           std::string(body) + "</div>\n</body>\n</html>\n";
}

// {title}, {site} and {host} stand for the community's names.
constexpr std::string_view ConfigurationTemplate =
    R"(; The configuration of the {title} updater, made by tarvo-patchtool new-community.
;
; Lines starting with ';' are comments: the updater reads no key from them. Keep a comment on
; a line of its own: written after a value, it becomes part of the value.
; CHANGE marks the values you must set for your community before the game folder ships.
;
; The file is UTF-8 and opens with a byte order mark, so that the updater reads letters beyond
; ASCII (in the title, say) as they were typed: keep it so when you edit it.
;
; The same file lies on your web site (Config_link) and in the players' game folders
; (Tarvo-Updater/updater4.cfg). After every update the updaters replace their copy with the
; web site's: change the web site's copy, publish it (tarvo-patchtool publish --config), and
; ship the game folder with the same file.

[Main]
; The window's title.
TitleWindowName={title}
; Your news page, shown once the update is over.
Homepage={site}/news.html
; Where this file and the patch list lie on your web site.
Config_link={site}/updater4.cfg
Patch_List={site}/updates4.list
; 1 refreshes this file from Config_link after every update. Only a refresh that succeeded
; enables the start buttons: keep it 1.
OverWriteClientInfo=1
; The music, played from BGM/ in the game folder (mp3, wav, ogg, ...); no such file, no music.
BGM_Sound=01.mp3
; One game server, [Config_1] below; 2 also reads a section [Config_2] with the same keys.
HowManyServers=1
; CHANGE when your game client reads its servers from a connection file in Data: 1 writes
; one file with every server, named by ClientInfoName here; 2 one file per server, named by
; the ClientInfoName of its section; 0 writes none and the client keeps the file it has.
HowManyClientInfos=0
ClientInfoName=sclientinfo.xml
; With HowManyClientInfos 1 or 2, also name the page where players make an account:
; Registrationweb={site}/register.html

[Config_1]
; CHANGE every value of this section to your game server's.
; The server's name on the window ("Ping <name>", "Go <name>").
ServerName=Server 1
; The game client the start button runs, relative to the game folder: the whole command line.
ClientName=client.exe
; The game server's host name or address. With a Version other than 0 a host name is looked
; up first.
IpResolve={host}
Version=20
; The ports of the account, character and map servers. The start button is enabled only
; while the map port accepts connections.
Account=6900
Char=6121
Map=5121
; What the connection file says of this server (with HowManyClientInfos 1 or 2).
ClientInfoName=sclientinfo.xml
Display={title}
Desc={title}
Langtype=1
Servicetype=europe
Servertype=primary
; The game masters' account ids, from Admin_1 up to the first missing one:
; Admin_1=2000001
)";

constexpr std::string_view PatchListTemplate =
    R"(; The patch list of {title}: one slot per patch archive, numbered from 1 without gaps.
; Do not write slots by hand: tarvo-patchtool publish gives every new archive in patches/ the
; next slot, writes its integrity line and signs this list.
[Updates]
)";

// The template with its placeholders filled in; profile files go to players on Windows too, so
// every line ends in CR LF.
std::string filledIn(std::string_view text, const CommunityNames& names)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const std::string_view rest = text.substr(i);
        const auto replace = [&](std::string_view placeholder, const std::string& value) {
            if (!rest.starts_with(placeholder))
                return false;
            out += value;
            i += placeholder.size() - 1;
            return true;
        };
        if (replace("{title}", names.title) || replace("{site}", names.site) || replace("{host}", names.host))
            continue;
        if (text[i] == '\n')
            out += '\r';
        out += text[i];
    }
    return out;
}

} // namespace

std::string configurationText(const CommunityNames& names)
{
    return "\xEF\xBB\xBF" + filledIn(ConfigurationTemplate, names);
}

std::string emptyPatchListText(const CommunityNames& names)
{
    return filledIn(PatchListTemplate, names);
}

std::string newsPageText(const CommunityNames& names)
{
    return page(names, "CHANGE: the news page players see after every update (Homepage).",
                "color: #e8eef6; background: #1d3557;",
                "  <h1>" + escapedHtml(names.title) +
                    "</h1>\n  <p>Your game is up to date.</p>\n"
                    "  <p>News of the community will appear here.</p>\n");
}

std::string startPageText(const CommunityNames& names)
{
    return page(
        names, "CHANGE: the page shown while the updater looks for patches.",
        "color: #e8eef6; background: #0f1d33;",
        "  <h1>" + escapedHtml(names.title) +
            "</h1>\n  <p>Looking for new patches. The news page opens once the update is done.</p>\n");
}

std::string errorPageText(const CommunityNames& names)
{
    return page(names, "CHANGE: the page shown when the news page cannot be loaded.",
                "color: #3b1d1d; background: #fbeeee;",
                "  <h1>The news page could not be loaded</h1>\n"
                "  <p>The community's web site does not answer right now. You can still play once the\n"
                "  server shows as online.</p>\n");
}

} // namespace patchtool
