#pragma once

#include <cstdint>
#include <string>

namespace updater {

// What a worker has to let the player know while it runs.
enum class NoticeKind {
    PatchListUnavailable, // subject: the list's address
    PatchUnavailable,     // subject: the archive's address
    ArchiveUnreadable,    // subject: the archive's document name; code: the library's open result
    ArchiveComment,       // subject: the archive's comment
    ArchiveEntryFailed,   // subject: the entry's stored name; code: the library's result
    ArchiveHeaderBroken,  // subject: the archive's document name
    RecordNotWritten,     // subject: the document name that was applied but not recorded
    PatchPostponed,       // subject: the archive's address; the player chose not to wait for a busy server
    NoRoom,               // subject: the archive's document name; needed and available: bytes
    RecordUnreadable,     // reply: why the record of applied patches cannot be read; nothing applied
    ServerUnresolved,     // subject: the host name a server watch could not resolve
};

struct Notice
{
    NoticeKind kind;
    std::string subject;
    std::string reply; // a failed transfer: the server's last status line ("404 Not Found"), or empty
    std::string cause; // a failed transfer: what went wrong on our side, for diagnostics
    int code = 0;
    uint64_t needed = 0, available = 0; // NoRoom: bytes on the game folder's disk
};

// The one way a worker thread reaches the player. The window implements it: tell() shows the box on
// the window thread and returns once the player has answered it. What an answer leads to (ending the
// launcher, the close question) is the window's business, so a worker goes on the same way whatever
// the answer was.
class PlayerContact
{
public:
    virtual ~PlayerContact() = default;
    virtual void tell(const Notice& notice) = 0;
    // Asked once a run, after a while of waiting for busy servers: true to wait on, false to go on
    // without the archive for now. Nobody to ask (a run without a window) means waiting on.
    virtual bool keepWaitingForBusyServer(const std::string& document)
    {
        (void)document;
        return true;
    }
};

} // namespace updater
