#pragma once

#include "platform/DiskSync.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace updater {

// A moment in file-system time: seconds since 1970 (UTC) and the nanoseconds within.
struct FileTime
{
    int64_t seconds = 0;
    int32_t nanoseconds = 0;
};

// Writes a file beside its target and puts it in place only on commit(), so the target is never
// left half-written. The file has no name until then where the file system allows (nothing is
// left of it when the process is killed), else a temporary name; a writer that goes without
// commit() removes it. The file gets the usual permissions (0666 less the umask). An existing
// target is replaced even when it is read-only or a symbolic link, as on a rename.
class AtomicFileWriter
{
public:
    // `pattern` names the temporary file, its "XXXXXX" replaced by random letters. Throws
    // UpdaterError("Cannot create file " + target), also for an empty target and one ending in
    // '/'; an existing folder fails on commit().
    explicit AtomicFileWriter(std::string target, const char* pattern = ".updater-XXXXXX");
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Throws UpdaterError("Cannot write file " + target).
    void write(const char* data, size_t size);
    // Permissions (read, write and execute bits for owner, group and others, as 0755) and
    // modification time the file takes into place.
    void setPermissions(unsigned permissionBits);
    void setModificationTime(FileTime modified);
    // Puts the file in place of the target; a durable commit returns once the file's data and its
    // name are on the disk. Throws UpdaterError("Cannot create file " + target).
    void commit(Durability durability = Durability::Ordinary);

private:
    std::string m_target;
    std::string m_pattern;
    std::string m_temporary; // empty while the file has no name
    int m_fd = -1;
    bool m_committed = false;
    uint64_t m_written = 0;     // bytes so far
    uint64_t m_writtenBack = 0; // up to where the disk was asked to write them
};

// Writes all bytes with an AtomicFileWriter. Throws UpdaterError("Cannot create file " + path).
void writeFileAtomically(const std::string& path, std::string_view bytes,
                         Durability durability = Durability::Ordinary);

// Renames `from` over `to`, replacing a file there.
bool replaceFile(const std::string& from, const std::string& to);
// The same for a finished file put in place of a game file (a disk event, see DiskSync.h), with
// its permissions and modification time. Across file systems it is copied, put in place
// durably, then removed.
bool placeFile(const std::string& from, const std::string& to);

// Reads a whole file as bytes; returns false when it cannot be opened.
bool readWholeFile(const std::string& path, std::string& bytes);

bool fileExists(const std::string& path);
bool directoryExists(const std::string& path);

} // namespace updater
