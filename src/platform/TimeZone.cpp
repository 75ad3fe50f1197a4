#include "platform/TimeZone.h"

#include <cstdlib>
#include <ctime>

namespace updater {

void readTimeZoneOnce()
{
    ::setenv("TZ", ":/etc/localtime", 0); // a zone the user chose is kept
    ::tzset();
}

} // namespace updater
