#include "config/ConfigReader.h"
#include "config/Configuration.h"
#include "platform/ProfileFile.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace updater;
using updater::test::GameFolder;

namespace {

const QString Marker = "Bad Configured Updater (kick GM's ass!)";

QString q(const std::string& s)
{
    return QString::fromLatin1(s.c_str(), qsizetype(s.size()));
}

// Every value of an entry as "name=value", so that a difference names the key.
QStringList describe(const ServerEntry& e)
{
    return {"ServerName=" + q(e.serverName),
            "ClientName=" + q(e.clientName),
            "ClientInfoName=" + q(e.clientInfoName),
            "Version(bool)=" + QString::number(e.resolveHost),
            "IpResolve=" + q(e.ipResolve),
            "Display=" + q(e.display),
            "Desc=" + q(e.desc),
            "Account=" + QString::number(e.account),
            "Char=" + QString::number(e.charPort),
            "Map=" + QString::number(e.map),
            "Version(int)=" + QString::number(e.version),
            "Langtype=" + QString::number(e.langtype),
            "Servicetype=" + q(e.servicetype),
            "Servertype=" + q(e.servertype)};
}

QStringList describeMain(const Configuration& c)
{
    return {"Homepage=" + q(c.homepage),
            "Config_link=" + q(c.configLink),
            "Patch_List=" + q(c.patchList),
            "TitleWindowName=" + q(c.titleWindowName),
            "OverWriteClientInfo=" + QString::number(c.overWriteClientInfo),
            "ClientInfoName=" + q(c.clientInfoName),
            "Registrationweb=" + q(c.registrationWeb),
            "BGM_Sound=" + q(c.bgmSound),
            "XmlVersion=" + q(c.xmlVersion),
            "HowManyServers=" + QString::number(c.howManyServers),
            "HowManyClientInfos=" + QString::number(c.howManyClientInfos)};
}

QStringList defaultEntry()
{
    return {"ServerName=ERROR",
            "ClientName=" + Marker,
            "ClientInfoName=" + Marker,
            "Version(bool)=0",
            "IpResolve=" + Marker,
            "Display=" + Marker,
            "Desc=" + Marker,
            "Account=6900",
            "Char=6121",
            "Map=5121",
            "Version(int)=20",
            "Langtype=1",
            "Servicetype=" + Marker,
            "Servertype=" + Marker};
}

QStringList emptyEntry()
{
    return describe(ServerEntry{});
}

QStringList defaultMain()
{
    return {"Homepage=" + Marker,
            "Config_link=" + Marker,
            "Patch_List=" + Marker,
            "TitleWindowName=" + Marker,
            "OverWriteClientInfo=0",
            "ClientInfoName=sclientinfo.xml",
            "Registrationweb=" + QString(DefaultRegistrationWeb),
            "BGM_Sound=01.mp3",
            "XmlVersion=" + QString(DefaultXmlVersion),
            "HowManyServers=1",
            "HowManyClientInfos=0"};
}

const QByteArray FullEntry1 = "[Config_1]\r\n"
                              "ServerName=Tarvo One\r\n"
                              "ClientName=client1.exe\r\n"
                              "ClientInfoName=info1.xml\r\n"
                              "Version=22\r\n"
                              "IpResolve=game.example.org\r\n"
                              "Display=\"Tarvo <b>1</b>\"\r\n"
                              "Desc='Low rates'\r\n"
                              "Account=7000\r\n"
                              "Char=$1AF5\r\n"
                              "Map=0x1389\r\n"
                              "Langtype=-3\r\n"
                              "Servicetype=korea\r\n"
                              "Servertype=primary\r\n";

const QByteArray FullEntry2 = "[Config_2]\r\n"
                              "ServerName=Tarvo Two\r\n"
                              "ClientName=client2.exe\r\n"
                              "ClientInfoName=info2.xml\r\n"
                              "IpResolve=10.0.0.2\r\n"
                              "Display=two\r\n"
                              "Desc=second\r\n"
                              "Account=7100\r\n"
                              "Char=7101\r\n"
                              "Map=7102\r\n"
                              "Langtype=2\r\n"
                              "Servicetype=america\r\n"
                              "Servertype=sakray\r\n";

QStringList fullEntry1()
{
    return {"ServerName=Tarvo One",
            "ClientName=client1.exe",
            "ClientInfoName=info1.xml",
            "Version(bool)=1",
            "IpResolve=game.example.org",
            "Display=Tarvo <b>1</b>",
            "Desc=Low rates",
            "Account=7000",
            "Char=6901",
            "Map=5001",
            "Version(int)=22",
            "Langtype=-3",
            "Servicetype=korea",
            "Servertype=primary"};
}

QStringList fullEntry2()
{
    return {"ServerName=Tarvo Two",
            "ClientName=client2.exe",
            "ClientInfoName=info2.xml",
            "Version(bool)=0",
            "IpResolve=10.0.0.2",
            "Display=two",
            "Desc=second",
            "Account=7100",
            "Char=7101",
            "Map=7102",
            "Version(int)=20",
            "Langtype=2",
            "Servicetype=america",
            "Servertype=sakray"};
}

} // namespace

