#include "SigningTime.h"

#include <chrono>
#include <cstdio>
#include <limits>

namespace patchtool {

namespace {

// Two publishes in one second sign one second apart, and clocks a few minutes apart are common.
constexpr uint64_t ClockTolerance = 10 * 60;

} // namespace

uint64_t secondsNow()
{
    return uint64_t(
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count());
}

std::optional<uint64_t> signingTime(uint64_t now, std::optional<uint64_t> replaced)
{
    if (!replaced || *replaced < now)
        return now;
    if (*replaced == std::numeric_limits<uint64_t>::max())
        return std::nullopt;
    return *replaced + 1;
}

bool liesInFuture(uint64_t signedAt, uint64_t now)
{
    return signedAt > now && signedAt - now > ClockTolerance;
}

std::string utcText(uint64_t seconds)
{
    using namespace std::chrono;
    const uint64_t days = seconds / 86400, rest = seconds % 86400;
    // Beyond what a calendar date holds, the number itself says it.
    if (days > uint64_t(std::numeric_limits<int>::max()))
        return std::to_string(seconds) + " s after 1970";
    const year_month_day date{sys_days{std::chrono::days{int(days)}}};
    if (!date.ok())
        return std::to_string(seconds) + " s after 1970";
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02u:%02u:%02u UTC", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), unsigned(rest / 3600),
                  unsigned(rest / 60 % 60), unsigned(rest % 60));
    return text;
}

std::string futureTimeWarning(uint64_t signedAt, uint64_t now)
{
    return "WARNING: signed for " + utcText(signedAt) + ", ahead of this computer's clock (" + utcText(now) +
           "): launchers that take it refuse any list signed before then. Until then sign only with "
           "tarvo-patchtool publish (it signs later than the list it replaces), and set the clock right "
           "on the computer that signed it";
}

} // namespace patchtool
