#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace updater {

// Tells the blocks that came from web seeds from those that came from other players, by where
// they came from. libtorrent names the sender of every block by its address and port, and a
// web seed sends from the host and port of its address (80 or 443 unless the address gives one).
// A host given by name is matched on its port alone: the players' ports are their listening
// ports or, for connections they made, ports the system picks far above those of web servers.
class WebSeedSenders
{
public:
    explicit WebSeedSenders(const std::vector<std::string>& webSeeds);
    bool sent(const std::string& address, uint16_t port) const;

private:
    struct Sender
    {
        std::string host; // an address, or empty for a name
        uint16_t port = 0;
    };
    std::vector<Sender> m_senders;
};

} // namespace updater
