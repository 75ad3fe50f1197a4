#pragma once

#include <stdexcept>
#include <string>

namespace updater {

// The one error type the program raises; its text is what the standard error box shows.
class UpdaterError : public std::runtime_error
{
public:
    explicit UpdaterError(const std::string& message) : std::runtime_error(message) {}
};

} // namespace updater
