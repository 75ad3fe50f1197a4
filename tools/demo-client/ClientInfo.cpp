#include "ClientInfo.h"

#include <QFile>
#include <QRegularExpression>

namespace updater::demo {

namespace {

QString firstElement(const QString& text, const QString& tag)
{
    const QRegularExpression element(QStringLiteral("<%1>(.*?)</%1>").arg(tag),
                                     QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = element.match(text);
    return match.hasMatch() ? match.captured(1).trimmed() : QString();
}

QStringList allElements(const QString& text, const QString& tag)
{
    QStringList values;
    const QRegularExpression element(QStringLiteral("<%1>(.*?)</%1>").arg(tag),
                                     QRegularExpression::DotMatchesEverythingOption);
    for (auto it = element.globalMatch(text); it.hasNext();)
        values << it.next().captured(1).trimmed();
    return values;
}

} // namespace

bool readClientInfo(const QString& path, ClientInfo& info, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
        return false;
    }
    // 8-bit text: Latin-1 keeps every byte.
    QString text = QString::fromLatin1(file.readAll());

    const QRegularExpression block(QStringLiteral("<connection>(.*?)</connection>"),
                                   QRegularExpression::DotMatchesEverythingOption);
    for (auto it = block.globalMatch(text); it.hasNext();) {
        const QString body = it.next().captured(1);
        ServerConnection connection;
        connection.display = firstElement(body, QStringLiteral("display"));
        connection.desc = firstElement(body, QStringLiteral("desc"));
        connection.address = firstElement(body, QStringLiteral("address"));
        connection.port = firstElement(body, QStringLiteral("port"));
        connection.version = firstElement(body, QStringLiteral("version"));
        connection.langtype = firstElement(body, QStringLiteral("langtype"));
        connection.admins = allElements(body, QStringLiteral("admin"));
        info.connections << connection;
    }
    // The header's own <desc> must not be confused with a connection's: read it without the blocks.
    text.remove(block);
    info.serviceType = firstElement(text, QStringLiteral("servicetype"));
    info.serverType = firstElement(text, QStringLiteral("servertype"));
    info.registrationWeb = firstElement(text, QStringLiteral("registrationweb"));

    if (!text.contains(QStringLiteral("<clientinfo>"))) {
        error = QStringLiteral("%1 has no <clientinfo> element").arg(path);
        return false;
    }
    return true;
}

QString describeConnection(const ServerConnection& connection)
{
    QString line = QStringLiteral("%1 - %2:%3 (version %4, langtype %5)")
                       .arg(connection.display, connection.address, connection.port, connection.version,
                            connection.langtype);
    if (!connection.admins.isEmpty())
        line += QStringLiteral(", admins %1").arg(connection.admins.join(QLatin1Char(' ')));
    return line;
}

} // namespace updater::demo
