#include "platform/GamePath.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTest>

using namespace updater;
using updater::test::GameFolder;

class TestGamePath : public QObject
{
    Q_OBJECT

private slots:
    void resolvesAgainstTheGameFolder_data()
    {
        QTest::addColumn<QStringList>("onDisk"); // folders end with '/'
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QString>("expected");

        QTest::newRow("backslashes become slashes")
            << QStringList{"Tarvo-Updater/GUI/LOGO.BMP"} << "Tarvo-Updater\\GUI\\LOGO.BMP"
            << "Tarvo-Updater/GUI/LOGO.BMP";
        QTest::newRow("folder in other case") << QStringList{"data/"} << "DATA\\x"
                                              << "data/x";
        QTest::newRow("every component in other case")
            << QStringList{"tarvo-updater/gui/logo.bmp"} << "Tarvo-Updater\\GUI\\LOGO.BMP"
            << "tarvo-updater/gui/logo.bmp";
        QTest::newRow("exact match wins") << QStringList{"data/", "Data/", "DATA/"} << "Data\\f"
                                          << "Data/f";
        QTest::newRow("exact file match wins") << QStringList{"a.TXT", "a.txt"} << "a.txt"
                                               << "a.txt";
        QTest::newRow("missing components keep their spelling")
            << QStringList{"Data/"} << "DATA\\New Folder\\Sub\\File.Ext"
            << "Data/New Folder/Sub/File.Ext";
        QTest::newRow("missing below a missing folder") << QStringList{} << "BGM\\01.mp3"
                                                        << "BGM/01.mp3";
        QTest::newRow("forward slashes accepted")
            << QStringList{"Data/clientinfo.XML"} << "data/CLIENTINFO.xml"
            << "Data/clientinfo.XML";
        QTest::newRow("doubled separators collapse") << QStringList{"Data/"} << "data\\\\x"
                                                     << "Data/x";
        QTest::newRow("dot components kept") << QStringList{"Data/"} << ".\\DATA\\x"
                                             << "./Data/x";
        QTest::newRow("trailing separator kept") << QStringList{"Data/"} << "DATA\\"
                                                 << "Data/";
        QTest::newRow("name with blanks and apostrophe")
            << QStringList{"Tarvo-Updater/ADDON's/GV_MOUSEFREEDOM/dinput.dll"}
            << "Tarvo-Updater\\addon's\\gv_mousefreedom\\DINPUT.DLL"
            << "Tarvo-Updater/ADDON's/GV_MOUSEFREEDOM/dinput.dll";
        QTest::newRow("empty") << QStringList{} << ""
                               << "";
    }

    void resolvesAgainstTheGameFolder()
    {
        QFETCH(QStringList, onDisk);
        QFETCH(QString, asked);
        QFETCH(QString, expected);
        GameFolder game;
        for (const QString& entry : onDisk) {
            if (entry.endsWith('/'))
                QVERIFY(QDir().mkpath(entry));
            else
                game.write(entry, "x");
        }
        QCOMPARE(QString::fromStdString(resolveGamePath(asked.toStdString())), expected);
    }

    void absolutePathsStayAbsolute()
    {
        GameFolder game;
        QVERIFY(QDir().mkpath("Data"));
        const std::string absolute = (game.path() + "/DATA/x").toStdString();
        QCOMPARE(QString::fromStdString(resolveGamePath(absolute)), game.path() + "/Data/x");
    }

    void resolverRemembersWhatItListedAndCreated()
    {
        test::GameFolder folder;
        folder.write("Data/Old.txt", "x");
        GamePathResolver resolver;
        QCOMPARE(QString::fromStdString(resolver.resolve("DATA\\OLD.TXT")), QString("Data/Old.txt"));
        // A name created after the folder was read is found in any letter case once noted.
        QCOMPARE(QString::fromStdString(resolver.resolve("data\\Sub")), QString("Data/Sub"));
        QVERIFY(QDir().mkpath("Data/Sub"));
        resolver.noteCreated("Data/Sub");
        QCOMPARE(QString::fromStdString(resolver.resolve("DATA\\SUB\\new.bin")), QString("Data/Sub/new.bin"));
        // Without the note the folder's first listing stands, as the resolver promises.
        folder.write("Data/Later.txt", "y");
        QCOMPARE(QString::fromStdString(resolver.resolve("data/LATER.TXT")), QString("Data/LATER.TXT"));
        resolver.noteCreated("Data/Later.txt");
        QCOMPARE(QString::fromStdString(resolver.resolve("data/LATER.TXT")), QString("Data/Later.txt"));
        // The one-off function reads the folder afresh.
        QCOMPARE(QString::fromStdString(resolveGamePath("data/later.TXT")), QString("Data/Later.txt"));
    }

    void updaterFolderPaths()
    {
        QCOMPARE(updaterFolderPath("updater4.cfg"), std::string("Tarvo-Updater\\updater4.cfg"));
        GameFolder game;
        game.write("TARVO-UPDATER/Updater4.Cfg", "[Main]\n");
        QCOMPARE(resolveGamePath(updaterFolderPath("updater4.cfg")),
                 std::string("TARVO-UPDATER/Updater4.Cfg"));
    }
};

QTEST_GUILESS_MAIN(TestGamePath)
#include "tst_gamepath.moc"
