#include "platform/InstanceLock.h"
#include "support/FileFaultInjection.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstring>
#include <optional>
#include <unistd.h>

using namespace updater;
using updater::test::FileFaultInjection;

Q_DECLARE_METATYPE(updater::LockOutcome)

namespace {

// Helper mode of this test program: another process that takes the lock, says whether it got
// it, and holds it until its standard input closes or it is killed.
int holdLock(const char* path)
{
    InstanceLock lock(path);
    std::puts(lock.acquire() == LockOutcome::Acquired ? "locked" : "busy");
    std::fflush(stdout);
    char c;
    while (::read(STDIN_FILENO, &c, 1) > 0) {
    }
    return 0;
}

} // namespace

class TestInstanceLock : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString lockPath() const { return m_dir.filePath("Updater.lock"); }

    // Starts a helper on the lock and returns its first answer ("locked" or "busy").
    static QByteArray startHelper(QProcess& helper, const QString& path)
    {
        helper.start(QCoreApplication::applicationFilePath(), {"--hold-lock", path});
        if (!helper.waitForStarted(10000) || !helper.waitForReadyRead(10000))
            return "no answer";
        return helper.readLine().trimmed();
    }

    static void finish(QProcess& helper)
    {
        helper.closeWriteChannel();
        if (!helper.waitForFinished(10000))
            helper.kill();
        helper.waitForFinished(10000);
    }

