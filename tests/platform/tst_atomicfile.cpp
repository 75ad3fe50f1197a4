#include "platform/AtomicFile.h"
#include "platform/UpdaterError.h"
#include "support/DiskEventLog.h"
#include "support/FileFaultInjection.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <optional>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace updater;

namespace {

// Makes writes fail as on a full disk: no file of this process may grow past `bytes`.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_previous);
        const rlimit limit{bytes, m_previous.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &m_previous); }

private:
    rlimit m_previous{};
};

} // namespace

class TestAtomicFile : public QObject
{
    Q_OBJECT

private slots:
    // A durable commit has the file's data on the disk before its name, and its folder's names
    // after: the disk events show what the target held at each.
    void writerReplacesTheTargetOnlyOnCommit_data()
    {
        QTest::addColumn<QString>("commit"); // "", "ordinary" or "durable"
        QTest::addColumn<bool>("diskFull");
        QTest::addColumn<QByteArray>("targetAfter");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("committed") << "ordinary" << false << QByteArray("new bytes") << ""
                                   << QStringList{"placed p1.rar: new bytes"};
        QTest::newRow("committed durably")
            << "durable" << false << QByteArray("new bytes") << ""
            << QStringList{"synced p1.rar: old", "synced .: new bytes", "durable p1.rar: new bytes"};
        QTest::newRow("abandoned") << "" << false << QByteArray("old") << "" << QStringList();
        QTest::newRow("write fails") << "durable" << true << QByteArray("old") << "Cannot write file "
                                     << QStringList();
    }

    void fullDiskIsNamed_data()
    {
        QTest::addColumn<bool>("smallFileSystem");
        QTest::newRow("injected") << false;
        // Where the machine allows it, the system's own error as well.
        QTest::newRow("small file system") << true;
    }

    // A full disk is named as such, so that the player knows what to do.
    void fullDiskIsNamed()
    {
        QFETCH(bool, smallFileSystem);
        QTemporaryDir folder;
        std::optional<test::FileFaultInjection> injected;
        if (!smallFileSystem)
            injected.emplace(FileFault::DiskFull, folder.path());
        else if (::geteuid() != 0 ||
                 ::mount("tmpfs", QFile::encodeName(folder.path()).constData(), "tmpfs", 0, "size=64k") != 0)
            QSKIP("mounting a small file system needs root");
        const QString target = folder.filePath("p1.rar");
        QString raised;
        {
            AtomicFileWriter file(target.toStdString(), ".updater-download-XXXXXX");
            try {
                const std::string block(4096, 'x');
                for (int i = 0; i < 64; ++i)
                    file.write(block.data(), block.size());
            } catch (const UpdaterError& e) {
                raised = e.what();
            }
        }
        const QStringList left = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
        if (smallFileSystem)
            ::umount(QFile::encodeName(folder.path()).constData());
        QCOMPARE(raised, QString("disk full"));
        QVERIFY(left.isEmpty());
    }
    void placedFileKeepsItsModeAndTime_data()
    {
        QTest::addColumn<bool>("mountedApart"); // the target's folder on a file system of its own
        QTest::newRow("same file system") << false;
        QTest::newRow("a folder mounted apart") << true;
    }
    void placedFileKeepsItsModeAndTime()
    {
        QFETCH(bool, mountedApart);
        QTemporaryDir folder;
        const QString target = folder.filePath("data/x.txt"), staged = folder.filePath("staged");
        QVERIFY(QDir(folder.path()).mkdir("data"));
        const QByteArray data = QFile::encodeName(folder.filePath("data"));
        if (mountedApart &&
            (::geteuid() != 0 || ::mount("tmpfs", data.constData(), "tmpfs", 0, "size=1m") != 0))
            QSKIP("mounting a file system needs root");
        const auto unmount = qScopeGuard([&] {
            if (mountedApart)
                ::umount2(data.constData(), MNT_DETACH);
        });
        test::writeFileOrDie(target, "old");
        test::writeFileOrDie(staged, "new");
        QCOMPARE(::chmod(QFile::encodeName(staged).constData(), 0751), 0);
        const timespec times[2] = {{0, UTIME_OMIT}, {1700000000, 5000}};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(staged).constData(), times, 0), 0);

        QVERIFY(placeFile(staged.toStdString(), target.toStdString()));

        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(target).constData(), &st), 0);
        QCOMPARE(test::bytesOf(target), QByteArray("new"));
        QCOMPARE(st.st_mode & 0777, mode_t(0751));
        QCOMPARE(st.st_mtim.tv_sec, times[1].tv_sec);
        QCOMPARE(st.st_mtim.tv_nsec, times[1].tv_nsec);
        QCOMPARE(QDir(folder.filePath("data")).entryList(QDir::Files | QDir::Hidden), QStringList{"x.txt"});
        QVERIFY(!QFileInfo::exists(staged));
    }

    void writerReplacesTheTargetOnlyOnCommit()
    {
        QFETCH(QString, commit);
        QFETCH(bool, diskFull);
        QFETCH(QByteArray, targetAfter);
        QFETCH(QString, error);
        QTemporaryDir folder;
        const QString target = folder.filePath("p1.rar");
        test::writeFileOrDie(target, "old");
        QString raised;
        {
            const test::DiskEventLog events([&](const QString& path) {
                return QDir(folder.path()).relativeFilePath(path) + ": " + test::bytesOf(target);
            });
            AtomicFileWriter file(target.toStdString(), ".updater-download-XXXXXX");
            std::optional<FileSizeLimit> limit;
            if (diskFull)
                limit.emplace(4);
            try {
                file.write("new bytes", 9);
                if (!commit.isEmpty())
                    file.commit(commit == "durable" ? Durability::Durable : Durability::Ordinary);
            } catch (const UpdaterError& e) {
                raised = e.what();
            }
            QTEST(events.lines(), "events");
        }
        QCOMPARE(raised, error.isEmpty() ? error : error + target);
        QCOMPARE(test::bytesOf(target), targetAfter);
        // No temporary file is left, and the target has the usual permissions.
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"p1.rar"});
        const mode_t mask = ::umask(0);
        ::umask(mask);
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(target).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0666 & ~mask);
    }
};

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "tst_atomicfile.moc"
