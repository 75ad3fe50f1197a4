// The dialog service in its unattended mode: every box is answered at once and written to the journal.
#include "app/Dialogs.h"
#include "app/QuitRequest.h"
#include "app/TestHooks.h"
#include "support/DialogJournal.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <cstdio>
#include <optional>

using namespace updater;

namespace {

// Makes the test binary show a fixed row of boxes and end, answered by the environment variables.
constexpr const char* ShowBoxesArgument = "--show-boxes";
// Makes it show one box a person answers, with a text that looks like HTML, print how the box
// shows its text and press OK.
constexpr const char* PersonBoxArgument = "--person-box";

DialogAnswer answerNamed(const QString& name)
{
    return name == "Yes" ? DialogAnswer::Yes : name == "No" ? DialogAnswer::No : DialogAnswer::Ok;
}

QString nameOf(DialogAnswer answer)
{
    return answer == DialogAnswer::Yes ? "Yes" : answer == DialogAnswer::No ? "No" : "OK";
}

// "yesno" a question box with Yes and No, anything else a stop box with OK.
DialogAnswer showBox(const QString& kind)
{
    if (kind == "yesno")
        return messageBox("question", "Q", DialogIcon::Question, DialogButtons::YesNo);
    return messageBox("alert", "A", DialogIcon::Stop);
}

} // namespace

class DialogsTest : public QObject
{
    Q_OBJECT

    std::optional<test::DialogJournal> m_journal;

private slots:
    void init()
    {
        m_journal.emplace();
        resetQuitRequest();
    }

    void cleanup() { m_journal.reset(); }

    void answersInOrderThenTheDefault_data()
    {
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QStringList>("expected");
        QTest::addRow("in order, then defaults")
            << QStringList{"Yes", "No", "OK"} << QStringList{"yesno", "yesno", "ok", "yesno", "ok"}
            << QStringList{"Yes", "No", "OK", "Yes", "OK"};
        // An answer the box has no button for: OK on an OK box, the default on a question.
        QTest::addRow("answer the box lacks")
            << QStringList{"No", "OK"} << QStringList{"ok", "yesno"} << QStringList{"OK", "Yes"};
        QTest::addRow("no answers") << QStringList{} << QStringList{"yesno", "ok"}
                                    << QStringList{"Yes", "OK"};
    }

    void answersInOrderThenTheDefault()
    {
        QFETCH(QStringList, answers);
        QFETCH(QStringList, boxes);
        QFETCH(QStringList, expected);
        std::vector<DialogAnswer> scripted;
        for (const QString& answer : answers)
            scripted.push_back(answerNamed(answer));
        setDialogAnswers(scripted);
        QStringList returned;
        for (const QString& box : boxes)
            returned << nameOf(showBox(box));
        QCOMPARE(returned, expected);
        QCOMPARE(m_journal->answers(), expected);
    }

    // One journal line per kind of box, fields in the documented order; 8-bit texts are read as Latin-1.
    void journalLinesOfEachKindOfBox()
    {
        messageBox("notice", "Info", DialogIcon::Information);
        messageBox("question", "Q", DialogIcon::Question, DialogButtons::YesNo);
        messageBox("plain box", "None", DialogIcon::None);
        showMessage("-= Critical failure =-\n\nWrite settings failed!");
        confirmYesNo("It's bitter like beer for kids...\n\nThe End?");
        showErrorBox("Cannot open file x");
        messageBox("-= CRITICAL ERROR 9 =-\n\nQuote \" backslash \\ tab\t Caf\xe9", "Alert",
                   DialogIcon::Stop);
        QCOMPARE(askNumber("kB/s (0 = no limit)", "Download speed limit", 200, 0, 1000), 200);

        QFile golden(qEnvironmentVariable("UPDATER_SOURCE_DIR") + "/tests/data/dialog-journal.jsonl");
        QVERIFY2(golden.open(QIODevice::ReadOnly), qPrintable(golden.fileName()));
        QList<QByteArray> expected = golden.readAll().split('\n');
        expected.removeAll(QByteArray());
        QCOMPARE(m_journal->lines(), expected);
    }