class TestConfigReader : public QObject
{
    Q_OBJECT

    // Reads the configuration from a game folder whose updater4.cfg holds these bytes.
    static Configuration readFrom(const QByteArray& bytes)
    {
        GameFolder game;
        game.write("Tarvo-Updater/updater4.cfg", bytes);
        return readConfig().config.value(); // throws, failing the test, when the file was not found
    }

private slots:
    void everyKeyHasItsDefault_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("empty sections") << QByteArray("[Main]\r\n[Config_1]\r\n[Config_2]\r\n");
        QTest::newRow("no sections") << QByteArray("Homepage=http://x/\r\nServerName=x\r\nAccount=1\r\n");
        QTest::newRow("keys under other sections")
            << QByteArray("[Mains]\r\nHomepage=http://x/\r\n[Config_3]\r\nServerName=x\r\n");
        QTest::newRow("lines without equals signs")
            << QByteArray("[Main]\r\nHomepage\r\nTitleWindowName\r\n");
        QTest::newRow("binary garbage")
            << QByteArray("\x00\x01\xff\xfe[\x00]=\n\r\r=\xff\xff[Main\x00]=", 20);
    }

    void everyKeyHasItsDefault()
    {
        QFETCH(QByteArray, content);
        const Configuration c = readFrom(content);
        QCOMPARE(describeMain(c), defaultMain());
        QCOMPARE(describe(c.server[0]), defaultEntry());
        QCOMPARE(describe(c.server[1]), emptyEntry());
    }

    void everyKeyIsRead()
    {
        const Configuration c = readFrom("[Main]\r\n"
                                         "Homepage=http://news.example.org/\r\n"
                                         "Config_link=http://cfg.example.org/updater4.cfg\r\n"
                                         "Patch_List=http://patch.example.org/updates4.list\r\n"
                                         "TitleWindowName=\"Tarvo Online\"\r\n"
                                         "OverWriteClientInfo=1\r\n"
                                         "ClientInfoName=myinfo.xml\r\n"
                                         "Registrationweb=http://reg.example.org/\r\n"
                                         "BGM_Sound=02.mp3\r\n"
                                         "XmlVersion=<?xml version=\"1.0\"?>\r\n"
                                         "HowManyServers=2\r\n"
                                         "HowManyClientInfos=2\r\n" +
                                         FullEntry1 + FullEntry2);
        QCOMPARE(describeMain(c),
                 (QStringList{
                     "Homepage=http://news.example.org/", "Config_link=http://cfg.example.org/updater4.cfg",
                     "Patch_List=http://patch.example.org/updates4.list", "TitleWindowName=Tarvo Online",
                     "OverWriteClientInfo=1", "ClientInfoName=myinfo.xml",
                     "Registrationweb=http://reg.example.org/", "BGM_Sound=02.mp3",
                     "XmlVersion=<?xml version=\"1.0\"?>", "HowManyServers=2", "HowManyClientInfos=2"}));
        QCOMPARE(describe(c.server[0]), fullEntry1());
        QCOMPARE(describe(c.server[1]), fullEntry2());
        QCOMPARE(describe(c.entry(1)), fullEntry1());
        QCOMPARE(describe(c.entry(2)), fullEntry2());
    }

    void secondEntryOnlyForTwoServers_data()
    {
        QTest::addColumn<QByteArray>("howMany");
        QTest::addColumn<int>("expectedCount");
        QTest::addColumn<bool>("secondRead");
        QTest::newRow("2") << QByteArray("2") << 2 << true;
        QTest::newRow("0x2") << QByteArray("0x2") << 2 << true;
        QTest::newRow("1") << QByteArray("1") << 1 << false;
        QTest::newRow("3") << QByteArray("3") << 3 << false;
        QTest::newRow("0") << QByteArray("0") << 0 << false;
        QTest::newRow("-2") << QByteArray("-2") << -2 << false;
        QTest::newRow("two") << QByteArray("two") << 1 << false;
        QTest::newRow("empty") << QByteArray("") << 1 << false;
    }

    void secondEntryOnlyForTwoServers()
    {
        QFETCH(QByteArray, howMany);
        QFETCH(int, expectedCount);
        QFETCH(bool, secondRead);
        const Configuration c =
            readFrom("[Main]\r\nHowManyServers=" + howMany + "\r\n" + FullEntry1 + FullEntry2);
        QCOMPARE(c.howManyServers, expectedCount);
        QCOMPARE(describe(c.server[0]), fullEntry1());
        QCOMPARE(describe(c.server[1]), secondRead ? fullEntry2() : emptyEntry());
    }

    void twoServersWithoutSecondSection()
    {
        const Configuration c = readFrom("[Main]\r\nHowManyServers=2\r\n" + FullEntry1);
        QCOMPARE(describe(c.server[0]), fullEntry1());
        QCOMPARE(describe(c.server[1]), defaultEntry());
    }

    void versionIsReadTwice_data()
    {
        QTest::addColumn<QByteArray>("versionLine");
        QTest::addColumn<bool>("resolveHost");
        QTest::addColumn<int>("clientVersion");
        QTest::newRow("missing") << QByteArray() << false << 20;
        QTest::newRow("0") << QByteArray("Version=0\r\n") << false << 0;
        QTest::newRow("22") << QByteArray("Version=22\r\n") << true << 22;
        QTest::newRow("1") << QByteArray("Version=1\r\n") << true << 1;
        QTest::newRow("-1") << QByteArray("Version=-1\r\n") << true << -1;
        QTest::newRow("0x16") << QByteArray("Version=0x16\r\n") << true << 22;
        QTest::newRow("not a number") << QByteArray("Version=new\r\n") << false << 20;
        QTest::newRow("empty") << QByteArray("Version=\r\n") << false << 20;
        QTest::newRow("first line counts") << QByteArray("Version=0\r\nversion=22\r\n") << false << 0;
    }

    void versionIsReadTwice()
    {
        QFETCH(QByteArray, versionLine);
        QFETCH(bool, resolveHost);
        QFETCH(int, clientVersion);
        const Configuration c = readFrom("[Main]\r\nHowManyServers=2\r\n[Config_1]\r\n" + versionLine +
                                         "[Config_2]\r\n" + versionLine);
        for (const ServerEntry& entry : c.server) {
            QCOMPARE(entry.resolveHost, resolveHost);
            QCOMPARE(entry.version, clientVersion);
        }
    }

    void numberForms_data()
    {
        QTest::addColumn<QByteArray>("account");
        QTest::addColumn<int>("expected");
        // The number syntax itself (hexadecimal, quotes, signs) is the profile reader's.
        QTest::newRow("abc") << QByteArray("abc") << 6900;
        QTest::newRow("empty") << QByteArray("") << 6900;
        QTest::newRow("-1") << QByteArray("-1") << -1;
        QTest::newRow("0") << QByteArray("0") << 0;
    }

    void numberForms()
    {
        QFETCH(QByteArray, account);
        QFETCH(int, expected);
        const Configuration c = readFrom("[Config_1]\r\nAccount=" + account + "\r\n");
        QCOMPARE(c.server[0].account, expected);
    }

    void overWriteClientInfoTwoCountsAsOn()
    {
        const Configuration c = readFrom("[Main]\r\nOverWriteClientInfo=2\r\n");
        QCOMPARE(c.overWriteClientInfo, 2);
        QVERIFY(c.overWriteClientInfo != 0);
    }

    void mirrorsAreBlankSeparated_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QStringList>("mirrors");
        QTest::newRow("none") << QByteArray() << QStringList{};
        QTest::newRow("two, any blanks") << QByteArray(" http://m1.example/cdn \t http://m2.example:8080/ ")
                                         << QStringList{"http://m1.example/cdn", "http://m2.example:8080/"};
    }

    void mirrorsAreBlankSeparated()
    {
        QFETCH(QByteArray, value);
        QFETCH(QStringList, mirrors);
        QStringList read;
        for (const std::string& mirror : readFrom("[Main]\r\nPatch_Mirrors=" + value + "\r\n").patchMirrors)
            read << QString::fromStdString(mirror);
        QCOMPARE(read, mirrors);
    }

    void emptyValuesAreNotDefaults()
    {
        const Configuration c = readFrom("[Main]\r\nTitleWindowName=\r\nBGM_Sound=   \r\nHomepage=\"\"\r\n"
                                         "[Config_1]\r\nServerName=\r\n");
        QCOMPARE(c.titleWindowName, std::string());
        QCOMPARE(c.bgmSound, std::string());
        QCOMPARE(c.homepage, std::string());
        QCOMPARE(c.server[0].serverName, std::string());
        QCOMPARE(c.configLink, Marker.toStdString());
    }

    void fileNameInAnyLetterCase()
    {
        GameFolder game;
        game.write("tarvo-updater/UPDATER4.CFG", "[Main]\r\nTitleWindowName=found\r\n");
        QCOMPARE(readConfig().config.value().titleWindowName, std::string("found"));
    }

    void missingFile_data()
    {
        QTest::addColumn<QString>("present");
        QTest::addColumn<int>("problem");
        const int missing = int(ConfigRead::Problem::Missing);
        QTest::newRow("no updater folder") << QString() << missing;
        QTest::newRow("other files only") << QString("Tarvo-Updater/updater3.cfg") << missing;
        QTest::newRow("a folder of that name") << QString("Tarvo-Updater/updater4.cfg/") << missing;
        QTest::newRow("larger than 16 MiB")
            << QString("Tarvo-Updater/updater4.cfg") << int(ConfigRead::Problem::TooLarge);
    }

    void missingFile()
    {
        QFETCH(QString, present);
        QFETCH(int, problem);
        GameFolder game;
        const QByteArray config = "[Main]\r\nTitleWindowName=wrong file\r\n";
        if (present.endsWith('/'))
            QVERIFY(QDir().mkpath(present));
        else if (!present.isEmpty())
            game.write(present, problem == int(ConfigRead::Problem::TooLarge)
                                    ? config + QByteArray(16 * 1024 * 1024, ';')
                                    : config);

        const ConfigRead read = readConfig();
        QVERIFY(!read.config.has_value());
        QCOMPARE(int(read.problem), problem);
    }

    void readingFromAnOpenedFile()
    {
        // The same rules through the file object the refresh and tools use.
        QTemporaryDir folder;
        const QString path = folder.filePath("any.cfg");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Main]\nHowManyServers=2\n[Config_2]\nServerName=2nd\n");
        file.close();
        const Configuration c = readConfigurationFrom(ProfileFile(path.toStdString()));
        QCOMPARE(c.server[1].serverName, std::string("2nd"));
        QCOMPARE(describe(c.server[0]), defaultEntry());
    }

    void configFilePathIsTheWindowsName()
    {
        QCOMPARE(configFilePath(), std::string("Tarvo-Updater\\updater4.cfg"));
    }
};

QTEST_MAIN(TestConfigReader)
#include "tst_configreader.moc"
