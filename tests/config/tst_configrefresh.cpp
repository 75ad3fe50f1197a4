#include "config/ConfigRefresh.h"
#include "config/Configuration.h"
#include "config/RunState.h"
#include "net/HttpClient.h"
#include "platform/QuitRequest.h"
#include "support/ScriptedHttpServer.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace updater;
using updater::test::GameFolder;
using updater::test::ScriptedHttpServer;
using Ending = ScriptedHttpServer::Ending;

namespace {

const QByteArray OldConfig = "[Main]\r\nHomepage=\"http://old.example.org/\"\r\nOverWriteClientInfo=1\r\n";
const QByteArray NewConfig = "[Main]\r\nHomepage=\"http://new.example.org/\"\r\nOverWriteClientInfo=1\r\n";
// Spelled differently from "Tarvo-Updater\updater4.cfg": the game folder ignores letter case.
const QString ConfigOnDisk = "tarvo-updater/Updater4.CFG";

QString failureText(const std::string& link, const QString& replyText)
{
    return "-= CRITICAL ERROR 4 =-\n\nCan't download new " + QString::fromStdString(link) +
           "\n\nError message: " + replyText +
           "\nAsk GM for fix.\n\nDo u want to connect server with old config file? (maybe it will work)";
}

} // namespace

class TestConfigRefresh : public QObject
{
    Q_OBJECT

    QTemporaryDir m_logDir;
    QString m_logPath;

    QList<QJsonObject> dialogs() const { return updater::test::readDialogJournal(m_logPath); }

    static Configuration refreshingFrom(const std::string& link)
    {
        Configuration config;
        config.overWriteClientInfo = 1;
        config.configLink = link;
        return config;
    }

    void checkFailureBox(const QJsonObject& box, const std::string& link, const QString& replyText,
                         const QString& answer)
    {
        QCOMPARE(box["title"].toString(), "Alert");
        QCOMPARE(box["text"].toString(), failureText(link, replyText));
        QCOMPARE(box["icon"].toString(), "stop");
        QCOMPARE(box["buttons"].toArray(), (QJsonArray{"Yes", "No"}));
        QCOMPARE(box["answer"].toString(), answer);
    }

private slots:
    void initTestCase()
    {
        // The dialog service reads these once, at its first box: the failing cases below answer
        // Yes, No, Yes in this order.
        m_logPath = m_logDir.filePath("dialogs.jsonl");
        qputenv("UPDATER_DIALOG_LOG", m_logPath.toLocal8Bit());
        qputenv("UPDATER_DIALOG_ANSWERS", "Yes,No,Yes");
    }

    void cleanup() { resetQuitRequest(); }

    void replacesTheFileAndAllowsStarting()
    {
        GameFolder game;
        game.write(ConfigOnDisk, OldConfig);
        ScriptedHttpServer server;
        server.serve("/cfg/updater4.cfg", ScriptedHttpServer::ok(NewConfig.toStdString()));
        HttpClient client;
        RunState state;
        refreshConfig(refreshingFrom(server.url("/cfg/updater4.cfg")), client, state);
        QCOMPARE(game.read(ConfigOnDisk), NewConfig);
        QVERIFY(!game.exists("Tarvo-Updater/updater4.cfg"));
        QVERIFY(state.configRefreshed);
        QVERIFY(dialogs().isEmpty());
    }

    void anHtmlPageBecomesTheFile()
    {
        GameFolder game;
        game.write(ConfigOnDisk, OldConfig);
        const std::string page = "<html><body>Welcome to our community!</body></html>";
        ScriptedHttpServer server;
        server.serve("/", {"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n" + page, Ending::Close});
        HttpClient client;
        RunState state;
        refreshConfig(refreshingFrom(server.url("/")), client, state);
        QCOMPARE(game.read(ConfigOnDisk).toStdString(), page);
        QVERIFY(state.configRefreshed);
    }

    void disabledRefreshDoesNothing()
    {
        GameFolder game;
        game.write(ConfigOnDisk, OldConfig);
        ScriptedHttpServer server;
        server.serve("/cfg", ScriptedHttpServer::ok(NewConfig.toStdString()));
        HttpClient client;
        RunState state;
        Configuration config = refreshingFrom(server.url("/cfg"));
        config.overWriteClientInfo = 0;
        refreshConfig(config, client, state);
        QVERIFY(server.requests().empty());
        QCOMPARE(game.read(ConfigOnDisk), OldConfig);
        QVERIFY(!state.configRefreshed);
        QVERIFY(dialogs().isEmpty());
    }

    void notFoundAnsweredYesKeepsTheOldFile()
    {
        GameFolder game;
        game.write(ConfigOnDisk, OldConfig);
        ScriptedHttpServer server;
        HttpClient client;
        RunState state;
        const std::string link = server.url("/missing/updater4.cfg");
        refreshConfig(refreshingFrom(link), client, state);

        const QList<QJsonObject> boxes = dialogs();
        QCOMPARE(boxes.size(), 1);
        checkFailureBox(boxes.last(), link, "404 Not Found", "Yes");
        QCOMPARE(game.read(ConfigOnDisk), OldConfig);
        QCOMPARE(QDir(game.path() + "/tarvo-updater").entryList(QDir::Files), QStringList{"Updater4.CFG"});
        QVERIFY(!state.configRefreshed);
        QVERIFY(!isQuitPending());
    }

    void cutDownloadAnsweredNoAsksToQuit()
    {
        GameFolder game;
        game.write(ConfigOnDisk, OldConfig);
        ScriptedHttpServer server;
        server.serve("/cfg",
                     {"HTTP/1.1 200 OK\r\nContent-Length: 500\r\n\r\n[Main]\r\nHomepage=", Ending::Close});
        HttpClient client;
        RunState state;
        const std::string link = server.url("/cfg");
        refreshConfig(refreshingFrom(link), client, state);

        const QList<QJsonObject> boxes = dialogs();
        QCOMPARE(boxes.size(), 2);
        checkFailureBox(boxes.last(), link, "200 OK", "No");
        // Nothing of the partial download reaches the file.
        QCOMPARE(game.read(ConfigOnDisk), OldConfig);
        QVERIFY(!state.configRefreshed);
        QVERIFY(isQuitPending());
    }

    void unreachableServerShowsTheEarlierReply()
    {
        GameFolder game;
        game.write(ConfigOnDisk, OldConfig);
        HttpClient client;
        {
            ScriptedHttpServer server;
            server.serve("/list", ScriptedHttpServer::status("403 Forbidden"));
            QVERIFY_THROWS_EXCEPTION(HttpError, client.get(server.url("/list")));
        }
        RunState state;
        const std::string link =
            "http://127.0.0.1:" + std::to_string(ScriptedHttpServer::unusedPort()) + "/cfg";
        refreshConfig(refreshingFrom(link), client, state);

        const QList<QJsonObject> boxes = dialogs();
        QCOMPARE(boxes.size(), 3);
        checkFailureBox(boxes.last(), link, "403 Forbidden", "Yes");
        QCOMPARE(game.read(ConfigOnDisk), OldConfig);
        QVERIFY(!state.configRefreshed);
    }
};

QTEST_MAIN(TestConfigRefresh)
#include "tst_configrefresh.moc"
