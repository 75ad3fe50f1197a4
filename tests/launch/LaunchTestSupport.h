#pragma once

// Helpers shared by the game start tests: small programs that record how they were started.

#include "support/DialogJournal.h"

#include <QByteArray>
#include <QFile>

namespace updater::test {

// A shell script that writes its working folder into "<its path>.started" (relative to that
// folder), so a test sees that it ran and where.
inline QByteArray recordingScript()
{
    return "#!/bin/sh\npwd -P > \"$0.started\"\n";
}

// A stand-in for Wine: records its arguments, one a line, then its working folder.
inline QByteArray fakeWineScript()
{
    return "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > wine-started.txt\npwd -P >> "
           "wine-started.txt\n";
}

inline void makeExecutable(const QString& path)
{
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner | QFileDevice::ExeUser);
}

} // namespace updater::test
