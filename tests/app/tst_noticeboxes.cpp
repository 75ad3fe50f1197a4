// The window's side of the workers' notices: the box each kind becomes and what its answer leads to.
// The texts are checked by tst_messages.
#include "app/NoticeBoxes.h"
#include "app/QuitRequest.h"
#include "app/TestHooks.h"
#include "support/DialogJournal.h"

#include <QtTest>

#include <atomic>
#include <thread>

using namespace updater;
using test::DialogJournal;

Q_DECLARE_METATYPE(updater::NoticeKind)

class NoticeBoxesTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetQuitRequest(); }
    void cleanup() { resetQuitRequest(); }

    void boxAndConsequence_data()
    {
        QTest::addColumn<NoticeKind>("kind");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("fromWorker");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("icon");
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<bool>("quits");
        QTest::addColumn<bool>("closes");
        const QString plain = "Tarvo Updater";
        const QStringList ok{"OK"};
        const QStringList yesNo{"Yes", "No"};
        using K = NoticeKind;
        // clang-format off
        QTest::newRow("patch list unavailable") << K::PatchListUnavailable << "OK" << false << "Alert" << "stop" << ok << false << false;
        QTest::newRow("patch unavailable")      << K::PatchUnavailable     << "OK" << false << "Alert" << "stop" << ok << false << false;
        QTest::newRow("archive unreadable")     << K::ArchiveUnreadable    << "OK" << false << plain   << "none" << ok << false << true;
        QTest::newRow("archive comment")        << K::ArchiveComment       << "OK" << false << plain   << "none" << ok << false << false;
        QTest::newRow("archive entry failed")   << K::ArchiveEntryFailed   << "OK" << false << plain   << "none" << ok << false << false;
        QTest::newRow("archive header broken")  << K::ArchiveHeaderBroken  << "OK" << false << plain   << "none" << ok << false << false;
        QTest::newRow("record not written")     << K::RecordNotWritten     << "OK" << false << "Alert" << "stop" << ok << false << false;
        QTest::newRow("server unresolved, Yes") << K::ServerUnresolved     << "Yes" << false << "Alert" << "stop" << yesNo << false << false;
        QTest::newRow("server unresolved, No")  << K::ServerUnresolved     << "No"  << false << "Alert" << "stop" << yesNo << true << false;
        QTest::newRow("told by a worker thread") << K::ServerUnresolved    << "No"  << true  << "Alert" << "stop" << yesNo << true << false;
        // clang-format on
    }

    void boxAndConsequence()
    {
        QFETCH(NoticeKind, kind);
        QFETCH(QString, answer);
        QFETCH(bool, fromWorker);
        QFETCH(QString, title);
        QFETCH(QString, icon);
        QFETCH(QStringList, buttons);
        QFETCH(bool, quits);
        QFETCH(bool, closes);
        DialogJournal journal({answer == "Yes"  ? DialogAnswer::Yes
                               : answer == "No" ? DialogAnswer::No
                                                : DialogAnswer::Ok});
        std::atomic<int> closeCalls{0};
        NoticeBoxes boxes([&closeCalls] { ++closeCalls; });
        const Notice notice{kind, "subject", "404 Not Found", "cause", 3};

        // How many boxes were answered when tell() returned: it waits for its box.
        std::atomic<int> boxesAtReturn{-1};
        const auto tell = [&] {
            boxes.tell(notice);
            boxesAtReturn = int(journal.entries().size());
        };
        if (fromWorker) {
            std::thread worker(tell);
            // The box is shown on this thread, so it has to serve events meanwhile.
            QTRY_VERIFY_WITH_TIMEOUT(boxesAtReturn >= 0, 10000);
            worker.join();
        } else {
            tell();
        }

        QCOMPARE(boxesAtReturn.load(), 1);
        const QJsonObject box = journal.entries().value(0);
        QCOMPARE(box["title"].toString(), title);
        QCOMPARE(box["icon"].toString(), icon);
        QCOMPARE(box["buttons"].toVariant().toStringList(), buttons);
        QCOMPARE(box["answer"].toString(), answer);
        QCOMPARE(isQuitPending(), quits);
        QCOMPARE(closeCalls.load(), closes ? 1 : 0);
    }
};

QTEST_MAIN(NoticeBoxesTest)
#include "tst_noticeboxes.moc"
