#pragma once

// Small programs for the game folder that record how they were started.

#include "support/TestSupport.h"

#include <QByteArray>
#include <QFile>

namespace updater::test {

// A shell script that writes its working folder into "<its path>.started", so a test sees that it
// ran and where.
inline QByteArray recordingScript()
{
    return "#!/bin/sh\npwd -P > \"$0.started\"\n";
}

// A stand-in for Wine: records its arguments, one a line, then its working folder, in
// "wine-started.txt" of its working folder.
inline QByteArray fakeWineScript()
{
    return "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > wine-started.txt\npwd -P >> "
           "wine-started.txt\n";
}

// Writes a program into the game folder, with execute permission.
inline void writeProgram(const GameFolder& game, const QString& name,
                         const QByteArray& bytes = recordingScript())
{
    game.write(name, bytes);
    const QString path = game.path() + "/" + name;
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner | QFileDevice::ExeUser);
}

} // namespace updater::test
