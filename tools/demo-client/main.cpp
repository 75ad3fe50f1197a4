// The demo game client: reads Data/sclientinfo.xml from its working directory (the game folder),
// leaves a marker file so that scripts can tell it started, and shows the servers in a window, or
// prints them when there is no display or when given --print.
#include "ClientInfo.h"
#include "ServerListWindow.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTextStream>

#include <cstdio>
#include <cstring>
#include <memory>

using namespace updater::demo;

namespace {

constexpr const char* MarkerFile = "demo-client-started.txt";

QString findClientInfo(const QString& fileName)
{
    // The game's folder is "Data" on a case-insensitive file system; accept any spelling here.
    const QDir gameFolder = QDir::current();
    for (const QString& entry : gameFolder.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (entry.compare(QStringLiteral("Data"), Qt::CaseInsensitive) == 0)
            return entry + QLatin1Char('/') + fileName;
    }
    return QStringLiteral("Data/") + fileName;
}

bool wantsWindow(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--print") == 0)
            return false;
    }
    if (qEnvironmentVariable("QT_QPA_PLATFORM") == QLatin1String("offscreen"))
        return false;
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

QString infoFileName(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--info") == 0)
            return QString::fromLocal8Bit(argv[i + 1]);
    }
    return QStringLiteral("sclientinfo.xml");
}

void writeMarker(const ClientInfo& info, const QString& path, const QString& error)
{
    QFile marker(QString::fromLatin1(MarkerFile));
    if (!marker.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        std::fprintf(stderr, "demo client: cannot write %s\n", MarkerFile);
        return;
    }
    QTextStream out(&marker);
    out << "pid=" << QCoreApplication::applicationPid() << '\n';
    out << "started=" << QDateTime::currentDateTimeUtc().toString(Qt::ISODate) << '\n';
    out << "clientinfo=" << path << '\n';
    out << "servers=" << info.connections.size() << '\n';
    for (const ServerConnection& connection : info.connections)
        out << "server=" << describeConnection(connection) << '\n';
    if (!error.isEmpty())
        out << "error=" << error << '\n';
}

} // namespace

int main(int argc, char** argv)
{
    const bool window = wantsWindow(argc, argv);
    std::unique_ptr<QCoreApplication> app;
    if (window)
        app = std::make_unique<QApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);

    const QString path = findClientInfo(infoFileName(argc, argv));
    ClientInfo info;
    QString error;
    const bool ok = readClientInfo(path, info, error);
    writeMarker(info, path, error);

    if (!window) {
        QTextStream out(stdout);
        if (!ok) {
            out << "demo client: " << error << '\n';
            return 1;
        }
        out << "demo client: " << info.connections.size() << " server(s) in " << path << '\n';
        for (const ServerConnection& connection : info.connections)
            out << "  " << describeConnection(connection) << '\n';
        return 0;
    }

    ServerListWindow serverList(info, path, error);
    serverList.show();
    return app->exec();
}
