// The game client's connection file: the exact bytes of each variant and the failure cases.

#include "config/ConfigReader.h"
#include "launch/ClientInfoWriter.h"
#include "platform/ProfileFile.h"
#include "platform/UpdaterError.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <unistd.h>

using namespace updater;
using updater::test::GameFolder;

namespace {

const QByteArray ConfigFile = "Tarvo-Updater/updater4.cfg";

QByteArray crlf(const QByteArray& text)
{
    QByteArray out = text;
    return out.replace("\n", "\r\n");
}

// Writes the configuration file and reads it the way the launcher does at start.
Configuration configure(const GameFolder& game, const QByteArray& cfgText)
{
    game.write(ConfigFile, crlf(cfgText));
    return readConfigurationFrom(ProfileFile(ConfigFile.toStdString()));
}

const QByteArray MainOneServer = "[Main]\n"
                                 "HowManyServers=1\n"
                                 "HowManyClientInfos=1\n"
                                 "Registrationweb=http://reg.example/?a=1&b=2\n"
                                 "[Config_1]\n"
                                 "ClientName=client.exe\n"
                                 "Display=Tarvo & <Friends>\n"
                                 "Desc=Main\n"
                                 "IpResolve=10.0.0.5\n"
                                 "Account=6900\n"
                                 "Version=55\n"
                                 "Langtype=3\n"
                                 "Servicetype=korea\n"
                                 "Servertype=primary\n"
                                 "Admin_1=5\n"
                                 "Admin_2=0\n"
                                 "Admin_3=9\n"
                                 "[Config_2]\n"
                                 "Display=never read\n"
                                 "Admin_1=77\n"
                                 "Admin_2=78\n";

// The connection block of a server entry whose values were never read.
// The admin lines of the first block in a file written by the writer.
QByteArray firstAdminLines(const QByteArray& file)
{
    const int from = file.indexOf("\t\t<aid>\r\n") + 9;
    return file.mid(from, file.indexOf("\t\t</aid>\r\n") - from);
}

} // namespace

class TestClientInfo : public QObject
{
    Q_OBJECT

private slots:
    void oneFileHoldsBothEntriesWithOneServerConfigured()
    {
        GameFolder game;
        QDir(game.path()).mkdir("Data");
        const Configuration config = configure(game, MainOneServer);

        QVERIFY(ClientInfoWriter(config).write());

        QCOMPARE(game.read("Data/sclientinfo.xml"), test::goldenBytes("clientinfo/one-server.xml"));

        // Nothing changed: the next write gives the same bytes.
        const QByteArray first = game.read("Data/sclientinfo.xml");
        QVERIFY(ClientInfoWriter(config).write());
        QCOMPARE(game.read("Data/sclientinfo.xml"), first);
    }

