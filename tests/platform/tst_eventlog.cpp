#include "platform/EventLog.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace updater;

class TestEventLog : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath("updater.log"); }

private slots:
    void cleanup() { closeEventLog(); }

    void linesCarryTheTimeAndStayOneLine()
    {
        logEvent("before the log is open");
        QVERIFY(openEventLog(path().toStdString()));
        logEvent("GET http://example.org/l: 200 OK, 12 bytes, 3 ms");
        logEvent("box \"Alert\": first\r\nsecond -> OK");
        logEvent("entry \x1b[2Jname\x07\b\x7f");
        closeEventLog();
        logEvent("after the log is closed");

        const QList<QByteArray> lines = test::bytesOf(path()).split('\n');
        QCOMPARE(lines.size(), 4); // three lines and the empty rest after the last line break
        static const QRegularExpression time(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z $)");
        QVERIFY(time.match(QString::fromLatin1(lines[0].left(25))).hasMatch());
        QCOMPARE(lines[0].mid(25), QByteArray("GET http://example.org/l: 200 OK, 12 bytes, 3 ms"));
        QCOMPARE(lines[1].mid(25), QByteArray("box \"Alert\": first\\nsecond -> OK"));
        QCOMPARE(lines[2].mid(25), QByteArray("entry \\x1b[2Jname\\x07\\x08\\x7f"));
    }

    // A link planted at the log's name never leads the lines elsewhere: it goes, and a file of the
    // log's own takes its place.
    void neverWritesThroughALink()
    {
        const QString outside = m_dir.filePath("outside.txt");
        test::writeFileOrDie(outside, "someone else's file\n");
        QFile::remove(path());
        QVERIFY(QFile::link(outside, path()));
        QVERIFY(openEventLog(path().toStdString()));
        logEvent("a line");
        closeEventLog();
        QCOMPARE(test::bytesOf(outside), QByteArray("someone else's file\n"));
        QVERIFY(!QFileInfo(path()).isSymLink());
        QVERIFY(test::bytesOf(path()).endsWith(" a line\n"));
    }

    // The log never grows past its limit: the older part moves to ".1", replacing an older one.
    void keptUnderItsLimit()
    {
        test::writeFileOrDie(path() + ".1", "an older log");
        QVERIFY(openEventLog(path().toStdString()));
        const std::string text(999, 'x');
        const int lines = 2 * EventLogLimit / 1024 + 10;
        for (int i = 0; i < lines; ++i)
            logEvent(text);
        closeEventLog();

        const QByteArray current = test::bytesOf(path());
        const QByteArray older = test::bytesOf(path() + ".1");
        QVERIFY(current.size() <= EventLogLimit);
        QVERIFY(older.size() <= EventLogLimit);
        QVERIFY(!older.startsWith("an older log"));
        // Only whole lines move, and only when the next one would not fit: the older part is full.
        QVERIFY(current.endsWith(QByteArray(999, 'x') + "\n") && older.endsWith(QByteArray(999, 'x') + "\n"));
        QVERIFY(older.size() > EventLogLimit - 1025);
    }
};

QTEST_GUILESS_MAIN(TestEventLog)
#include "tst_eventlog.moc"
