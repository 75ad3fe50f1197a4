#include "config/Configuration.h"
#include "fetch/ConfigRefresh.h"
#include "net/HttpClient.h"
#include "platform/ProfileFile.h"
#include "support/MinisignKeys.h"
#include "support/ScriptedHttpServer.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTest>

using namespace updater;
using updater::test::GameFolder;
using updater::test::ScriptedHttpServer;
using Ending = ScriptedHttpServer::Ending;

namespace {

const QByteArray OldConfig = "[Main]\r\nHomepage=\"http://old.example.org/\"\r\nOverWriteClientInfo=1\r\n";
const QByteArray NewConfig = "[Main]\r\nHomepage=\"http://new.example.org/\"\r\nOverWriteClientInfo=1\r\n";
const QByteArray HtmlPage = "<html><body>Welcome to our community!</body></html>";
// Spelled differently from "Tarvo-Updater\updater4.cfg": the game folder ignores letter case.
const QString ConfigOnDisk = "tarvo-updater/Updater4.CFG";

} // namespace

Q_DECLARE_METATYPE(RefreshOutcome::Result)

class TestConfigRefresh : public QObject
{
    Q_OBJECT

private slots:
    // Every row starts from OldConfig on disk. `served` is the server's whole reply to the refresh
    // (none: "404 Not Found"); `unreachable` sends the refresh to a port nobody listens on after an
    // earlier "403 Forbidden" on the same client.
    void refresh_data()
    {
        QTest::addColumn<int>("overWrite");
        QTest::addColumn<QByteArray>("served");
        QTest::addColumn<bool>("unreachable");
        QTest::addColumn<RefreshOutcome::Result>("result");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QByteArray>("fileAfter");

        const auto ok = [](const QByteArray& body) {
            return "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" +
                   body;
        };
        QTest::newRow("replaced") << 1 << ok(NewConfig) << false << RefreshOutcome::Refreshed << ""
                                  << NewConfig;
        QTest::newRow("2 counts as on")
            << 2 << ok(NewConfig) << false << RefreshOutcome::Refreshed << "" << NewConfig;
        QTest::newRow("an html page becomes the file")
            << 1 << "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n" + HtmlPage << false
            << RefreshOutcome::Refreshed << "" << HtmlPage;
        QTest::newRow("off: nothing asked")
            << 0 << ok(NewConfig) << false << RefreshOutcome::Skipped << "" << OldConfig;
        QTest::newRow("not found") << 1 << QByteArray() << false << RefreshOutcome::Failed << "404 Not Found"
                                   << OldConfig;
        QTest::newRow("cut short: nothing of it is kept")
            << 1 << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 500\r\n\r\n[Main]\r\nHomepage=") << false
            << RefreshOutcome::Failed << "body shorter than its Content-Length" << OldConfig;
        QTest::newRow("over 1 MiB: not a configuration")
            << 1 << ok(QByteArray(1024 * 1024 + 1, ';')) << false << RefreshOutcome::Failed
            << "configuration larger than 1 MiB" << OldConfig;
        QTest::newRow("more sections than a configuration is read with")
            << 1 << ok(NewConfig + QByteArray("[s]\n").repeated(ProfileFile::LargestSectionCount)) << false
            << RefreshOutcome::Failed << "configuration has too many lines" << OldConfig;
        QTest::newRow("unreachable: the cause, not an earlier reply")
            << 1 << QByteArray() << true << RefreshOutcome::Failed << "connection refused" << OldConfig;
    }

    void refresh()
    {
        QFETCH(int, overWrite);
        QFETCH(QByteArray, served);
        QFETCH(bool, unreachable);
        QFETCH(RefreshOutcome::Result, result);
        QFETCH(QString, reply);
        QFETCH(QByteArray, fileAfter);

        GameFolder game;
        game.write(ConfigOnDisk, OldConfig);
        ScriptedHttpServer server;
        if (!served.isEmpty())
            server.serve("/cfg/updater4.cfg", {served.toStdString(), Ending::Close});
        server.serve("/list", ScriptedHttpServer::status("403 Forbidden"));
        HttpClient client;
        Configuration config;
        config.overWriteClientInfo = overWrite;
        config.configLink = server.url("/cfg/updater4.cfg");
        if (unreachable) {
            QVERIFY_THROWS_EXCEPTION(HttpError, client.get(server.url("/list")));
            config.configLink =
                "http://127.0.0.1:" + std::to_string(ScriptedHttpServer::unusedPort()) + "/cfg";
        }

        const RefreshOutcome outcome = refreshConfig(config, client);

        QCOMPARE(outcome.result, result);
        QCOMPARE(QString::fromStdString(outcome.reply), reply);
        QCOMPARE(game.read(ConfigOnDisk), fileAfter);
        // The file is replaced in place: no second spelling, no leftovers beside it.
        QCOMPARE(QDir(game.path() + "/tarvo-updater").entryList(QDir::Files | QDir::Hidden),
                 QStringList{"Updater4.CFG"});
        if (overWrite == 0)
            QVERIFY(server.requests().empty());
    }

    // With the community's key in the game folder, only a copy signed with it replaces the file.
    void signedRefresh_data()
    {
        // valid, missing, other copy; "older": signed before the copy in use
        QTest::addColumn<QString>("signature");
        QTest::addColumn<QString>("reply");
        QTest::newRow("signed") << "valid"
                                << "";
        QTest::newRow("no signature") << "missing"
                                      << "no signature";
        QTest::newRow("signature of another copy") << "other copy"
                                                   << "signature not valid";
        QTest::newRow("signature file too large") << "huge"
                                                  << "signature too large";
        QTest::newRow("older than the one in use") << "older"
                                                   << "configuration older than the one in use";
    }

    void signedRefresh()
    {
        QFETCH(QString, signature);
        QFETCH(QString, reply);
        test::MinisignKeys keys;
        if (!keys.valid())
            QSKIP("minisign is not installed (scripts/setup installs it)");
        GameFolder game;
        game.write(ConfigOnDisk, OldConfig);
        game.write("tarvo-updater/patchlist.pub", keys.publicKeyFile());
        if (signature == "older")
            game.write(ConfigOnDisk + ".minisig", keys.sign(OldConfig, "timestamp:200"));
        ScriptedHttpServer server;
        server.serve("/updater4.cfg", ScriptedHttpServer::ok(NewConfig.toStdString()));
        if (signature == "huge")
            server.serve("/updater4.cfg.minisig", ScriptedHttpServer::ok(std::string(70000, 's')));
        else if (signature != "missing")
            server.serve("/updater4.cfg.minisig",
                         ScriptedHttpServer::ok(keys.sign(signature == "other copy" ? OldConfig : NewConfig,
                                                          signature == "older" ? "timestamp:100" : QString())
                                                    .toStdString()));
        HttpClient client;
        Configuration config;
        config.overWriteClientInfo = 1;
        config.configLink = server.url("/updater4.cfg");

        const RefreshOutcome outcome = refreshConfig(config, client);

        QCOMPARE(outcome.result, reply.isEmpty() ? RefreshOutcome::Refreshed : RefreshOutcome::Failed);
        QCOMPARE(QString::fromStdString(outcome.reply), reply);
        QCOMPARE(game.read(ConfigOnDisk), reply.isEmpty() ? NewConfig : OldConfig);
        // What was taken keeps its signature beside it, for the next refresh to compare.
        QCOMPARE(game.exists(ConfigOnDisk + ".minisig"), reply.isEmpty() || signature == "older");
    }
};

QTEST_MAIN(TestConfigRefresh)
#include "tst_configrefresh.moc"