private slots:
    // Never in a folder other users can write, where one could hold or plant the lock.
    void userLockPaths_data()
    {
        QTest::addColumn<QByteArray>("runtime");
        QTest::addColumn<QByteArray>("cache");
        QTest::addColumn<QStringList>("first");
        QTest::newRow("runtime folder")
            << QByteArray("/run/user/1000") << QByteArray("/c")
            << QStringList{"/run/user/1000/Updater.lock", "/c/tarvo-updater/Updater.lock"};
        QTest::newRow("cache folder")
            << QByteArray() << QByteArray("/c") << QStringList{"/c/tarvo-updater/Updater.lock"};
        QTest::newRow("home") << QByteArray() << QByteArray()
                              << QStringList{"/h/.cache/tarvo-updater/Updater.lock"};
    }
    void userLockPaths()
    {
        QFETCH(QByteArray, runtime);
        QFETCH(QByteArray, cache);
        QFETCH(QStringList, first);
        const QByteArray saved[] = {qgetenv("XDG_RUNTIME_DIR"), qgetenv("XDG_CACHE_HOME"), qgetenv("HOME")};
        qputenv("XDG_RUNTIME_DIR", runtime);
        qputenv("XDG_CACHE_HOME", cache);
        qputenv("HOME", "/h");
        const std::vector<std::string> found = InstanceLock::userLockPaths();
        qputenv("XDG_RUNTIME_DIR", saved[0]);
        qputenv("XDG_CACHE_HOME", saved[1]);
        qputenv("HOME", saved[2]);
        QStringList paths;
        for (const std::string& path : found)
            paths << QString::fromStdString(path);
        // Last, a private folder of this user's in the temporary folder, for a cache that cannot be made.
        QCOMPARE(paths.mid(0, first.size()), first);
        QCOMPARE(paths.size(), first.size() + 1);
        QVERIFY(paths.last().endsWith(QString("/tarvo-updater-%1/Updater.lock").arg(::getuid())));
    }

    // Only another holder keeps a launcher out: what else stands at the lock's name is mended or
    // named, and a file system without locks lets it go on.
    void whatStandsAtTheLockName_data()
    {
        QTest::addColumn<QString>("standing"); // what is at the lock's name before
        QTest::addColumn<LockOutcome>("outcome");
        QTest::addColumn<bool>("mended");
        QTest::newRow("nothing, folder missing") << "nothing" << LockOutcome::Acquired << false;
        QTest::newRow("a link elsewhere") << "link" << LockOutcome::Acquired << true;
        QTest::newRow("an empty folder") << "empty folder" << LockOutcome::Acquired << true;
        QTest::newRow("a folder with files") << "full folder" << LockOutcome::Unusable << false;
        QTest::newRow("a file this user cannot open") << "denied" << LockOutcome::Unusable << false;
        QTest::newRow("a file system without locks") << "no locks" << LockOutcome::NoLocking << false;
        QTest::newRow("its folder cannot be made, the next place is taken")
            << "file in the way" << LockOutcome::Acquired << false;
    }
    void whatStandsAtTheLockName()
    {
        QFETCH(QString, standing);
        QFETCH(LockOutcome, outcome);
        QFETCH(bool, mended);
        const QString folder = m_dir.filePath(standing);
        QString path = folder + "/Tarvo-Updater/updater.lock";
        QVERIFY(QDir().mkpath(folder + "/Tarvo-Updater"));
        if (standing == "link")
            QVERIFY(QFile::link(folder + "/elsewhere", path));
        if (standing.endsWith("folder"))
            QVERIFY(QDir().mkpath(path));
        if (standing == "full folder")
            QVERIFY(QFile(path + "/kept").open(QIODevice::WriteOnly));
        if (standing == "file in the way")
            QVERIFY(QFile(folder + "/blocked").open(QIODevice::WriteOnly));
        std::optional<FileFaultInjection> fault;
        if (standing == "denied")
            fault.emplace(FileFault::WritesDenied, folder);
        if (standing == "no locks")
            fault.emplace(FileFault::LocksUnsupported, folder);
        std::vector<std::string> places{path.toStdString()};
        if (standing == "file in the way")
            places = {(folder + "/blocked/Updater.lock").toStdString(), path.toStdString()};

        InstanceLock lock(places);
        QCOMPARE(lock.acquire(), outcome);
        QCOMPARE(!lock.mended().empty(), mended);
        QCOMPARE(lock.reason().empty(), outcome == LockOutcome::Acquired);
        QCOMPARE(lock.standsInTheWay(), standing == "full folder");
        QCOMPARE(QFileInfo(path).isFile() && !QFileInfo(path).isSymLink(), outcome != LockOutcome::Unusable);
        QVERIFY(!QFileInfo::exists(folder + "/elsewhere"));
        QCOMPARE(QFileInfo::exists(path + "/kept"), standing == "full folder");
    }

    void secondProcessIsRefused()
    {
        InstanceLock first(lockPath().toStdString());
        QCOMPARE(first.acquire(), LockOutcome::Acquired);
        QProcess helper;
        QCOMPARE(startHelper(helper, lockPath()), QByteArray("busy"));
        finish(helper);
    }

    void processHoldingTheLockRefusesThisOne()
    {
        QProcess helper;
        QCOMPARE(startHelper(helper, lockPath()), QByteArray("locked"));
        {
            InstanceLock second(lockPath().toStdString());
            QCOMPARE(second.acquire(), LockOutcome::HeldElsewhere);
        }
        finish(helper);
        // Once the holder has ended normally the lock is free again.
        InstanceLock after(lockPath().toStdString());
        QCOMPARE(after.acquire(), LockOutcome::Acquired);
    }

    void killedHolderDoesNotBlock()
    {
        QProcess helper;
        QCOMPARE(startHelper(helper, lockPath()), QByteArray("locked"));
        helper.kill(); // SIGKILL: no clean-up runs in the holder
        QVERIFY(helper.waitForFinished(10000));
        QCOMPARE(helper.exitStatus(), QProcess::CrashExit);
        QVERIFY(QFileInfo::exists(lockPath())); // the stale lock file stays behind
        InstanceLock next(lockPath().toStdString());
        QCOMPARE(next.acquire(), LockOutcome::Acquired);
    }

    void releasedWhenTheHolderIsDestroyed()
    {
        {
            InstanceLock first(lockPath().toStdString());
            QCOMPARE(first.acquire(), LockOutcome::Acquired);
        }
        QProcess helper;
        QCOMPARE(startHelper(helper, lockPath()), QByteArray("locked"));
        finish(helper);
    }

    void programsStartedByTheHolderDoNotInheritTheLock()
    {
        // The launcher starts the game client and ends; the client must not keep the next launcher out.
        auto holder = std::make_unique<InstanceLock>(lockPath().toStdString());
        QCOMPARE(holder->acquire(), LockOutcome::Acquired);
        QProcess child;
        child.start("sleep", {"30"});
        QVERIFY(child.waitForStarted(10000));
        holder.reset();
        InstanceLock next(lockPath().toStdString());
        const bool acquired = next.acquire() == LockOutcome::Acquired;
        child.kill();
        child.waitForFinished(10000);
        QVERIFY(acquired);
    }
};

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--hold-lock") == 0)
        return holdLock(argv[2]);
    QCoreApplication app(argc, argv);
    TestInstanceLock test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_instancelock.moc"
