#include "platform/AtomicFile.h"

#include "platform/PathText.h"
#include "platform/UpdaterError.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace updater {

namespace {

std::string siblingPattern(const std::string& target, const char* pattern)
{
    const std::string folder = folderOf(target);
    return (folder == "/" ? folder : folder + "/") + pattern;
}

// 0666 less the umask, as open() would give a new file. Read from /proc, because setting the umask
// to learn it would briefly leave it cleared for files that other threads create meanwhile.
mode_t usualFileMode()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0)
            return 0666 & ~static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    const mode_t mask = ::umask(0); // kernels before 4.7 do not show it
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

AtomicFileWriter::AtomicFileWriter(std::string target, const char* pattern) : m_target(std::move(target))
{
    if (m_target.empty() || m_target.back() == '/' || directoryExists(m_target))
        throw UpdaterError("Cannot create file " + m_target);
    m_temporary = siblingPattern(m_target, pattern);
    m_fd = ::mkostemp(m_temporary.data(), O_CLOEXEC);
    if (m_fd < 0)
        throw UpdaterError("Cannot create file " + m_target);
    // mkstemp creates 0600; a game file should carry the usual permissions.
    ::fchmod(m_fd, usualFileMode());
}

AtomicFileWriter::~AtomicFileWriter()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_committed)
        ::unlink(m_temporary.c_str());
}

void AtomicFileWriter::write(const char* data, size_t size)
{
    writeAllBytes(m_fd, data, size, m_target);
}

void writeAllBytes(int fd, const char* data, size_t size, const std::string& nameForErrors)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        // A full disk is what players can mend themselves, so it is named as such.
        if (n < 0 && (errno == ENOSPC || errno == EDQUOT))
            throw UpdaterError("disk full");
        if (n <= 0)
            throw UpdaterError("Cannot write file " + nameForErrors);
        data += n;
        size -= static_cast<size_t>(n);
    }
}

void AtomicFileWriter::commit()
{
    const int fd = std::exchange(m_fd, -1);
    if (::close(fd) != 0 || !replaceFile(m_temporary, m_target))
        throw UpdaterError("Cannot create file " + m_target);
    m_committed = true;
}

void writeFileAtomically(const std::string& path, std::string_view bytes)
{
    try {
        AtomicFileWriter file(path);
        file.write(bytes.data(), bytes.size());
        file.commit();
    } catch (const UpdaterError&) {
        throw UpdaterError("Cannot create file " + path);
    }
}

std::string reserveSiblingName(const std::string& target, const char* pattern)
{
    // Picking a free name without creating and deleting a file keeps archives of many small
    // entries fast; the six characters are those mkstemp would use.
    static constexpr char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random{std::random_device{}()};
    const std::string base = siblingPattern(target, pattern);
    const size_t x = base.rfind("XXXXXX");
    if (x == std::string::npos)
        return {};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = base;
        for (size_t i = x; i < x + 6; ++i)
            name[i] = Alphabet[random() % (sizeof Alphabet - 1)];
        struct stat st;
        if (::lstat(name.c_str(), &st) != 0 && errno == ENOENT)
            return name;
    }
    return {};
}

bool replaceFile(const std::string& from, const std::string& to)
{
    return ::rename(from.c_str(), to.c_str()) == 0;
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
