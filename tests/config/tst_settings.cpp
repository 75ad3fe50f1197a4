#include "config/Settings.h"
#include "platform/DialogService.h"
#include "platform/RegistryStore.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace updater;

namespace {

const QString FirstStartTitle = "Read this carefully plz";
const QString FirstStartText =
    "-= Updater Info=-\n\n\nThis is first start. Check settings. If you don' like background\nsound, turn it "
    "off. Also check FreeMouse option.\n\n* Smile, it makes people wonder what you are thinking...";
const QString RepairTitle = "Info";
const QString RepairText =
    "-= Updater =-\n\nThere something wrong with registry settings...\nI will set them to "
    "default. Plz check them now!n\nDon't panic everything under control...";
const QString WriteFailedText = "-= Critical failure =-\n\nWrite settings failed!";

const QByteArray KeyHeader =
    "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvo Gv Tools\\Tarvo Updater]\r\n";

bool holdsText(const std::optional<RegistryStore::Value>& value, const std::string& text)
{
    return value && std::holds_alternative<std::string>(*value) && std::get<std::string>(*value) == text;
}

bool holdsNumber(const std::optional<RegistryStore::Value>& value, uint32_t number)
{
    return value && std::holds_alternative<uint32_t>(*value) && std::get<uint32_t>(*value) == number;
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_journal;
    int m_storeNumber = 0;

    QList<QJsonObject> dialogs() const { return updater::test::readDialogJournal(m_journal); }

    void checkOneNotice(const QString& title, const QString& text)
    {
        const QList<QJsonObject> boxes = dialogs();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0]["title"].toString(), title);
        QCOMPARE(boxes[0]["text"].toString(), text);
        QCOMPARE(boxes[0]["icon"].toString(), QString("information"));
        QCOMPARE(boxes[0]["buttons"].toArray(), QJsonArray{"OK"});
    }

    void checkWriteFailedDialog()
    {
        const QList<QJsonObject> boxes = dialogs();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0]["title"].toString(), QString::fromStdString(applicationTitle()));
        QCOMPARE(boxes[0]["text"].toString(), WriteFailedText);
        QCOMPARE(boxes[0]["icon"].toString(), QString("none"));
        QCOMPARE(boxes[0]["buttons"].toArray(), QJsonArray{"OK"});
    }

    std::string newStorePath()
    {
        return m_dir.filePath(QString("store%1/HKLM.reg").arg(++m_storeNumber)).toStdString();
    }

    std::string storeWith(const QByteArray& bytes)
    {
        const std::string path = newStorePath();
        QDir().mkpath(QFileInfo(QString::fromStdString(path)).path());
        test::writeFileOrDie(QString::fromStdString(path), bytes);
        return path;
    }

    static QByteArray bytesOf(const std::string& path) { return test::bytesOf(QString::fromStdString(path)); }

