#include "patchtool/platform/TerminalInput.h"

#include <cstdio>
#include <iostream>
#include <termios.h>
#include <unistd.h>

namespace patchtool {

namespace {

// Switches echo off for its lifetime.
class EchoOff
{
public:
    EchoOff()
    {
        m_active = ::tcgetattr(STDIN_FILENO, &m_saved) == 0;
        if (!m_active)
            return;
        termios quiet = m_saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    ~EchoOff()
    {
        if (m_active)
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &m_saved);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    termios m_saved{};
    bool m_active = false;
};

} // namespace

std::optional<std::string> readSecretLine(const std::string& prompt)
{
    std::string line;
    bool read = false;
    if (::isatty(STDIN_FILENO) == 0) {
        read = static_cast<bool>(std::getline(std::cin, line));
    } else {
        std::fprintf(stderr, "%s", prompt.c_str());
        std::fflush(stderr);
        {
            EchoOff echoOff;
            read = static_cast<bool>(std::getline(std::cin, line));
        }
        std::fprintf(stderr, "\n");
    }
    if (!read)
        return std::nullopt;
    if (line.ends_with('\r'))
        line.pop_back();
    return line;
}

} // namespace patchtool
