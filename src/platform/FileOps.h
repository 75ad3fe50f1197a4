#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace updater {

class StopFlag;

// The size of a regular file (a link is followed); nothing for a folder, anything else, or a
// path that cannot be looked at.
std::optional<uint64_t> regularFileSize(const std::string& path);

// What stands at a path itself, a link not followed.
enum class EntryKind { Nothing, RegularFile, Folder, Link, Other };
EntryKind entryKind(const std::string& path);

// Reads a file of the launcher's own whole, never through a symbolic link and never more than
// `largest` bytes, so that neither a planted link nor a huge file decides what is read. A file
// larger than that is TooLarge, with its first `largest` bytes read, for a reader that can use them.
enum class OwnFileRead { Read, Missing, NotAFile, TooLarge, Failed };
OwnFileRead readOwnFile(const std::string& path, std::string& bytes, uint64_t largest);
// The same for a file named by the user (a key, a list): a link is followed, but it must still
// lead to a regular file, so that /dev/zero cannot fill the memory.
OwnFileRead readFileUpTo(const std::string& path, std::string& bytes, uint64_t largest);

// Reads a file (a link is followed) from its start to its end in pieces handed to `piece`, so that
// an archive of any size is read in little memory. The number of bytes read; nothing when the file
// cannot be opened or read to its end (also for a folder), or when `stop` (may be null) is requested
// between pieces: a large archive takes seconds, and a quitting launcher must not wait for it.
std::optional<uint64_t> readFileInPieces(const std::string& path, const StopFlag* stop,
                                         const std::function<void(const char* data, size_t size)>& piece);

// A regular file opened for reading at any offset, closed when it goes.
class ReadableFile
{
public:
    explicit ReadableFile(const std::string& path);
    ~ReadableFile();
    ReadableFile(const ReadableFile&) = delete;
    ReadableFile& operator=(const ReadableFile&) = delete;

    // Nothing when the file could not be opened or is not a regular file.
    std::optional<uint64_t> size() const { return m_size; }
    // Reads up to `count` bytes from `offset`; fewer only at the file's end or on a read error.
    size_t readAt(uint64_t offset, unsigned char* out, size_t count) const;

private:
    int m_fd = -1;
    std::optional<uint64_t> m_size;
};

// A file written from its start or appended to, in place (no link followed), such as the part of
// a download; `nameForErrors` names it in UpdaterError("Cannot create file ..." / "Cannot write
// file ...", or "disk full"). Closed, if still open, when it goes.
class GrowingFile
{
public:
    explicit GrowingFile(std::string nameForErrors) : m_name(std::move(nameForErrors)) {}
    ~GrowingFile();
    GrowingFile(const GrowingFile&) = delete;
    GrowingFile& operator=(const GrowingFile&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    void open(const std::string& path, bool append);
    void write(const char* data, size_t size);
    void close();

private:
    std::string m_name;
    int m_fd = -1;
};

// Makes a folder (its parent must exist). A folder already there counts; a link there does not,
// even to a folder, so that nothing written below it lands elsewhere.
enum class FolderMade { Created, Existed, Failed };
FolderMade makeFolder(const std::string& path);

// Makes every missing folder of `path`, for places of the player's own (the configuration home,
// the cache): folders already on the way are taken as the system resolves them (one kept behind a
// link works), only the missing ones are made, with makeFolder. False when one cannot be made or
// a file stands in the way.
bool makeMissingFolders(const std::string& path);

// Removes a file (a link itself, never its target); false when there was none or it stayed.
bool removeFile(const std::string& path);
// Gives the file `from` a second name `to` (replacing a file there), or where the disk cannot do
// that, copies it there; false when neither worked (nothing is left at `to` then).
bool linkOrCopyFile(const std::string& from, const std::string& to);
// Removes a folder only when it is empty; false otherwise.
bool removeEmptyFolder(const std::string& path);

// Removes a folder with everything in it, links inside removed as links (what they point at
// stays); a link at `path` itself is removed alone. False when something stayed.
bool removeTree(const std::string& path);

} // namespace updater
