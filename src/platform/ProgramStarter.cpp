#include "platform/ProgramStarter.h"

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

} // namespace

ProgramStart startProgram(const std::string& commandLine)
{
    const QString path = QFile::decodeName(QByteArray::fromStdString(resolveGamePath(commandLine)));
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) {
        return ProgramStart::NotFound;
    }
    if (info.isDir()) {
        return ProgramStart::IsFolder;
    }

    Launch launch;
#ifdef Q_OS_WIN
    launch.program = path;
#else
    if (isWindowsProgram(path)) {
        launch.program = findWine();
        if (launch.program.isEmpty()) {
            return ProgramStart::NoWine;
        }
        launch.arguments << path;
    } else {
        if (!info.isExecutable()) {
            return ProgramStart::NotExecutable;
        }
        // "./name" so that a plain name is never looked up in PATH.
        launch.program = QDir::isAbsolutePath(path) ? path : "./" + path;
    }
#endif

    QProcess process;
    process.setProgram(launch.program);
    process.setArguments(launch.arguments);
    process.setWorkingDirectory(QDir::currentPath());
    return process.startDetached() ? ProgramStart::Started : ProgramStart::Refused;
}

} // namespace updater
