// Downloading an archive to a file: which failures are tried again and after how long, and how a
// transfer that stopped part-way is resumed.

#include "net/HttpClient.h"
#include "patch/Downloads.h"
#include "patch/PatchDownload.h"
#include "patch/TestHooks.h"
#include "platform/StopFlag.h"
#include "support/LoopbackListener.h"
#include "support/ManualClock.h"
#include "support/ScriptedHttpServer.h"
#include "support/TestSupport.h"

#include <QTest>

#include <map>
#include <optional>
#include <set>

using namespace updater;
using namespace updater::test;
using namespace std::chrono_literals;
using Replies = std::vector<ScriptedHttpServer::Reply>;
using Kind = HttpClient::Failure::Kind;
Q_DECLARE_METATYPE(Kind)

Q_DECLARE_METATYPE(Replies)

namespace {

// An answer that may pass when tried again, and is not a busy server's.
const ScriptedHttpServer::Reply BadGateway = ScriptedHttpServer::status("502 Bad Gateway");

// The first 6 of 11 bytes, then the server closes.
const ScriptedHttpServer::Reply Cut{"HTTP/1.1 200 OK\r\nETag: \"v1\"\r\nContent-Length: 11\r\n\r\nhello ",
                                    ScriptedHttpServer::Ending::Close};

ScriptedHttpServer::Reply partial(const std::string& range, const std::string& body)
{
    return ScriptedHttpServer::status("206 Partial Content", body, "Content-Range: bytes " + range + "\r\n");
}

// The lines a request has after the usual three.
QStringList extraLines(const std::vector<std::string>& requests)
{
    QStringList lines;
    for (const std::string& request : requests) {
        const std::string usualEnd = "Library)\r\n";
        const auto from = request.find(usualEnd) + usualEnd.size();
        lines << QString::fromStdString(request.substr(from, request.size() - from - 2));
    }
    return lines;
}

} // namespace

class DownloadTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_folder;
    QString target() const { return m_folder.filePath("patch.rar"); }

