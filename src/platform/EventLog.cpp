#include "platform/EventLog.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace updater {

namespace {

struct Log
{
    std::mutex mutex;
    std::string path;
    FILE* file = nullptr;
    long size = 0;
};

Log& theLog()
{
    static Log log;
    return log;
}

std::string timestamp()
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(millis));
    return text;
}

// Appends to the log's own file, never through a symbolic link: a link planted at its name is
// removed (what it points at stays as it was) and a new file made.
bool openFile(Log& log)
{
    const auto openOwn = [&] {
        return ::open(log.path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    };
    int fd = openOwn();
    if (fd < 0 && errno == ELOOP && ::unlink(log.path.c_str()) == 0)
        fd = openOwn();
    if (fd < 0)
        return false;
    log.file = ::fdopen(fd, "ab");
    if (!log.file) {
        ::close(fd);
        return false;
    }
    std::fseek(log.file, 0, SEEK_END);
    log.size = std::ftell(log.file);
    return true;
}

// A control character as a visible escape: "\x1b".
std::string visibleEscape(char c)
{
    static const char digits[] = "0123456789abcdef";
    const auto byte = static_cast<unsigned char>(c);
    return std::string("\\x") + digits[byte >> 4] + digits[byte & 15];
}

} // namespace

bool openEventLog(const std::string& path)
{
    Log& log = theLog();
    std::lock_guard<std::mutex> lock(log.mutex);
    if (log.file)
        std::fclose(log.file);
    log.file = nullptr;
    log.path = path;
    return openFile(log);
}

void closeEventLog()
{
    Log& log = theLog();
    std::lock_guard<std::mutex> lock(log.mutex);
    if (log.file)
        std::fclose(log.file);
    log.file = nullptr;
}

void logEvent(const std::string& text)
{
    std::string line = timestamp() + " ";
    // Texts from servers, lists and archives come here too: no control character of theirs may
    // reach a reader's terminal, so each shows as a visible escape.
    for (const char c : text) {
        if (c == '\n')
            line += "\\n";
        else if (c == '\r')
            continue;
        else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            line += visibleEscape(c);
        else
            line += c;
    }
    line += '\n';

    Log& log = theLog();
    std::lock_guard<std::mutex> lock(log.mutex);
    if (!log.file)
        return;
    if (log.size > 0 && log.size + static_cast<long>(line.size()) > EventLogLimit) {
        std::fclose(log.file);
        log.file = nullptr;
        std::rename(log.path.c_str(), (log.path + ".1").c_str());
        if (!openFile(log))
            return;
    }
    if (std::fwrite(line.data(), 1, line.size(), log.file) == line.size())
        log.size += static_cast<long>(line.size());
    std::fflush(log.file);
}

} // namespace updater
