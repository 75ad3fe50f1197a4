#pragma once

// Reads the dialogs the program showed from the unattended journal (UPDATER_DIALOG_LOG). Every
// box is answered at once with its default button (UPDATER_DIALOG_ANSWERS set and empty).

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QTemporaryFile>

namespace updater::test {

struct ShownDialog
{
    QString title;
    QString text;
    QString icon;
};

class DialogJournal
{
public:
    // Call before the first dialog of the process.
    DialogJournal()
    {
        m_file.open();
        qputenv("UPDATER_DIALOG_LOG", m_file.fileName().toLocal8Bit());
        qputenv("UPDATER_DIALOG_ANSWERS", "");
    }

    QList<ShownDialog> dialogs() const
    {
        QList<ShownDialog> shown;
        QFile file(m_file.fileName());
        if (!file.open(QIODevice::ReadOnly))
            return shown;
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (line.trimmed().isEmpty())
                continue;
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            shown.append({o["title"].toString(), o["text"].toString(), o["icon"].toString()});
        }
        return shown;
    }

    QStringList texts() const
    {
        QStringList result;
        for (const ShownDialog& d : dialogs())
            result << d.text;
        return result;
    }

    void clear() { m_file.resize(0); }

private:
    QTemporaryFile m_file;
};

} // namespace updater::test
