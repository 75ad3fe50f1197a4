#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace updater::demo {

// One <connection> block of the client information file.
struct ServerConnection
{
    QString display;
    QString desc;
    QString address;
    QString port;
    QString version;
    QString langtype;
    QStringList admins;
};

// What the game client reads from its connection file.
struct ClientInfo
{
    QString serviceType;
    QString serverType;
    QString registrationWeb;
    QList<ServerConnection> connections;
};

// Reads the file the way a tolerant game client would: tag by tag, no XML validation (the file
// declares encodings Qt does not know and is written without escaping).
bool readClientInfo(const QString& path, ClientInfo& info, QString& error);

// One line per server, e.g. "Valewood (demo) - 127.0.0.1:16900 (version 20, langtype 1)".
QString describeConnection(const ServerConnection& connection);

} // namespace updater::demo
