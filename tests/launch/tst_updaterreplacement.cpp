#include "launch/UpdaterReplacement.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTest>

using namespace updater;
using updater::test::GameFolder;

Q_DECLARE_METATYPE(UpdaterReplacement)

class TestUpdaterReplacement : public QObject
{
    Q_OBJECT

private slots:
    void find_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<UpdaterReplacement>("found");
        QTest::newRow("neither") << QStringList() << UpdaterReplacement::None;
        QTest::newRow("tool only") << QStringList{"duzuvadir.lol"} << UpdaterReplacement::None;
        QTest::newRow("new launcher without tool")
            << QStringList{"updater4.new"} << UpdaterReplacement::ToolMissing;
        QTest::newRow("both") << QStringList{"updater4.new", "duzuvadir.lol"} << UpdaterReplacement::Ready;
        QTest::newRow("both, in any letter case")
            << QStringList{"UPDATER4.NEW", "Duzuvadir.LOL"} << UpdaterReplacement::Ready;
        QTest::newRow("a folder is no new launcher")
            << QStringList{"updater4.new/", "duzuvadir.lol"} << UpdaterReplacement::None;
    }

    void find()
    {
        QFETCH(QStringList, files);
        QFETCH(UpdaterReplacement, found);
        GameFolder game;
        for (const QString& file : files)
            if (file.endsWith('/'))
                QVERIFY(QDir(game.path()).mkdir(file.chopped(1)));
            else
                game.write(file, "x");
        QCOMPARE(findUpdaterReplacement(), found);
    }
};

QTEST_MAIN(TestUpdaterReplacement)
#include "tst_updaterreplacement.moc"