    void oneFilePerEntryInALowerCaseDataFolder()
    {
        GameFolder game;
        QDir(game.path()).mkdir("data");
        game.write("data/one.xml", "old contents that are longer than anything the writer produces\r\n");
        const Configuration config = configure(game, "[Main]\n"
                                                     "HowManyServers=2\n"
                                                     "HowManyClientInfos=2\n"
                                                     "ClientInfoName=unused.xml\n"
                                                     "XmlVersion=<?xml version=\"1.0\"?>\n"
                                                     "Registrationweb=https://r.example/\n"
                                                     "[Config_1]\n"
                                                     "ClientInfoName=one.xml\n"
                                                     "Display=First\n"
                                                     "Desc=d1\n"
                                                     "IpResolve=one.example\n"
                                                     "Account=7000\n"
                                                     "Version=0\n"
                                                     "Langtype=-1\n"
                                                     "Servicetype=s1\n"
                                                     "Servertype=t1\n"
                                                     "[Config_2]\n"
                                                     "ClientInfoName=two.xml\n"
                                                     "Display=Second\n"
                                                     "Desc=d2\n"
                                                     "IpResolve=10.1.1.1\n"
                                                     "Account=7100\n"
                                                     "Version=12\n"
                                                     "Langtype=2\n"
                                                     "Servicetype=s2\n"
                                                     "Servertype=t2\n"
                                                     "Admin_1=-4\n"
                                                     "Admin_2=2000000\n");

        QVERIFY(ClientInfoWriter(config).write());

        QCOMPARE(game.read("data/one.xml"), test::goldenBytes("clientinfo/two-servers-one.xml"));
        QCOMPARE(game.read("data/two.xml"), test::goldenBytes("clientinfo/two-servers-two.xml"));
        QVERIFY(!game.exists("data/unused.xml"));
        QCOMPARE(QDir(game.path() + "/data").entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    void otherVariantsWriteNothing_data()
    {
        QTest::addColumn<QByteArray>("setting");
        QTest::newRow("absent") << QByteArray();
        QTest::newRow("zero") << QByteArray("HowManyClientInfos=0\n");
        QTest::newRow("three") << QByteArray("HowManyClientInfos=3\n");
        QTest::newRow("text") << QByteArray("HowManyClientInfos=two\n");
    }

    void otherVariantsWriteNothing()
    {
        QFETCH(QByteArray, setting);
        GameFolder game;
        QDir(game.path()).mkdir("Data");
        const Configuration config =
            configure(game, "[Main]\n" + setting + "[Config_1]\nClientInfoName=a.xml\n");

        QVERIFY(ClientInfoWriter(config).write());

        QVERIFY(QDir(game.path() + "/Data").isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }

    void adminListEndsAtFirstKeyThatIsNotANumber_data()
    {
        QTest::addColumn<QByteArray>("admins");
        QTest::addColumn<QByteArray>("lines");
        QTest::newRow("none") << QByteArray() << QByteArray();
        QTest::newRow("first is zero") << QByteArray("Admin_1=0\nAdmin_2=3\n") << QByteArray();
        QTest::newRow("second is zero")
            << QByteArray("Admin_1=5\nAdmin_2=0\nAdmin_3=9\n") << QByteArray("\t\t<admin>5</admin>\r\n");
        QTest::newRow("gap") << QByteArray("Admin_1=5\nAdmin_3=9\n")
                             << QByteArray("\t\t<admin>5</admin>\r\n");
        QTest::newRow("not a number")
            << QByteArray("Admin_1=7\nAdmin_2=x12\nAdmin_3=8\n") << QByteArray("\t\t<admin>7</admin>\r\n");
        QTest::newRow("trailing letters") << QByteArray("Admin_1=12ab\n") << QByteArray();
        QTest::newRow("too big") << QByteArray("Admin_1=99999999999\n") << QByteArray();
        QTest::newRow("negative and case") << QByteArray("ADMIN_1 = -3\nadmin_2=\"4\"\n")
                                           << QByteArray("\t\t<admin>-3</admin>\r\n\t\t<admin>4</admin>\r\n");
    }

    void adminListEndsAtFirstKeyThatIsNotANumber()
    {
        QFETCH(QByteArray, admins);
        QFETCH(QByteArray, lines);
        GameFolder game;
        QDir(game.path()).mkdir("Data");
        const Configuration config = configure(game, "[Main]\nHowManyClientInfos=1\n[Config_1]\n" + admins);

        QVERIFY(ClientInfoWriter(config).write());

        QCOMPARE(firstAdminLines(game.read("Data/sclientinfo.xml")), lines);
    }

    void longAdminListIsWrittenWhole()
    {
        GameFolder game;
        QDir(game.path()).mkdir("Data");
        QByteArray cfg = "[Main]\nHowManyClientInfos=1\n[Config_1]\n";
        QByteArray expected;
        for (int n = 1; n <= 100000; ++n) {
            cfg += "Admin_" + QByteArray::number(n) + "=" + QByteArray::number(n) + "\n";
            expected += "\t\t<admin>" + QByteArray::number(n) + "</admin>\r\n";
        }
        const Configuration config = configure(game, cfg);

        QVERIFY(ClientInfoWriter(config).write());

        QCOMPARE(firstAdminLines(game.read("Data/sclientinfo.xml")), expected);
    }

    void adminListsComeFromTheFileAsItIsNow()
    {
        GameFolder game;
        QDir(game.path()).mkdir("Data");
        const Configuration config = configure(game, MainOneServer);
        // A refresh replaced the file after start: only its admin lists count.
        QByteArray refreshed = MainOneServer;
        refreshed.replace("Display=Tarvo & <Friends>", "Display=Refreshed").replace("Admin_2=0", "Admin_2=6");
        game.write(ConfigFile, crlf(refreshed));

        QVERIFY(ClientInfoWriter(config).write());

        QCOMPARE(game.read("Data/sclientinfo.xml"),
                 test::goldenBytes("clientinfo/one-server.xml")
                     .replace("\t\t<admin>5</admin>\r\n",
                              "\t\t<admin>5</admin>\r\n\t\t<admin>6</admin>\r\n\t\t<admin>9</admin>\r\n"));
    }

    void missingConfigurationFileWritesNothingSilently()
    {
        GameFolder game;
        QDir(game.path()).mkdir("Data");
        QByteArray cfg = MainOneServer;
        cfg.replace("HowManyClientInfos=1", "HowManyClientInfos=2")
            .replace("HowManyServers=1", "HowManyServers=2")
            .replace("[Config_1]\n", "[Config_1]\nClientInfoName=a.xml\n")
            .replace("[Config_2]\n", "[Config_2]\nClientInfoName=b.xml\n");
        const Configuration config = configure(game, cfg);
        QVERIFY(QFile::remove(game.path() + "/" + ConfigFile));

        QVERIFY(ClientInfoWriter(config).write());

        QVERIFY(QDir(game.path() + "/Data").isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }

    void missingDataFolderIsReported()
    {
        GameFolder game;
        const Configuration config = configure(game, MainOneServer);

        QVERIFY(!ClientInfoWriter(config).write());

        QVERIFY(!game.exists("Data"));
    }

    void fileThatCannotBeCreatedIsAnError_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty name") << QByteArray("ClientInfoName=\n")
                                    << QString("Cannot create file Data\\");
        QTest::newRow("a folder") << QByteArray("ClientInfoName=sub\n")
                                  << QString("Cannot create file Data\\sub");
        QTest::newRow("missing sub-folder") << QByteArray("ClientInfoName=nowhere\\x.xml\n")
                                            << QString("Cannot create file Data\\nowhere\\x.xml");
    }

    void fileThatCannotBeCreatedIsAnError()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, message);
        GameFolder game;
        QDir(game.path()).mkpath("Data/sub");
        const Configuration config = configure(game, "[Main]\nHowManyClientInfos=1\n" + name);

        QString raised;
        try {
            ClientInfoWriter(config).write();
        } catch (const UpdaterError& error) {
            raised = QString::fromLatin1(error.what());
        }

        QCOMPARE(raised, message);
        QCOMPARE(
            QDir(game.path() + "/Data").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{"sub"});
    }

    void secondFileFailingKeepsTheFirst()
    {
        GameFolder game;
        QDir(game.path()).mkdir("Data");
        const Configuration config = configure(game, "[Main]\nHowManyServers=2\nHowManyClientInfos=2\n"
                                                     "[Config_1]\nClientInfoName=one.xml\n"
                                                     "[Config_2]\nClientInfoName=\n");
        QVERIFY_THROWS_EXCEPTION(UpdaterError, ClientInfoWriter(config).write());
        QVERIFY(game.read("Data/one.xml").endsWith("</clientinfo>\r\n"));
    }

    void readOnlyDataFolderLeavesTheOldFile()
    {
        if (::geteuid() == 0)
            QSKIP("Folder permissions do not bind the root user.");
        GameFolder game;
        QDir(game.path()).mkdir("Data");
        game.write("Data/sclientinfo.xml", "old");
        const Configuration config = configure(game, MainOneServer);
        const QString data = game.path() + "/Data";
        QFile::setPermissions(data, QFileDevice::ReadOwner | QFileDevice::ExeOwner);

        QVERIFY_THROWS_EXCEPTION(UpdaterError, ClientInfoWriter(config).write());

        QFile::setPermissions(data, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QCOMPARE(game.read("Data/sclientinfo.xml"), QByteArray("old"));
        QCOMPARE(QDir(data).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }
};

QTEST_MAIN(TestClientInfo)
#include "tst_clientinfo.moc"
