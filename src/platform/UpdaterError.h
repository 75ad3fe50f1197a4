#pragma once

#include <exception>
#include <stdexcept>
#include <string>

namespace updater {

// The one error type the program raises; its text is what the standard error box shows.
// `reason` says, where the system told it, why ("permission denied"), for the log: the text itself
// stays what players and scripts know.
class UpdaterError : public std::runtime_error
{
public:
    explicit UpdaterError(const std::string& message, std::string reason = {})
        : std::runtime_error(message), m_reason(std::move(reason))
    {}
    const std::string& reason() const { return m_reason; }

private:
    std::string m_reason;
};

// The text and, when known, the reason: "Cannot create file x: permission denied".
inline std::string withReason(const UpdaterError& error)
{
    return error.reason().empty() ? std::string(error.what())
                                  : std::string(error.what()) + ": " + error.reason();
}

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
