#pragma once

#include <exception>
#include <stdexcept>
#include <string>

namespace updater {

// The one error type the program raises; its text is what the standard error box shows.
class UpdaterError : public std::runtime_error
{
public:
    explicit UpdaterError(const std::string& message) : std::runtime_error(message) {}
};

// The text of a caught failure; `unknown` for one that is not a standard exception.
inline std::string failureText(const std::exception_ptr& failure, const char* unknown = "unknown error")
{
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
        return unknown;
    }
}

} // namespace updater