private slots:
    void initTestCase()
    {
        m_journal = m_dir.filePath("dialogs.jsonl");
        qputenv("UPDATER_DIALOG_LOG", m_journal.toLocal8Bit());
        qputenv("UPDATER_DIALOG_ANSWERS", "");
    }

    void cleanup() { QFile::remove(m_journal); }

    void firstStartThenFirstSave()
    {
        const std::string path = newStorePath();
        RegistryStore store(path);
        QCOMPARE(readSettings(store), false);
        checkOneNotice(FirstStartTitle, FirstStartText);
        QVERIFY(!QFileInfo::exists(QString::fromStdString(path))); // reading creates nothing

        QFile::remove(m_journal);
        writeSettings(store, false);
        QVERIFY(dialogs().isEmpty());
        const RegistryStore saved(path);
        QVERIFY(holdsText(saved.value(SettingsKey, "Version"), "4.0"));
        QVERIFY(holdsNumber(saved.value(SettingsKey, "FreedomMouseStatus"), 0));

        // The next start reads it silently.
        QCOMPARE(readSettings(RegistryStore(path)), false);
        QVERIFY(dialogs().isEmpty());
    }

    void storedValues_data()
    {
        QTest::addColumn<QByteArray>("values");
        QTest::addColumn<bool>("expected");
        QTest::addColumn<QString>("notice"); // "", "repair" or "first start"

        QTest::newRow("on") << QByteArray("\"Version\"=\"4.0\"\r\n\"FreedomMouseStatus\"=dword:00000001\r\n")
                            << true << "";
        QTest::newRow("off") << QByteArray("\"Version\"=\"4.0\"\r\n\"FreedomMouseStatus\"=dword:00000000\r\n")
                             << false << "";
        QTest::newRow("5 counts as on")
            << QByteArray("\"Version\"=\"4.0\"\r\n\"FreedomMouseStatus\"=dword:00000005\r\n") << true << "";
        QTest::newRow("all bits set")
            << QByteArray("\"Version\"=\"4.0\"\r\n\"FreedomMouseStatus\"=dword:ffffffff\r\n") << true << "";
        QTest::newRow("Version empty is accepted")
            << QByteArray("\"Version\"=\"\"\r\n\"FreedomMouseStatus\"=dword:00000001\r\n") << true << "";
        QTest::newRow("Version of another type is accepted")
            << QByteArray("\"Version\"=dword:00000004\r\n\"FreedomMouseStatus\"=dword:00000001\r\n") << true
            << "";
        QTest::newRow("names in other case")
            << QByteArray("\"VERSION\"=\"x\"\r\n\"freedommousestatus\"=dword:00000001\r\n") << true << "";
        QTest::newRow("Version missing")
            << QByteArray("\"FreedomMouseStatus\"=dword:00000001\r\n") << false << "repair";
        QTest::newRow("status as the string 1")
            << QByteArray("\"Version\"=\"4.0\"\r\n\"FreedomMouseStatus\"=\"1\"\r\n") << false << "repair";
        QTest::newRow("status binary")
            << QByteArray("\"Version\"=\"4.0\"\r\n\"FreedomMouseStatus\"=hex:01\r\n") << false << "repair";
        QTest::newRow("status missing") << QByteArray("\"Version\"=\"4.0\"\r\n") << false << "repair";
        QTest::newRow("status cut short")
            << QByteArray("\"Version\"=\"4.0\"\r\n\"FreedomMouseStatus\"=dwo") << false << "repair";
        QTest::newRow("empty key") << QByteArray() << false << "repair";
    }

    void storedValues()
    {
        QFETCH(QByteArray, values);
        QFETCH(bool, expected);
        QFETCH(QString, notice);
        const std::string path = storeWith(KeyHeader + values);
        QCOMPARE(readSettings(RegistryStore(path)), expected);
        if (notice == "repair")
            checkOneNotice(RepairTitle, RepairText);
        else
            QVERIFY(dialogs().isEmpty());
        // Reading never touches the store.
        QCOMPARE(bytesOf(path), KeyHeader + values);
    }

    void damagedStoresAreFirstStarts_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("binary garbage") << QByteArray("\x00\xff[\x01]\n\"Version\"=\"4.0\"\n\xfe\xfe", 24);
        QTest::newRow("cut inside the key name")
            << QByteArray("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvo Gv To");
        QTest::newRow("another key only")
            << QByteArray("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n\"Version\"=\"4.0\"\r\n");
    }

    void damagedStoresAreFirstStarts()
    {
        QFETCH(QByteArray, bytes);
        const std::string path = storeWith(bytes);
        RegistryStore store(path);
        QCOMPARE(readSettings(store), false);
        checkOneNotice(FirstStartTitle, FirstStartText);

        // The next save repairs it.
        QFile::remove(m_journal);
        writeSettings(store, true);
        QVERIFY(dialogs().isEmpty());
        QCOMPARE(readSettings(RegistryStore(path)), true);
        QVERIFY(dialogs().isEmpty());
    }

    void saveRewritesBothValues()
    {
        const std::string path = storeWith(
            KeyHeader + "\"Version\"=\"\"\r\n\"FreedomMouseStatus\"=dword:00000005\r\n\"Other\"=\"kept\"\r\n"
                        "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Neighbour]\r\n\"Value\"=dword:00000007\r\n");
        RegistryStore store(path);
        QCOMPARE(readSettings(store), true);
        writeSettings(store, true);
        const RegistryStore saved(path);
        QVERIFY(holdsText(saved.value(SettingsKey, "Version"), "4.0"));
        QVERIFY(holdsNumber(saved.value(SettingsKey, "FreedomMouseStatus"), 1)); // 5 is saved as 1
        // Nothing else in the store is lost.
        QVERIFY(holdsText(saved.value(SettingsKey, "Other"), "kept"));
        QVERIFY(holdsNumber(saved.value("\\SOFTWARE\\Neighbour", "Value"), 7));

        writeSettings(store, false);
        QVERIFY(holdsNumber(RegistryStore(path).value(SettingsKey, "FreedomMouseStatus"), 0));
        QVERIFY(dialogs().isEmpty());
        // One value of each name, whatever spelling the store had.
        QCOMPARE(bytesOf(path).toLower().count("\"freedommousestatus\""), 1);
        QCOMPARE(bytesOf(path).toLower().count("\"version\""), 1);
    }

    void saveRepairsAStringStatus()
    {
        const std::string path =
            storeWith(KeyHeader + "\"Version\"=\"4.0\"\r\n\"FreedomMouseStatus\"=\"1\"\r\n");
        RegistryStore store(path);
        QCOMPARE(readSettings(store), false);
        writeSettings(store, false);
        QVERIFY(holdsNumber(RegistryStore(path).value(SettingsKey, "FreedomMouseStatus"), 0));
    }

    void storeThatCannotBeCreated_data()
    {
        QTest::addColumn<QString>("below");
        QTest::newRow("file in place of its folder") << "/HKEY_LOCAL_MACHINE.reg";
        QTest::newRow("file in place of a folder above") << "/tarvo-updater/HKEY_LOCAL_MACHINE.reg";
    }

    void storeThatCannotBeCreated()
    {
        QFETCH(QString, below);
        // Below a regular file no one, root included, can create the store.
        const std::string blocker = storeWith("a file, not a folder");
        RegistryStore store(blocker + below.toStdString());
        QCOMPARE(readSettings(store), false);
        QFile::remove(m_journal);

        writeSettings(store, true); // no exception: the caller goes on
        checkWriteFailedDialog();
        QCOMPARE(bytesOf(blocker), QByteArray("a file, not a folder"));
    }

    void folderInPlaceOfTheStore()
    {
        const std::string path = newStorePath();
        QVERIFY(QDir().mkpath(QString::fromStdString(path) + "/content"));
        RegistryStore store(path);
        QCOMPARE(readSettings(store), false);
        checkOneNotice(FirstStartTitle, FirstStartText);
        QFile::remove(m_journal);

        writeSettings(store, false);
        checkWriteFailedDialog();
        QVERIFY(QFileInfo(QString::fromStdString(path) + "/content").isDir());
    }

    void storeThatCannotBeWritten()
    {
        if (::geteuid() == 0)
            QSKIP("root writes to any file, so a read-only store cannot be made here");
        const QByteArray content =
            KeyHeader + "\"Version\"=\"4.0\"\r\n\"FreedomMouseStatus\"=dword:00000001\r\n";
        const std::string path = storeWith(content);
        QFile::setPermissions(QString::fromStdString(path), QFileDevice::ReadOwner);
        RegistryStore store(path);
        // Not openable with full access: a first start.
        QCOMPARE(readSettings(store), false);
        checkOneNotice(FirstStartTitle, FirstStartText);
        QFile::remove(m_journal);
        writeSettings(store, true);
        checkWriteFailedDialog();
        QCOMPARE(bytesOf(path), content);
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