private slots:
    void mirrorAddressKeepsThePath_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("onMirror");
        QTest::newRow("base with a path") << "http://m1.example:8080/cdn"
                                          << "http://origin.example/patches/p1.rar"
                                          << "http://m1.example:8080/cdn/patches/p1.rar";
        QTest::newRow("base ending in a slash") << "http://m1.example/"
                                                << "https://o.example:81/p.rar?v=2"
                                                << "http://m1.example/p.rar?v=2";
    }

    void mirrorAddressKeepsThePath()
    {
        QFETCH(QString, base);
        QFETCH(QString, address);
        QFETCH(QString, onMirror);
        QCOMPARE(QString::fromStdString(mirrorAddress(base.toStdString(), address.toStdString())), onMirror);
    }

    void init()
    {
        setRetryTimingForTest({{50ms, 50ms, 50ms}, 60s});
        for (const QString& name : QDir(m_folder.path()).entryList(QDir::Files | QDir::Hidden))
            QFile::remove(m_folder.filePath(name));
    }

    void retriesAndResumes_data()
    {
        QTest::addColumn<QByteArray>("part");   // on disk before, with the validator "v1"; null: none
        QTest::addColumn<Replies>("replies");   // in turn, the last repeating
        QTest::addColumn<QStringList>("extra"); // of each request, after the usual lines
        QTest::addColumn<QByteArray>("file");   // null: the download fails
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QByteArray>("partAfter");
        const QString range6 = "Range: bytes=6-\r\nIf-Range: \"v1\"\r\n";
        QTest::newRow("range answered: appended")
            << QByteArray("hello ") << Replies{partial("6-10/11", "world")} << QStringList{range6}
            << QByteArray("hello world") << "" << QByteArray();
        QTest::newRow("range ignored: starts over")
            << QByteArray("stale!") << Replies{ScriptedHttpServer::ok("hello world")} << QStringList{range6}
            << QByteArray("hello world") << "" << QByteArray();
        // Killed between the part's last byte and its rename: a 416 for exactly its length ends it (the
        // client's last answer stays that 416).
        const ScriptedHttpServer::Reply nothingPast11 =
            ScriptedHttpServer::status("416 Range Not Satisfiable", "", "Content-Range: bytes */11\r\n");
        const QString range11 = "Range: bytes=11-\r\nIf-Range: \"v1\"\r\n";
        QTest::newRow("whole part: 416 of its length")
            << QByteArray("hello world") << Replies{nothingPast11} << QStringList{range11}
            << QByteArray("hello world") << "416 Range Not Satisfiable" << QByteArray();
        QTest::newRow("416 of another length: refused")
            << QByteArray("hello worl") << Replies{nothingPast11}
            << QStringList{"Range: bytes=10-\r\nIf-Range: \"v1\"\r\n"} << QByteArray()
            << "416 Range Not Satisfiable" << QByteArray();
        QTest::newRow("range from another byte: refused")
            << QByteArray("hello ") << Replies{partial("0-10/11", "hello world")} << QStringList{range6}
            << QByteArray() << "invalid answer" << QByteArray();
        QTest::newRow("502 then 200: one retry")
            << QByteArray() << Replies{BadGateway, ScriptedHttpServer::ok("abc")} << QStringList{"", ""}
            << QByteArray("abc") << "" << QByteArray();
        QTest::newRow("404: not retried")
            << QByteArray()
            << Replies{ScriptedHttpServer::status("404 Not Found"), ScriptedHttpServer::ok("abc")}
            << QStringList{""} << QByteArray() << "404 Not Found" << QByteArray();
        QTest::newRow("cut body: the retry resumes")
            << QByteArray() << Replies{Cut, partial("6-10/11", "world")} << QStringList{"", range6}
            << QByteArray("hello world") << "" << QByteArray();
        QTest::newRow("cut body: kept when the retries run out")
            << QByteArray() << Replies{Cut, BadGateway} << QStringList{"", range6, range6, range6}
            << QByteArray() << "502 Bad Gateway" << QByteArray("hello ");
        const ScriptedHttpServer::Reply cutWithoutValidator{
            "HTTP/1.1 200 OK\r\nContent-Length: 11\r\n\r\nhello ", ScriptedHttpServer::Ending::Close};
        QTest::newRow("cut body without a validator: starts over")
            << QByteArray() << Replies{cutWithoutValidator, ScriptedHttpServer::ok("hello world")}
            << QStringList{"", ""} << QByteArray("hello world") << "" << QByteArray();
        QTest::newRow("cut body without a validator: not kept")
            << QByteArray() << Replies{cutWithoutValidator} << QStringList{"", "", "", ""} << QByteArray()
            << "body shorter than its Content-Length" << QByteArray();
    }
    void retriesAndResumes()
    {
        QFETCH(QByteArray, part);
        QFETCH(Replies, replies);
        QFETCH(QStringList, extra);
        QFETCH(QByteArray, file);
        QFETCH(QString, cause);
        QFETCH(QByteArray, partAfter);
        if (!part.isNull()) {
            writeFileOrDie(target() + ".part", part);
            writeFileOrDie(target() + ".part.validator", "\"v1\"");
        }
        ScriptedHttpServer server;
        server.serveSequence("/p.rar", replies);
        HttpClient http;

        bool failed = false;
        try {
            downloadToFile(http, server.url("/p.rar"), target().toStdString());
        } catch (const std::exception&) {
            failed = true;
        }

        QCOMPARE(extraLines(server.requests()), extra);
        QCOMPARE(failed, file.isNull());
        QCOMPARE(QString::fromStdString(http.lastFailure().cause), cause);
        QCOMPARE(bytesOf(target()), file.isNull() ? QByteArray("<missing>") : file);
        QCOMPARE(bytesOf(target() + ".part"), partAfter.isNull() ? QByteArray("<missing>") : partAfter);
        QCOMPARE(QFile::exists(target() + ".part.validator"), !partAfter.isNull());
    }

    // A validator behind a link is never read nor sent (what may be sent is the client's rule): the
    // download starts over, and what the link pointed at stays as it was.
    void validatorBehindALinkStartsOver()
    {
        writeFileOrDie(target() + ".part", "hello ");
        QTemporaryDir elsewhere;
        const QString outside = elsewhere.filePath("secret");
        writeFileOrDie(outside, "\"v1\"");
        QVERIFY(QFile::link(outside, target() + ".part.validator"));
        ScriptedHttpServer server;
        server.serve("/p.rar", ScriptedHttpServer::ok("hello world"));
        HttpClient http;
        downloadToFile(http, server.url("/p.rar"), target().toStdString());
        QCOMPARE(extraLines(server.requests()), QStringList{""});
        QCOMPARE(bytesOf(target()), QByteArray("hello world"));
        QCOMPARE(bytesOf(outside), QByteArray("\"v1\""));
    }

    // Waits run on a clock the test drives: each wait passes at once and is recorded.
    void retryWaits_data()
    {
        QTest::addColumn<QByteArray>("retryAfter");
        QTest::addColumn<int>("capMs");
        QTest::addColumn<int>("waitedMs");
        QTest::addColumn<QList<int>>("reported");
        QTest::newRow("the usual wait") << QByteArray() << 60000 << 1500 << QList<int>{2, 1, 0};
        QTest::newRow("Retry-After honoured")
            << QByteArray("Retry-After: 3\r\n") << 60000 << 3000 << QList<int>{3, 2, 1, 0};
        QTest::newRow("Retry-After cut")
            << QByteArray("Retry-After: 3600\r\n") << 2000 << 2000 << QList<int>{2, 1, 0};
        QTest::newRow("Retry-After 0 keeps the wait")
            << QByteArray("Retry-After: 0\r\n") << 60000 << 1500 << QList<int>{2, 1, 0};
    }
    void retryWaits()
    {
        QFETCH(QByteArray, retryAfter);
        QFETCH(int, capMs);
        QFETCH(int, waitedMs);
        QFETCH(QList<int>, reported);
        setRetryTimingForTest({{1500ms}, std::chrono::milliseconds(capMs)});
        ScriptedHttpServer server;
        server.serveSequence("/p.rar",
                             {ScriptedHttpServer::status("502 Bad Gateway", "", retryAfter.toStdString()),
                              ScriptedHttpServer::ok("abc")});
        HttpClient http;
        const ManualClock clock;
        DownloadWatch watch;
        watch.clock = &clock;
        QList<int> told;
        watch.retrying = [&](RetryWait wait) { told << wait.seconds; };
        downloadToFile(http, server.url("/p.rar"), target().toStdString(), UINT64_MAX, watch);
        QCOMPARE(clock.now() - Clock::TimePoint{}, Clock::Duration(std::chrono::milliseconds(waitedMs)));
        QCOMPARE(bytesOf(target()), QByteArray("abc"));
        QCOMPARE(told, reported);
    }

    // Nobody answering at the address: one retry, not three; and none once the slot's time for
    // silent addresses is over.
    void addressesWhereNobodyAnswers_data()
    {
        QTest::addColumn<bool>("silent"); // else refused
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<int>("waits");
        QTest::newRow("refused: one retry") << false << Kind::Refused << 1;
        QTest::newRow("silent past the slot's time: no retry") << true << Kind::TimedOut << 0;
    }
    void addressesWhereNobodyAnswers()
    {
        QFETCH(bool, silent);
        QFETCH(Kind, kind);
        QFETCH(int, waits);
        setRetryTimingForTest({{1s, 4s, 16s}, 60s});
        LoopbackListener listener(LoopbackListener::Silent);
        HttpClient http;
        http.setTimeLimits(1, 60);
        const ManualClock clock;
        DownloadWatch watch;
        watch.clock = &clock;
        if (silent)
            watch.noRetryAfter = clock.now();
        const uint16_t port = silent ? listener.port() : ScriptedHttpServer::unusedPort();
        const std::string address = "http://127.0.0.1:" + std::to_string(port) + "/p.rar";
        QVERIFY_THROWS_EXCEPTION(HttpError,
                                 downloadToFile(http, address, target().toStdString(), UINT64_MAX, watch));
        QCOMPARE(http.lastFailure().kind, kind);
        QCOMPARE(clock.waits().size(), size_t(waits));
    }

    // A busy server is waited for, on the clock the test drives: an address that answers busy hands
    // over to the next at once; once all did, the slot waits a jittered, doubling time over a
    // floor (the jitter here is fixed at a half: 1.5 s) or the server's Retry-After where it is
    // longer, for at most the slot's busy time.
    void busyServersAreWaitedFor_data()
    {
        QTest::addColumn<QStringList>("first");  // the first address's answers, in turn ("ok" serves)
        QTest::addColumn<QStringList>("second"); // the second's; empty: there is none
        QTest::addColumn<QList<int>>("waitsMs");
        QTest::addColumn<QString>("cause"); // empty: downloaded; "postponed": the player went on
        // What the slot's watch chooses: "" waits; "go on" once it is time to ask the player;
        // "give up" after 10 s.
        QTest::addColumn<QString>("choice");
        const auto busy = [](int times, const QString& then) {
            QStringList answers;
            for (int i = 0; i < times; ++i)
                answers << "503";
            return answers << then;
        };
        QTest::newRow("busy, then served: the floor, 2 s, 4 s")
            << busy(3, "ok") << QStringList() << QList<int>{1500, 2000, 4000} << "" << QString();
        QTest::newRow("429 counts as busy")
            << QStringList{"429", "ok"} << QStringList() << QList<int>{1500} << "" << QString();
        QTest::newRow("closed without a word counts as busy")
            << QStringList{"close", "ok"} << QStringList() << QList<int>{1500} << "" << QString();
        QTest::newRow("doubling stops at half a minute")
            << busy(7, "ok") << QStringList() << QList<int>{1500, 2000, 4000, 8000, 15000, 15000, 15000} << ""
            << QString();
        QTest::newRow("Retry-After, up to ten minutes")
            << QStringList{"503 after 120", "503 after 3600", "ok"} << QStringList()
            << QList<int>{120000, 600000} << "" << QString();
        QTest::newRow("Retry-After 0 is soon, not now")
            << QStringList{"503 after 0", "503 after 0", "ok"} << QStringList() << QList<int>{1500, 2000}
            << "" << QString();
        // 1.5 + 2 + 4 + 8 s, then 15 s while the half hour lasts.
        QList<int> halfHour{1500, 2000, 4000, 8000};
        for (int sum = 15500; sum + 15000 <= 30 * 60 * 1000; sum += 15000)
            halfHour << 15000;
        QTest::newRow("busy the whole half hour")
            << busy(200, "ok") << QStringList() << halfHour << "503 Service Unavailable" << QString();
        QTest::newRow("busy hands over at once")
            << QStringList{"503"} << QStringList{"ok"} << QList<int>{} << "" << QString();
        QTest::newRow("both busy: one wait, then round again")
            << QStringList{"503", "ok"} << QStringList{"503"} << QList<int>{1500} << "" << QString();
        QTest::newRow("a broken address is out, the busy one waited for")
            << QStringList{"404"} << busy(1, "ok") << QList<int>{1500} << "" << QString();
        // A minute is 1.5 + 2 + 4 + 8 + 15 + 15 + 15 s of waiting: then the player is asked.
        QTest::newRow("the player goes on without it after a minute")
            << busy(200, "ok") << QStringList() << QList<int>{1500, 2000, 4000, 8000, 15000, 15000, 15000}
            << "postponed"
            << "go on";
        QTest::newRow("a run's own limit") << busy(200, "ok") << QStringList()
                                           << QList<int>{1500, 2000, 4000, 8000} << "503 Service Unavailable"
                                           << "give up";
    }
    void busyServersAreWaitedFor()
    {
        QFETCH(QStringList, first);
        QFETCH(QStringList, second);
        QFETCH(QList<int>, waitsMs);
        QFETCH(QString, cause);
        QFETCH(QString, choice);
        RetryTiming timing;
        timing.jitter = [] { return 0.5; };
        setRetryTimingForTest(timing);
        const auto answers = [](const QStringList& script) {
            Replies replies;
            for (const QString& answer : script) {
                if (answer == "ok")
                    replies.push_back(ScriptedHttpServer::ok("abc"));
                else if (answer == "close")
                    replies.push_back({"", ScriptedHttpServer::Ending::Close});
                else if (answer.startsWith("503 after "))
                    replies.push_back(
                        ScriptedHttpServer::status("503 Service Unavailable", "",
                                                   "Retry-After: " + answer.mid(10).toStdString() + "\r\n"));
                else if (answer == "429")
                    replies.push_back(ScriptedHttpServer::status("429 Too Many Requests"));
                else if (answer == "404")
                    replies.push_back(ScriptedHttpServer::status("404 Not Found"));
                else
                    replies.push_back(ScriptedHttpServer::status("503 Service Unavailable"));
            }
            return replies;
        };
        ScriptedHttpServer server;
        server.serveSequence("/a/p.rar", answers(first));
        std::vector<std::string> addresses{server.url("/a/p.rar")};
        if (!second.isEmpty()) {
            server.serveSequence("/b/p.rar", answers(second));
            addresses.push_back(server.url("/b/p.rar"));
        }
        HttpClient http;
        const ManualClock clock;
        DownloadWatch watch;
        watch.clock = &clock;
        // Each wait, from its first second shown to its end (0), and the seconds shown first.
        QList<int> waited, firstShown;
        std::optional<Clock::TimePoint> waitBegan;
        watch.retrying = [&](RetryWait wait) {
            QVERIFY(wait.busy);
            if (!waitBegan) {
                waitBegan = clock.now();
                firstShown << wait.seconds;
            }
            if (wait.seconds == 0) {
                waited << int(
                    std::chrono::duration_cast<std::chrono::milliseconds>(clock.now() - *waitBegan).count());
                waitBegan.reset();
            }
        };
        watch.whileBusy = [&](BusyTime busy) {
            if (choice == "give up" && busy.waited >= std::chrono::seconds(10))
                return BusyChoice::GiveUp;
            return choice == "go on" && busy.timeToAsk ? BusyChoice::GoOnWithout : BusyChoice::Wait;
        };
        bool failed = false;
        try {
            downloadFromAddresses(http, addresses, target().toStdString(), UINT64_MAX, watch, {});
        } catch (const DownloadPostponed&) {
            QCOMPARE(cause, QString("postponed"));
            QCOMPARE(waited, waitsMs);
            return;
        } catch (const HttpError&) {
            failed = true;
        }
        QCOMPARE(failed, !cause.isEmpty());
        if (failed)
            QCOMPARE(QString::fromStdString(http.lastFailure().cause), cause);
        else
            QCOMPARE(bytesOf(target()), QByteArray("abc"));
        QCOMPARE(waited, waitsMs);
        if (!waitsMs.isEmpty())
            QCOMPARE(firstShown.first(), (waitsMs.first() + 999) / 1000);
    }

    // Each game folder asks the mirrors in an order of its own, the same on every start.
    void mirrorOrderIsShuffledAndStable()
    {
        const std::vector<std::string> mirrors{"m1", "m2", "m3", "m4", "m5"};
        std::set<std::vector<std::string>> orders;
        std::map<std::string, int> first;
        for (uint64_t seed = 0; seed < 200; ++seed) {
            const std::vector<std::string> order = mirrorOrder(mirrors, seed);
            QCOMPARE(order, mirrorOrder(mirrors, seed));
            QCOMPARE(std::set<std::string>(order.begin(), order.end()),
                     std::set<std::string>(mirrors.begin(), mirrors.end()));
            orders.insert(order);
            ++first[order.front()];
        }
        QVERIFY(orders.size() > 50);
        // Every mirror leads for a fair share of the folders: 40 of 200 expected.
        for (const std::string& mirror : mirrors)
            QVERIFY2(first[mirror] >= 20, mirror.c_str());
    }

    // An announced body past the cap fails before a byte of it is written.
    void announcedBodyPastTheCapFailsAtOnce()
    {
        ScriptedHttpServer server;
        server.serve("/p.rar", {"HTTP/1.1 200 OK\r\nContent-Length: 9663676416\r\n\r\nRar!",
                                ScriptedHttpServer::Ending::Hang});
        HttpClient http;
        DownloadWatch watch;
        watch.tooLarge = "archive larger than 8 GiB";
        QVERIFY_THROWS_EXCEPTION(std::exception, downloadToFile(http, server.url("/p.rar"),
                                                                target().toStdString(), 8ull << 30, watch));
        QCOMPARE(http.lastFailure().cause, "archive larger than 8 GiB");
        QVERIFY(!QFile::exists(target() + ".part"));
    }

    void stopEndsTheWait()
    {
        setRetryTimingForTest({{5s}, 60s});
        ScriptedHttpServer server;
        server.serve("/p.rar", BadGateway);
        HttpClient http;
        StopFlag stop;
        const ManualClock clock;
        DownloadWatch watch{&stop, {}, &clock};
        QList<int> told;
        watch.retrying = [&](RetryWait wait) {
            told << wait.seconds;
            if (wait.seconds == 4)
                stop.request();
        };
        QVERIFY_THROWS_EXCEPTION(
            HttpError, downloadToFile(http, server.url("/p.rar"), target().toStdString(), UINT64_MAX, watch));
        QCOMPARE(told, (QList<int>{5, 4}));
        QCOMPARE(clock.now() - Clock::TimePoint{}, Clock::Duration(1s));
        QCOMPARE(server.requests().size(), size_t(1));
    }
};

QTEST_MAIN(DownloadTest)
#include "tst_download.moc"
