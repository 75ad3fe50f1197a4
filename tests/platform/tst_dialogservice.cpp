#include "platform/DialogService.h"
#include "platform/QuitRequest.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace updater;

class TestDialogService : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_journal;

    QList<QByteArray> journalLines() const
    {
        QList<QByteArray> lines;
        QFile file(m_journal);
        if (file.open(QIODevice::ReadOnly))
            for (const QByteArray& line : file.readAll().split('\n'))
                if (!line.isEmpty())
                    lines << line;
        return lines;
    }

    QList<QJsonObject> journal() const
    {
        QList<QJsonObject> boxes;
        for (const QByteArray& line : journalLines()) {
            QJsonParseError error;
            const QJsonDocument document = QJsonDocument::fromJson(line, &error);
            if (error.error != QJsonParseError::NoError)
                qWarning("not a JSON line: %s", line.constData());
            boxes << document.object();
        }
        return boxes;
    }

    QStringList answers() const
    {
        QStringList result;
        for (const QJsonObject& box : journal())
            result << box["answer"].toString();
        return result;
    }

private slots:
    void initTestCase()
    {
        // Read once, at the first box of the process: set before any box is shown.
        m_journal = m_dir.filePath("dialogs.jsonl");
        qputenv("UPDATER_DIALOG_LOG", m_journal.toLocal8Bit());
        qputenv("UPDATER_DIALOG_ANSWERS", "Yes, no,OK,No,bogus");
    }

    void cleanup()
    {
        QFile::remove(m_journal);
        resetQuitRequest();
    }

    // Must run first: it uses up the answer list.
    void answersAreUsedInOrderThenDefaults()
    {
        QCOMPARE(messageBox("first", "T", DialogIcon::Question, DialogButtons::YesNo), DialogAnswer::Yes);
        QCOMPARE(confirmYesNo("second"), false);                                // "no", any letter case
        QCOMPARE(messageBox("third", "T", DialogIcon::Stop), DialogAnswer::Ok); // "OK"
        showMessage("fourth");                                                  // "No" on an OK box: OK
        QCOMPARE(confirmYesNo("fifth"), true); // not an answer of this box: its default
        // The list is used up: every box takes its default button.
        QCOMPARE(messageBox("sixth", "T", DialogIcon::Question, DialogButtons::YesNo), DialogAnswer::Yes);
        QCOMPARE(confirmYesNo("seventh"), true);
        QCOMPARE(messageBox("eighth", "T", DialogIcon::Information), DialogAnswer::Ok);

        QCOMPARE(answers(), (QStringList{"Yes", "No", "OK", "OK", "Yes", "Yes", "Yes", "OK"}));
        QStringList texts;
        for (const QJsonObject& box : journal())
            texts << box["text"].toString();
        QCOMPARE(texts,
                 (QStringList{"first", "second", "third", "fourth", "fifth", "sixth", "seventh", "eighth"}));
    }

    void journalLineIsExactlyAsDocumented()
    {
        messageBox("-= CRITICAL ERROR 9 =-\n\nQuote \" backslash \\ tab\t Caf\xe9", "Alert",
                   DialogIcon::Stop);
        const QList<QByteArray> lines = journalLines();
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines[0],
                 QByteArray("{\"title\": \"Alert\", "
                            "\"text\": \"-= CRITICAL ERROR 9 =-\\n\\nQuote \\\" backslash \\\\ tab\\t "
                            "Caf\xc3\xa9\", "
                            "\"icon\": \"stop\", \"buttons\": [\"OK\"], \"answer\": \"OK\"}"));
        // And it is JSON whose text is the 8-bit text read as Latin-1.
        QCOMPARE(journal()[0]["text"].toString(),
                 QString::fromLatin1("-= CRITICAL ERROR 9 =-\n\nQuote \" backslash \\ tab\t Caf\xe9"));
    }

    void eachKindOfBox()
    {
        messageBox("notice", "Info", DialogIcon::Information);
        messageBox("question", "Q", DialogIcon::Question, DialogButtons::YesNo);
        messageBox("plain box", "None", DialogIcon::None);
        showMessage("-= Critical failure =-\n\nWrite settings failed!");
        confirmYesNo("It's bitter like beer for kids...\n\nThe End?");
        showErrorBox("Cannot open file x");

        const QList<QJsonObject> boxes = journal();
        QCOMPARE(boxes.size(), 6);
        const QString app = QString::fromStdString(applicationTitle());
        QVERIFY(!app.isEmpty());
        const struct
        {
            QString title, text, icon;
            QJsonArray buttons;
        } expected[] = {
            {"Info", "notice", "information", {"OK"}},
            {"Q", "question", "question", {"Yes", "No"}},
            {"None", "plain box", "none", {"OK"}},
            {app, "-= Critical failure =-\n\nWrite settings failed!", "none", {"OK"}},
            {"Confirm", "It's bitter like beer for kids...\n\nThe End?", "question", {"Yes", "No"}},
            {app, "Cannot open file x", "stop", {"OK"}},
        };
        for (int i = 0; i < boxes.size(); ++i) {
            QCOMPARE(boxes[i]["title"].toString(), expected[i].title);
            QCOMPARE(boxes[i]["text"].toString(), expected[i].text);
            QCOMPARE(boxes[i]["icon"].toString(), expected[i].icon);
            QCOMPARE(boxes[i]["buttons"].toArray(), expected[i].buttons);
            QCOMPARE(boxes[i].keys().size(), 5);
        }
    }

    void workerThreadWaitsForTheWindowThread()
    {
        DialogAnswer answer = DialogAnswer::No;
        Qt::HANDLE shownOn = nullptr;
        QThread* worker = QThread::create([&] {
            answer = messageBox("from a worker", "Alert", DialogIcon::Stop, DialogButtons::YesNo);
            shownOn = QThread::currentThreadId();
        });
        worker->start();
        // The box is handled by this (the window) thread's event loop while the worker waits.
        QTRY_VERIFY_WITH_TIMEOUT(worker->isFinished(), 10000);
        worker->wait();
        delete worker;
        QCOMPARE(answer, DialogAnswer::Yes);
        QVERIFY(shownOn != QThread::currentThreadId());
        QCOMPARE(journal().size(), 1);
        QCOMPARE(journal()[0]["text"].toString(), QString("from a worker"));
    }

    void boxesCloseAtOnceWhileAQuitIsPending()
    {
        requestQuit();
        QVERIFY(isQuitPending());
        QCOMPARE(messageBox("yes or no", "Alert", DialogIcon::Question, DialogButtons::YesNo),
                 DialogAnswer::No);
        QCOMPARE(confirmYesNo("The End?"), false);
        QCOMPARE(messageBox("ok", "Alert", DialogIcon::Stop), DialogAnswer::Ok);
        // Still written to the journal, with the answer the box closed with.
        QCOMPARE(answers(), (QStringList{"No", "No", "OK"}));

        // Let the posted quit go by while no loop runs, then start over.
        QCoreApplication::processEvents();
        resetQuitRequest();
        QVERIFY(!isQuitPending());
        QCOMPARE(confirmYesNo("again"), true);
    }
};

QTEST_MAIN(TestDialogService)
#include "tst_dialogservice.moc"
