#pragma once

#include "app/TestHooks.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QJsonObject>
#include <QList>
#include <QStringList>
#include <QTemporaryFile>

#include <vector>

namespace updater::test {

// Journals every box of this process into a fresh file and answers each at once: first with
// `answers` in order, then with the box's default button. Header-only: the tests that use it link
// the dialog service.
class DialogJournal
{
public:
    explicit DialogJournal(const std::vector<DialogAnswer>& answers = {})
    {
        m_file.open();
        setDialogJournal(m_file.fileName());
        setDialogAnswers(answers);
    }
    ~DialogJournal() { setDialogJournal({}); }

    // For a child process's UPDATER_DIALOG_LOG as well.
    QString path() const { return m_file.fileName(); }
    QList<QJsonObject> entries() const { return readDialogJournal(m_file.fileName()); }

    // The lines as written.
    QList<QByteArray> lines() const
    {
        QFile file(m_file.fileName());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QList<QByteArray> result = file.readAll().split('\n');
        result.removeAll(QByteArray());
        return result;
    }

    QStringList answers() const
    {
        QStringList result;
        for (const QJsonObject& entry : entries())
            result << entry["answer"].toString();
        return result;
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
