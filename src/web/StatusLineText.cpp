#include "web/StatusLineText.h"

namespace updater {

std::string statusLineText(const std::string& homepage)
{
    return "<b> Visit frequently: </b> <A href=\"" + homepage + "\">" + StatusLineDisplayAddress + " </A";
}

} // namespace updater
