#include "launch/MouseFreedomAddOn.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTest>

using namespace updater;
using updater::test::GameFolder;

namespace {

// The game folder's own entries (the launcher's folder left out): "name=content" for a file,
// "name/" for a folder.
QStringList gameEntries(const GameFolder& game)
{
    QStringList entries;
    const QDir folder(game.path());
    for (const QFileInfo& entry :
         folder.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name)) {
        if (entry.fileName().compare("Tarvo-Updater", Qt::CaseInsensitive) == 0)
            continue;
        entries << (entry.isDir()
                        ? entry.fileName() + "/"
                        : entry.fileName() + "=" + QString::fromLatin1(game.read(entry.fileName())));
    }
    return entries;
}

} // namespace

class TestMouseFreedom : public QObject
{
    Q_OBJECT

private slots:
    // `sources` lie in the add-on folder with the content "new <name>"; `before` is the game
    // folder's entries beforehand, `after` afterwards (both as gameEntries gives them).
    void apply_data()
    {
        QTest::addColumn<bool>("choiceOn");
        QTest::addColumn<QStringList>("sources");
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<bool>("applied");
        QTest::addColumn<QStringList>("after");

        const QString folder = "Tarvo-Updater/ADDON's/GV_MOUSEFREEDOM/";
        QTest::newRow("on: installed without replacing a file that is there")
            << true
            << QStringList{"tarvo-updater/addon's/gv_mousefreedom/DINPUT.DLL",
                           "tarvo-updater/addon's/gv_mousefreedom/GV_MF.BIN",
                           "tarvo-updater/addon's/gv_mousefreedom/GV_MF.INI"}
            << QStringList{"GV_MF.ini=older ini"} << true
            << QStringList{"GV_MF.bin=new GV_MF.BIN", "GV_MF.ini=older ini", "dinput.dll=new DINPUT.DLL"};
        QTest::newRow("on: a source missing installs nothing")
            << true << QStringList{folder + "dinput.dll", folder + "GV_MF.bin"} << QStringList() << false
            << QStringList();
        QTest::newRow("off: installed files removed, in any letter case")
            << false << QStringList{folder + "dinput.dll", folder + "GV_MF.bin", folder + "GV_MF.ini"}
            << QStringList{"DINPUT.DLL=x", "GV_MF.bin/", "GV_MF.ini=x", "readme.txt=kept"} << true
            << QStringList{"GV_MF.bin/", "readme.txt=kept"};
        QTest::newRow("off: nothing installed")
            << false << QStringList() << QStringList() << true << QStringList();
    }

    void apply()
    {
        QFETCH(bool, choiceOn);
        QFETCH(QStringList, sources);
        QFETCH(QStringList, before);
        QFETCH(bool, applied);
        QFETCH(QStringList, after);
        GameFolder game;
        for (const QString& source : sources)
            game.write(source, "new " + source.section('/', -1).toLatin1());
        for (const QString& entry : before) {
            if (entry.endsWith('/'))
                QVERIFY(QDir(game.path()).mkdir(entry.chopped(1)));
            else
                game.write(entry.section('=', 0, 0), entry.section('=', 1).toLatin1());
        }
        QCOMPARE(gameEntries(game), before);

        QCOMPARE(applyMouseFreedom(choiceOn), applied);
        QCOMPARE(gameEntries(game), after);
        // A second time changes nothing.
        QCOMPARE(applyMouseFreedom(choiceOn), applied);
        QCOMPARE(gameEntries(game), after);
    }
};

QTEST_MAIN(TestMouseFreedom)
#include "tst_mousefreedom.moc"
