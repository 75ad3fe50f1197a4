#pragma once

#include "platform/TestHooks.h"

#include <QString>

namespace updater::test {

// While it lives, the file code meets `fault` below `folder` as if the system raised it: an
// unwritable file or a full disk, the same for every user, root included.
class FileFaultInjection
{
public:
    FileFaultInjection(FileFault fault, const QString& folder)
    {
        injectFileFault(InjectedFileFault{fault, folder.toStdString()});
    }
    ~FileFaultInjection() { injectFileFault(std::nullopt); }
    FileFaultInjection(const FileFaultInjection&) = delete;
    FileFaultInjection& operator=(const FileFaultInjection&) = delete;
};

} // namespace updater::test
