#include "platform/AtomicFile.h"

#include "platform/DescriptorWrite.h"
#include "platform/FileFaults.h"
#include "platform/PathText.h"
#include "platform/UpdaterError.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace updater {

namespace {

std::string siblingPattern(const std::string& target, const char* pattern)
{
    const std::string folder = folderOf(target);
    return (folder == "/" ? folder : folder + "/") + pattern;
}

// 0666 less the umask, as open() would give a new file. Read from /proc, because setting the umask
// to learn it would briefly leave it cleared for files that other threads create meanwhile. The
// launcher never changes its umask, so it is read once.
mode_t usualFileMode()
{
    static const mode_t mode = [] {
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("Umask:", 0) == 0)
                return static_cast<mode_t>(0666 & ~std::strtoul(line.c_str() + 6, nullptr, 8));
        const mode_t mask = ::umask(0); // kernels before 4.7 do not show it
        ::umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

// A file without a name gets one through its /proc link; without /proc it could never be named.
bool unnamedFilesCanBeNamed()
{
    static const bool available = ::access("/proc/self/fd", X_OK) == 0;
    return available;
}

std::string procLinkOf(int fd)
{
    return "/proc/self/fd/" + std::to_string(fd);
}

// `base` with its "XXXXXX" replaced by letters mkstemp would use.
std::string randomName(std::string base, size_t x)
{
    static constexpr char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random{std::random_device{}()};
    for (size_t i = x; i < x + 6; ++i)
        base[i] = Alphabet[random() % (sizeof Alphabet - 1)];
    return base;
}

// Gives the unnamed file `fd` the free name `name`.
bool linkUnnamedFile(int fd, const std::string& name)
{
    // Linking the descriptor itself skips a walk through /proc, but needs a privilege that most
    // users lack; after the first refusal only /proc is asked.
    static std::atomic<bool> directLinkRefused{false};
    if (!directLinkRefused) {
        if (::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0)
            return true;
        if (errno != ENOENT && errno != EPERM)
            return false;
        directLinkRefused = true;
    }
    return ::linkat(AT_FDCWD, procLinkOf(fd).c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// Gives the unnamed file `fd` the name `target`, replacing a file there as a rename would.
bool nameUnnamedFile(int fd, const std::string& target, const std::string& pattern)
{
    if (linkUnnamedFile(fd, target))
        return true;
    if (errno != EEXIST)
        return false;
    // A link cannot replace a file: the new one gets a free name beside it, then takes its place.
    const size_t x = pattern.rfind("XXXXXX");
    for (int attempt = 0; x != std::string::npos && attempt < 100; ++attempt) {
        const std::string temporary = randomName(pattern, x);
        if (!linkUnnamedFile(fd, temporary)) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        if (replaceFile(temporary, target))
            return true;
        ::unlink(temporary.c_str());
        return false;
    }
    return false;
}

} // namespace

std::string systemReason(int error)
{
    std::string reason = std::strerror(error);
    if (!reason.empty())
        reason[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(reason[0])));
    return reason;
}

AtomicFileWriter::AtomicFileWriter(std::string target, const char* pattern)
    : m_target(std::move(target)), m_pattern(siblingPattern(m_target, pattern))
{
    if (m_target.empty() || m_target.back() == '/')
        throw UpdaterError("Cannot create file " + m_target);
    // A file without a name disappears with the process, however it ends; it is named on commit.
    if (unnamedFilesCanBeNamed())
        m_fd = ::open(folderOf(m_target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (m_fd >= 0)
        return;
    // Some file systems have no unnamed files: then the temporary file has a name.
    m_temporary = m_pattern;
    m_fd = ::mkostemp(m_temporary.data(), O_CLOEXEC);
    if (m_fd < 0)
        throw UpdaterError("Cannot create file " + m_target, systemReason(errno));
    // mkstemp creates 0600; a game file should carry the usual permissions.
    ::fchmod(m_fd, usualFileMode());
}

AtomicFileWriter::~AtomicFileWriter()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_committed && !m_temporary.empty())
        ::unlink(m_temporary.c_str());
}

void AtomicFileWriter::setPermissions(unsigned permissionBits)
{
    const auto mode = static_cast<mode_t>(permissionBits & 0777);
    if (mode != usualFileMode())
        ::fchmod(m_fd, mode);
}

void AtomicFileWriter::setModificationTime(FileTime modified)
{
    const timespec times[2] = {
        {0, UTIME_NOW}, {static_cast<time_t>(modified.seconds), static_cast<long>(modified.nanoseconds)}};
    ::futimens(m_fd, times);
}

void AtomicFileWriter::write(const char* data, size_t size)
{
    writeAllBytes(m_fd, data, size, m_target);
    m_written += size;
    // A large file goes to the disk while it is still being written, not all at once when it must
    // be there: the wait for a durable commit, or for the sync of a patch's files, is then short.
    constexpr uint64_t WritebackStep = 8 * 1024 * 1024;
    if (m_written - m_writtenBack >= WritebackStep) {
        ::sync_file_range(m_fd, static_cast<off_t>(m_writtenBack),
                          static_cast<off_t>(m_written - m_writtenBack), SYNC_FILE_RANGE_WRITE);
        m_writtenBack = m_written;
    }
}

void writeAllBytes(int fd, const char* data, size_t size, const std::string& nameForErrors)
{
    if (size > 0 && fileFaultApplies(FileFault::DiskFull, nameForErrors))
        throw UpdaterError("disk full");
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        // A full disk is what players can mend themselves, so it is named as such.
        if (n < 0 && (errno == ENOSPC || errno == EDQUOT))
            throw UpdaterError("disk full");
        if (n <= 0)
            throw UpdaterError("Cannot write file " + nameForErrors, n < 0 ? systemReason(errno) : "");
        data += n;
        size -= static_cast<size_t>(n);
    }
}

void AtomicFileWriter::commit(Durability durability)
{
    const bool durable = durability == Durability::Durable;
    // The data first: a name on disk for a file whose data is not would survive a power cut empty.
    if (durable && !syncFileData(m_fd, m_target))
        throw UpdaterError("Cannot create file " + m_target, systemReason(errno));
    const bool named =
        m_temporary.empty() ? nameUnnamedFile(m_fd, m_target, m_pattern) : replaceFile(m_temporary, m_target);
    const int error = named ? 0 : errno;
    const int fd = std::exchange(m_fd, -1);
    if (::close(fd) != 0 || !named)
        throw UpdaterError("Cannot create file " + m_target, systemReason(named ? errno : error));
    m_committed = true;
    if (durable && !syncFolder(folderOf(m_target)))
        throw UpdaterError("Cannot create file " + m_target, systemReason(errno));
    noteDiskEvent(durable ? DiskEvent::FilePlacedDurably : DiskEvent::FilePlaced, m_target);
}

void writeFileAtomically(const std::string& path, std::string_view bytes, Durability durability)
{
    try {
        AtomicFileWriter file(path);
        file.write(bytes.data(), bytes.size());
        file.commit(durability);
    } catch (const UpdaterError&) {
        throw UpdaterError("Cannot create file " + path);
    }
}

bool replaceFile(const std::string& from, const std::string& to)
{
    return ::rename(from.c_str(), to.c_str()) == 0;
}

namespace {

// A game folder may hold a folder mounted from another file system, where no rename reaches: the
// file is copied beside its target and put in place whole, on the disk before the original goes.
bool copyIntoPlace(const std::string& from, const std::string& to)
{
    const int fd = ::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st;
    if (fd < 0)
        return false;
    bool copied = false;
    try {
        if (::fstat(fd, &st) != 0)
            throw UpdaterError("Cannot read file " + from);
        AtomicFileWriter file(to, ".updater-unrar-XXXXXX");
        std::vector<char> buffer(1 << 20);
        ssize_t n;
        while ((n = ::read(fd, buffer.data(), buffer.size())) > 0)
            file.write(buffer.data(), static_cast<size_t>(n));
        if (n < 0)
            throw UpdaterError("Cannot read file " + from);
        file.setPermissions(st.st_mode & 0777);
        file.setModificationTime({st.st_mtim.tv_sec, static_cast<int32_t>(st.st_mtim.tv_nsec)});
        file.commit(Durability::Durable);
        copied = true;
    } catch (const UpdaterError&) {
    }
    ::close(fd);
    return copied && ::unlink(from.c_str()) == 0;
}

} // namespace

bool placeFile(const std::string& from, const std::string& to)
{
    if (replaceFile(from, to)) {
        noteDiskEvent(DiskEvent::FilePlaced, to);
        return true;
    }
    return errno == EXDEV && copyIntoPlace(from, to);
}

bool readWholeFile(const std::string& path, std::string& bytes)
{
    bytes.clear();
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, n);
    const bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

bool fileExists(const std::string& path)
{
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool directoryExists(const std::string& path)
{
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace updater
