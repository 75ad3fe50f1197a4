#include "platform/InstanceLock.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstring>
#include <unistd.h>

using namespace updater;

namespace {

// Helper mode of this test program: another process that takes the lock, says whether it got
// it, and holds it until its standard input closes or it is killed.
int holdLock(const char* path)
{
    InstanceLock lock(path);
    std::puts(lock.acquire() ? "locked" : "busy");
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
    void defaultPath_data()
    {
        QTest::addColumn<QByteArray>("runtime");
        QTest::addColumn<QByteArray>("cache");
        QTest::addColumn<QString>("path");
        QTest::newRow("runtime folder")
            << QByteArray("/run/user/1000") << QByteArray("/c") << "/run/user/1000/Updater.lock";
        QTest::newRow("cache folder") << QByteArray() << QByteArray("/c") << "/c/tarvo-updater/Updater.lock";
        QTest::newRow("home") << QByteArray() << QByteArray() << "/h/.cache/tarvo-updater/Updater.lock";
    }
    void defaultPath()
    {
        QFETCH(QByteArray, runtime);
        QFETCH(QByteArray, cache);
        QFETCH(QString, path);
        const QByteArray saved[] = {qgetenv("XDG_RUNTIME_DIR"), qgetenv("XDG_CACHE_HOME"), qgetenv("HOME")};
        qputenv("XDG_RUNTIME_DIR", runtime);
        qputenv("XDG_CACHE_HOME", cache);
        qputenv("HOME", "/h");
        const std::string found = InstanceLock::defaultPath();
        qputenv("XDG_RUNTIME_DIR", saved[0]);
        qputenv("XDG_CACHE_HOME", saved[1]);
        qputenv("HOME", saved[2]);
        QCOMPARE(QString::fromStdString(found), path);
    }

    // Its folder is made when missing, and a link at its name is not a lock.
    void madeInItsFolderNeverThroughALink()
    {
        const QString nested = m_dir.filePath("cache/tarvo-updater/Updater.lock");
        QVERIFY(InstanceLock(nested.toStdString()).acquire());
        QVERIFY(QFileInfo(nested).isFile());
        const QString planted = m_dir.filePath("planted.lock");
        QVERIFY(QFile::link(m_dir.filePath("elsewhere"), planted));
        InstanceLock(planted.toStdString()).acquire();
        QVERIFY(!QFileInfo::exists(m_dir.filePath("elsewhere")));
    }

    void secondProcessIsRefused()
    {
        InstanceLock first(lockPath().toStdString());
        QVERIFY(first.acquire());
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
            QVERIFY(!second.acquire());
        }
        finish(helper);
        // Once the holder has ended normally the lock is free again.
        InstanceLock after(lockPath().toStdString());
        QVERIFY(after.acquire());
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
        QVERIFY(next.acquire());
    }

    void releasedWhenTheHolderIsDestroyed()
    {
        {
            InstanceLock first(lockPath().toStdString());
            QVERIFY(first.acquire());
        }
        QProcess helper;
        QCOMPARE(startHelper(helper, lockPath()), QByteArray("locked"));
        finish(helper);
    }

    void programsStartedByTheHolderDoNotInheritTheLock()
    {
        // The launcher starts the game client and ends; the client must not keep the next launcher out.
        auto holder = std::make_unique<InstanceLock>(lockPath().toStdString());
        QVERIFY(holder->acquire());
        QProcess child;
        child.start("sleep", {"30"});
        QVERIFY(child.waitForStarted(10000));
        holder.reset();
        InstanceLock next(lockPath().toStdString());
        const bool acquired = next.acquire();
        child.kill();
        child.waitForFinished(10000);
        QVERIFY(acquired);
    }

    void lockThatCannotBeMadeDoesNotKeepThePlayerOut()
    {
        InstanceLock lock(m_dir.filePath("no-such-folder/Updater.lock").toStdString());
        QVERIFY(lock.acquire());
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
