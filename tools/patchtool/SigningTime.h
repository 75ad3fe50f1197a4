#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace patchtool {

// Seconds since 1970 on this computer's clock.
uint64_t secondsNow();

// The time a document is signed with: later than both now and the time of the signature it
// replaces. Launchers take only a later time than the one in use, so a document once signed with a
// clock far ahead is healed by the next publish instead of locking every later one out. Nothing
// when the replaced one carries the last time there is.
std::optional<uint64_t> signingTime(uint64_t now, std::optional<uint64_t> replaced);

// Whether a signature's time lies ahead of this computer's clock by more than the clocks of two
// computers commonly differ.
bool liesInFuture(uint64_t signedAt, uint64_t now);

// "2100-01-01 00:00:00 UTC".
std::string utcText(uint64_t seconds);

// The warning printed for a document signed with a time ahead of the clock.
std::string futureTimeWarning(uint64_t signedAt, uint64_t now);

} // namespace patchtool
