#pragma once

#include <string>

namespace patchtool {

// What a new community is called and where its web site lies.
struct CommunityNames
{
    std::string title; // the window's title and the pages' heading
    std::string site;  // "https://example.org" or "https://example.org/game", without a last '/'
    std::string host;  // the site's host name, the first guess for the game server's address
};

// The files of a new community, each commented where the administrator must change it. The
// configuration and the patch list are profile files: their comments are lines of their own
// starting with ';', which the launcher's reader never takes for a key. The configuration is
// UTF-8 with a byte order mark, which the launcher reads in the Western code page it shows; the
// names are UTF-8.
std::string configurationText(const CommunityNames& names);
std::string emptyPatchListText(const CommunityNames& names);
std::string newsPageText(const CommunityNames& names);
std::string startPageText(const CommunityNames& names);
std::string errorPageText(const CommunityNames& names);

} // namespace patchtool
