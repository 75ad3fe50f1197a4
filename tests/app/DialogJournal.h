#pragma once

#include "app/Dialogs.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QJsonObject>
#include <QList>
#include <QStringList>
#include <QTemporaryFile>

#include <vector>

namespace updater::test {

// Journals every box of this process into a fresh file and answers each at once: first with
// `answers` in order, then with the box's default button.
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

} // namespace updater::test
