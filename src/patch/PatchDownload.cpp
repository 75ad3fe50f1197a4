#include "patch/PatchDownload.h"

#include "net/HttpClient.h"
#include "platform/AtomicFile.h"
#include "platform/UpdaterError.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace updater {

namespace {

std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

class TemporaryFile
{
public:
    explicit TemporaryFile(const std::string& folder) : m_name(folder + "/.updater-download-XXXXXX")
    {
        m_fd = ::mkstemp(m_name.data());
        if (m_fd < 0)
            throw UpdaterError("Cannot create file " + m_name);
        // mkstemp creates 0600; a game file should carry the usual permissions.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(m_fd, 0666 & ~mask);
    }
    ~TemporaryFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_kept)
            ::unlink(m_name.c_str());
    }

    void write(const char* data, size_t size)
    {
        while (size > 0) {
            const ssize_t n = ::write(m_fd, data, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                throw UpdaterError("Cannot write file " + m_name);
            data += n;
            size -= static_cast<size_t>(n);
        }
    }

    void renameTo(const std::string& target)
    {
        const int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0 || ::rename(m_name.c_str(), target.c_str()) != 0)
            throw UpdaterError("Cannot create file " + target);
        m_kept = true;
    }

private:
    std::string m_name;
    int m_fd = -1;
    bool m_kept = false;
};

} // namespace

void downloadToFile(HttpClient& http, const std::string& url, const std::string& target)
{
    if (target.empty() || directoryExists(target))
        throw UpdaterError("Cannot create file " + target);
    TemporaryFile file(folderOf(target));
    http.get(url, [&](const char* data, size_t size) { file.write(data, size); });
    file.renameTo(target);
}

} // namespace updater
