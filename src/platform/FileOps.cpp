#include "platform/FileOps.h"

#include "platform/DescriptorWrite.h"
#include "platform/StopFlag.h"
#include "platform/UpdaterError.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace updater {

std::optional<uint64_t> regularFileSize(const std::string& path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return static_cast<uint64_t>(st.st_size);
}

namespace {

OwnFileRead readRegularFile(const std::string& path, std::string& bytes, uint64_t largest, int openFlags)
{
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | openFlags);
    if (fd < 0)
        return errno == ENOENT  ? OwnFileRead::Missing
               : errno == ELOOP ? OwnFileRead::NotAFile
                                : OwnFileRead::Failed;
    struct stat st;
    OwnFileRead result = OwnFileRead::Read;
    if (::fstat(fd, &st) != 0)
        result = OwnFileRead::Failed;
    else if (!S_ISREG(st.st_mode))
        result = OwnFileRead::NotAFile;
    char buffer[65536];
    while (result == OwnFileRead::Read) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            result = OwnFileRead::Failed;
        else if (n == 0)
            break;
        const size_t room = largest - bytes.size();
        bytes.append(buffer, std::min(room, static_cast<size_t>(n)));
        if (static_cast<size_t>(n) > room)
            result = OwnFileRead::TooLarge;
    }
    ::close(fd);
    if (result != OwnFileRead::Read && result != OwnFileRead::TooLarge)
        bytes.clear();
    return result;
}

} // namespace

OwnFileRead readOwnFile(const std::string& path, std::string& bytes, uint64_t largest)
{
    return readRegularFile(path, bytes, largest, O_NOFOLLOW);
}

OwnFileRead readFileUpTo(const std::string& path, std::string& bytes, uint64_t largest)
{
    return readRegularFile(path, bytes, largest, 0);
}

std::optional<uint64_t> readFileInPieces(const std::string& path, const StopFlag* stop,
                                         const std::function<void(const char* data, size_t size)>& piece)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    static thread_local char buffer[256 * 1024];
    std::optional<uint64_t> total = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || (n > 0 && stop && stop->requested()))
            total.reset();
        if (n <= 0 || !total)
            break;
        piece(buffer, static_cast<size_t>(n));
        *total += static_cast<uint64_t>(n);
    }
    ::close(fd);
    return total;
}

ReadableFile::ReadableFile(const std::string& path) : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC))
{
    struct stat st;
    if (m_fd >= 0 && ::fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode))
        m_size = static_cast<uint64_t>(st.st_size);
}

ReadableFile::~ReadableFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

size_t ReadableFile::readAt(uint64_t offset, unsigned char* out, size_t count) const
{
    size_t got = 0;
    while (m_size && got < count) {
        const ssize_t n = ::pread(m_fd, out + got, count - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    return got;
}

GrowingFile::~GrowingFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void GrowingFile::open(const std::string& path, bool append)
{
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | (append ? O_APPEND : O_TRUNC),
                  0666);
    if (m_fd < 0)
        throw UpdaterError("Cannot create file " + m_name);
}

void GrowingFile::write(const char* data, size_t size)
{
    writeAllBytes(m_fd, data, size, m_name);
}

void GrowingFile::close()
{
    if (::close(std::exchange(m_fd, -1)) != 0)
        throw UpdaterError("Cannot write file " + m_name);
}

EntryKind entryKind(const std::string& path)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? EntryKind::Nothing : EntryKind::Other;
    if (S_ISREG(st.st_mode))
        return EntryKind::RegularFile;
    if (S_ISDIR(st.st_mode))
        return EntryKind::Folder;
    if (S_ISLNK(st.st_mode))
        return EntryKind::Link;
    return EntryKind::Other;
}

FolderMade makeFolder(const std::string& path)
{
    if (::mkdir(path.c_str(), 0777) == 0)
        return FolderMade::Created;
    struct stat st;
    if (errno != EEXIST || ::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return FolderMade::Failed;
    return FolderMade::Existed;
}

bool makeMissingFolders(const std::string& folder)
{
    for (size_t pos = 0; pos != std::string::npos;) {
        pos = folder.find('/', pos + 1);
        const std::string path = folder.substr(0, pos);
        if (path.empty())
            continue;
        struct stat st;
        if (::stat(path.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode))
                return false; // a file stands where a folder is needed
        } else if (makeFolder(path) == FolderMade::Failed) {
            return false;
        }
    }
    return true;
}

bool removeFile(const std::string& path)
{
    return ::unlink(path.c_str()) == 0;
}

bool linkOrCopyFile(const std::string& from, const std::string& to)
{
    ::unlink(to.c_str());
    if (::link(from.c_str(), to.c_str()) == 0)
        return true;
    std::error_code error;
    if (std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, error))
        return true;
    ::unlink(to.c_str());
    return false;
}

bool removeEmptyFolder(const std::string& path)
{
    return ::rmdir(path.c_str()) == 0;
}

bool removeTree(const std::string& path)
{
    std::error_code error;
    std::filesystem::remove_all(path, error);
    return !error;
}

} // namespace updater
