#pragma once

#include "support/TestSupport.h"

#include <QFile>
#include <QJsonObject>
#include <QList>
#include <QStringList>
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

    struct Shown
    {
        QString title;
        QString text;
        QString icon;
    };
    QList<Shown> dialogs() const
    {
        QList<Shown> shown;
        for (const QJsonObject& entry : entries())
            shown.append({entry["title"].toString(), entry["text"].toString(), entry["icon"].toString()});
        return shown;
    }

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

} // namespace updater::test
