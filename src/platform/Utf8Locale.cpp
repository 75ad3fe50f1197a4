#include "platform/Utf8Locale.h"

#include <clocale>
#include <cstring>
#include <langinfo.h>

namespace updater {

void useUtf8CharacterType()
{
    if (std::strcmp(::nl_langinfo(CODESET), "UTF-8") != 0)
        std::setlocale(LC_CTYPE, "C.UTF-8");
}

} // namespace updater
