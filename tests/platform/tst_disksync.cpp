#include "platform/DiskSync.h"
#include "support/DiskEventLog.h"
#include "support/TestSupport.h"

#include <QTest>

using namespace updater;

class TestDiskSync : public QObject
{
    Q_OBJECT

private slots:
    // The files an archive brought reach the disk one by one, each with the folders that name it;
    // past 64 of them, one sync of the whole file system is quicker.
    void writtenFilesReachTheDisk_data()
    {
        QTest::addColumn<int>("files");
        QTest::addColumn<int>("fileSyncs"); // files and folders
        QTest::addColumn<int>("fileSystemSyncs");
        QTest::newRow("64 files: one by one") << 64 << 64 + 2 << 0;
        QTest::newRow("65 files: the file system at once") << 65 << 0 << 1;
    }
    void writtenFilesReachTheDisk()
    {
        QFETCH(int, files);
        const test::GameFolder game;
        std::vector<std::string> paths;
        for (int i = 0; i < files; ++i) {
            paths.push_back("data/" + std::to_string(i));
            game.write(QString::fromStdString(paths.back()), "x");
        }
        const test::DiskEventLog events;

        QVERIFY(syncWrittenFiles(paths));

        QTEST(int(events.lines().filter(QRegularExpression("^synced ")).size()), "fileSyncs");
        QTEST(int(events.lines().filter(QRegularExpression("^file system synced \\.$")).size()),
              "fileSystemSyncs");
    }
};

QTEST_GUILESS_MAIN(TestDiskSync)
#include "tst_disksync.moc"
