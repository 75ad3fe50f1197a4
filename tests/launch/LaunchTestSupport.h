#pragma once

// Helpers shared by the game start tests: the journal of the unattended dialog service and
// small programs that record how they were started.

#include "support/TestSupport.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QTemporaryFile>

namespace updater::test {

// Points the dialog service at a journal file. Must be created before the process shows its
// first box (the service reads its variables once). With `answerAutomatically` every box is
// answered at once with its default button.
class DialogJournal
{
public:
    explicit DialogJournal(bool answerAutomatically = true)
    {
        m_file.open();
        qputenv("UPDATER_DIALOG_LOG", QFile::encodeName(m_file.fileName()));
        if (answerAutomatically)
            qputenv("UPDATER_DIALOG_ANSWERS", "");
        else
            qunsetenv("UPDATER_DIALOG_ANSWERS");
    }

    QList<QJsonObject> entries() const { return readDialogJournal(m_file.fileName()); }

    QStringList texts() const
    {
        QStringList result;
        for (const QJsonObject& entry : entries())
            result << entry["text"].toString();
        return result;
    }

    void clear() { m_file.resize(0); }

private:
    QTemporaryFile m_file;
};

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