    // A worker's box is shown by the window thread's event loop while the worker waits for it.
    void workerWaitsForTheWindowThread()
    {
        std::atomic<bool> returned{false};
        DialogAnswer answer = DialogAnswer::No;
        QScopedPointer<QThread> worker(QThread::create([&] {
            answer = messageBox("from a worker", "Alert", DialogIcon::Stop, DialogButtons::YesNo);
            returned = true;
        }));
        worker->start();
        // This thread serves no events meanwhile, so the box cannot have been shown and answered.
        QVERIFY(!worker->wait(QDeadlineTimer(300)));
        QVERIFY(!returned);
        QTRY_VERIFY_WITH_TIMEOUT(returned, 10000);
        worker->wait();
        QCOMPARE(answer, DialogAnswer::Yes);
        QCOMPARE(m_journal->answers(), QStringList{"Yes"});
    }

    void boxesCloseAtOnceWhileAQuitIsPending()
    {
        requestQuit();
        QCOMPARE(messageBox("yes or no", "Alert", DialogIcon::Question, DialogButtons::YesNo),
                 DialogAnswer::No);
        QCOMPARE(confirmYesNo("The End?"), false);
        QCOMPARE(messageBox("ok", "Alert", DialogIcon::Stop), DialogAnswer::Ok);
        // Journaled all the same, with the answer the box closed with.
        QCOMPARE(m_journal->answers(), (QStringList{"No", "No", "OK"}));

        // Let the posted quit go by while no loop runs, then start over.
        QCoreApplication::processEvents();
        resetQuitRequest();
        QCOMPARE(messageBox("yes or no", "Alert", DialogIcon::Question, DialogButtons::YesNo),
                 DialogAnswer::Yes);
    }

    // Whole-process runs answer and journal boxes through the environment: the answer list is
    // read once, trimmed, in any letter case; an answer a box cannot take gives its default.
    void environmentDrivesAWholeProcess()
    {
        setDialogJournal({});
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("UPDATER_DIALOG_LOG", m_journal->path());
        env.insert("UPDATER_DIALOG_ANSWERS", "Yes, no,OK,No,bogus");
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), {ShowBoxesArgument});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(m_journal->answers(), (QStringList{"Yes", "No", "OK", "OK", "Yes", "Yes"}));
    }

    // A server's answer or an archive's comment shows as it is, never as rich text with links; and
    // the box takes the keyboard from the window behind it, whose default button Enter would press.
    void personBoxShowsPlainTextAndTakesTheKeyboard()
    {
        // A real X server without a window manager: there, as on a bare desktop, a window gets the
        // keyboard only when it asks for it (the offscreen platform hands it to every new window).
        QProcess xServer;
        xServer.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "800x600x24"});
        if (!xServer.waitForStarted(10000))
            QSKIP("Xvfb is not installed (scripts/setup installs it)");
        const auto endServer = qScopeGuard([&xServer] {
            xServer.terminate();
            xServer.waitForFinished(10000);
        });
        QVERIFY(QTest::qWaitFor([&] { return xServer.canReadLine(); }, 20000));
        const QByteArray display = ":" + xServer.readLine().trimmed();

        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", QString::fromLatin1(display));
        environment.insert("QT_QPA_PLATFORM", "xcb");
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {PersonBoxArgument});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(child.readAllStandardOutput(), QByteArray("plain, active\n"));
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (app.arguments().contains(ShowBoxesArgument)) {
        for (const char* box : {"yesno", "yesno", "ok", "ok", "yesno", "yesno"})
            showBox(box);
        return 0;
    }
    if (app.arguments().contains(PersonBoxArgument)) {
        QWidget behind;
        behind.show();
        behind.activateWindow();
        QTimer pressOk;
        // The box is judged once it has the keyboard, or when it has not had it for long.
        const QDeadlineTimer patience(10000);
        QObject::connect(&pressOk, &QTimer::timeout, [&patience] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
                    const bool active = QApplication::activeWindow() == box;
                    if (!active && !patience.hasExpired())
                        return;
                    std::printf("%s, %s\n", box->textFormat() == Qt::PlainText ? "plain" : "rich",
                                active ? "active" : "behind");
                    box->button(QMessageBox::Ok)->click();
                }
        });
        pressOk.start(10);
        messageBox("<b>Update</b> at <a href=\"http://evil.example\">this link</a>", "Alert",
                   DialogIcon::Stop);
        return 0;
    }
    DialogsTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_dialogs.moc"
