#pragma once

// Small programs for the game folder that record how they were started.

#include "support/TestSupport.h"

#include <QByteArray>
#include <QFile>

namespace updater::test {

// Programs started detached take their time on a busy machine: how long a test waits for them.
constexpr int ProgramRecordsWithinMs = 30000;

// A shell script that writes its working folder into "<its path>.started", so a test sees that it
// ran and where. The record appears whole (written beside, then renamed), also when the program
// runs twice at once.
inline QByteArray recordingScript()
{
    return "#!/bin/sh\npwd -P > \"$0.started.$$\" && mv -f \"$0.started.$$\" \"$0.started\"\n";
}

// A stand-in for Wine: records its arguments, one a line, then its working folder, in
// "wine-started.txt" of its working folder, which appears whole.
inline QByteArray fakeWineScript()
{
    return "#!/bin/sh\n{ for a in \"$@\"; do echo \"$a\"; done; pwd -P; } > wine-started.txt.$$ && "
           "mv -f wine-started.txt.$$ wine-started.txt\n";
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
