#include "platform/ProgramStarter.h"

#include "platform/DialogService.h"
#include "platform/GamePath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace updater {

namespace {

struct Launch
{
    QString program;
    QStringList arguments;
};

bool isWindowsProgram(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(2) == "MZ";
}

// The Wine program to use, or an empty text when there is none.
QString findWine()
{
    QString wanted = qEnvironmentVariable("WINE");
    if (wanted.isEmpty())
        wanted = "wine";
    if (wanted.contains('/')) {
        const QFileInfo info(wanted);
        return info.isFile() && info.isExecutable() ? wanted : QString();
    }
    return QStandardPaths::findExecutable(wanted);
}

void refuse(const std::string& commandLine, const std::string& reason)
{
    messageBox("-= Can't start " + commandLine + " =-\n\n" + reason, "Alert", DialogIcon::Stop);
}

} // namespace

bool startProgram(const std::string& commandLine)
{
    const QString path = QFile::decodeName(QByteArray::fromStdString(resolveGamePath(commandLine)));
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) {
        refuse(commandLine, "The file is not in the game folder.");
        return false;
    }
    if (info.isDir()) {
        refuse(commandLine, "This is a folder, not a program.");
        return false;
    }

    Launch launch;
#ifdef Q_OS_WIN
    launch.program = path;
#else
    if (isWindowsProgram(path)) {
        launch.program = findWine();
        if (launch.program.isEmpty()) {
            refuse(commandLine, "This is a Windows program and Wine was not found.\n"
                                "Install Wine (or set WINE to the Wine program to use) and try again.");
            return false;
        }
        launch.arguments << path;
    } else {
        if (!info.isExecutable()) {
            refuse(commandLine, "The file may not be executed. Give it execute permission and try again.");
            return false;
        }
        // "./name" so that a plain name is never looked up in PATH.
        launch.program = QDir::isAbsolutePath(path) ? path : "./" + path;
    }
#endif

    QProcess process;
    process.setProgram(launch.program);
    process.setArguments(launch.arguments);
    process.setWorkingDirectory(QDir::currentPath());
    if (!process.startDetached()) {
        refuse(commandLine, "The system could not start it.");
        return false;
    }
    return true;
}

} // namespace updater
