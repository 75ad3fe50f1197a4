// Downloading an archive to a file: which failures are tried again and after how long.

#include "net/HttpClient.h"
#include "patch/PatchDownload.h"
#include "platform/StopFlag.h"
#include "support/ScriptedHttpServer.h"
#include "support/StopLater.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QTest>

using namespace updater;
using namespace updater::test;
using namespace std::chrono_literals;
using Replies = std::vector<ScriptedHttpServer::Reply>;

Q_DECLARE_METATYPE(Replies)

namespace {

const ScriptedHttpServer::Reply Unavailable = ScriptedHttpServer::status("503 Service Unavailable");

// The first 6 of 11 bytes, then the server closes.
const ScriptedHttpServer::Reply Cut{"HTTP/1.1 200 OK\r\nETag: \"v1\"\r\nContent-Length: 11\r\n\r\nhello ",
                                    ScriptedHttpServer::Ending::Close};

} // namespace

class DownloadTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_folder;
    QString target() const { return m_folder.filePath("patch.rar"); }

private slots:
    void init()
    {
        setRetryTimingForTest({{50ms, 50ms, 50ms}, 60s});
        for (const QString& name : QDir(m_folder.path()).entryList(QDir::Files | QDir::Hidden))
            QFile::remove(m_folder.filePath(name));
    }

    void retries_data()
    {
        QTest::addColumn<Replies>("replies"); // in turn, the last repeating
        QTest::addColumn<int>("requests");
        QTest::addColumn<QByteArray>("file"); // null: the download fails
        QTest::addColumn<QString>("cause");
        QTest::newRow("503 then 200: one retry")
            << Replies{Unavailable, ScriptedHttpServer::ok("abc")} << 2 << QByteArray("abc") << "";
        QTest::newRow("404: not retried")
            << Replies{ScriptedHttpServer::status("404 Not Found"), ScriptedHttpServer::ok("abc")} << 1
            << QByteArray() << "404 Not Found";
        QTest::newRow("cut body: retried")
            << Replies{Cut, ScriptedHttpServer::ok("hello world")} << 2 << QByteArray("hello world") << "";
        QTest::newRow("503 until the retries run out")
            << Replies{Unavailable} << 4 << QByteArray() << "503 Service Unavailable";
    }
    void retries()
    {
        QFETCH(Replies, replies);
        QFETCH(int, requests);
        QFETCH(QByteArray, file);
        QFETCH(QString, cause);
        ScriptedHttpServer server;
        server.serveSequence("/p.rar", replies);
        HttpClient http;

        bool failed = false;
        try {
            downloadToFile(http, server.url("/p.rar"), target().toStdString());
        } catch (const std::exception&) {
            failed = true;
        }

        QCOMPARE(int(server.requests().size()), requests);
        QCOMPARE(failed, file.isNull());
        QCOMPARE(QString::fromStdString(http.lastFailure().cause), cause);
        QCOMPARE(bytesOf(target()), file.isNull() ? QByteArray("<missing>") : file);
    }

    void retryWaits_data()
    {
        QTest::addColumn<QByteArray>("retryAfter");
        QTest::addColumn<int>("capMs");
        QTest::addColumn<int>("leastMs");
        QTest::addColumn<int>("mostMs");
        QTest::newRow("the usual wait") << QByteArray() << 60000 << 50 << 900;
        QTest::newRow("Retry-After honoured") << QByteArray("Retry-After: 1\r\n") << 60000 << 1000 << 1900;
        QTest::newRow("Retry-After cut") << QByteArray("Retry-After: 3600\r\n") << 300 << 300 << 900;
    }
    void retryWaits()
    {
        QFETCH(QByteArray, retryAfter);
        QFETCH(int, capMs);
        QFETCH(int, leastMs);
        QFETCH(int, mostMs);
        setRetryTimingForTest({{50ms}, std::chrono::milliseconds(capMs)});
        ScriptedHttpServer server;
        server.serveSequence(
            "/p.rar", {ScriptedHttpServer::status("503 Service Unavailable", "", retryAfter.toStdString()),
                       ScriptedHttpServer::ok("abc")});
        HttpClient http;
        QList<int> reported;
        QElapsedTimer clock;
        clock.start();
        downloadToFile(http, server.url("/p.rar"), target().toStdString(), UINT64_MAX,
                       {nullptr, [&](int seconds) { reported << seconds; }});
        const qint64 elapsed = clock.elapsed();
        QVERIFY2(elapsed >= leastMs && elapsed <= mostMs, qPrintable(QString::number(elapsed)));
        QCOMPARE(bytesOf(target()), QByteArray("abc"));
        QCOMPARE(reported, (QList<int>{1, 0}));
    }

    void stopEndsTheWait()
    {
        setRetryTimingForTest({{5s}, 60s});
        ScriptedHttpServer server;
        server.serve("/p.rar", Unavailable);
        HttpClient http;
        StopFlag stop;
        QList<int> reported;
        QElapsedTimer clock;
        clock.start();
        {
            StopLater later(stop, 1200ms);
            QVERIFY_THROWS_EXCEPTION(
                HttpError, downloadToFile(http, server.url("/p.rar"), target().toStdString(), UINT64_MAX,
                                          {&stop, [&](int seconds) { reported << seconds; }}));
        }
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(reported, (QList<int>{5, 4}));
        QCOMPARE(server.requests().size(), size_t(1));
    }
};

QTEST_MAIN(DownloadTest)
#include "tst_download.moc"
