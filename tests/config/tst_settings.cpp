#include "config/Settings.h"
#include "platform/RegistryStore.h"
#include "support/FileFaultInjection.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace updater;
using updater::test::bytesOf;

namespace {

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

Q_DECLARE_METATYPE(StoredSettings::State)

class TestSettings : public QObject
{
    Q_OBJECT

    test::NumberedFiles m_stores{"store%1/HKLM.reg"};

private slots:
    void firstStartThenFirstSave()
    {
        const std::string path = m_stores.newPath();
        RegistryStore store(path);
        const StoredSettings first = readSettings(store);
        QCOMPARE(first.state, StoredSettings::FirstStart);
        QCOMPARE(first.freedomMouse, false);
        QVERIFY(!QFileInfo::exists(QString::fromStdString(path))); // reading creates nothing

        QVERIFY(writeSettings(store, false));
        const RegistryStore saved(path);
        QVERIFY(holdsText(saved.value(SettingsKey, "Version"), "4.0"));
        QVERIFY(holdsNumber(saved.value(SettingsKey, "FreedomMouseStatus"), 0));

        const StoredSettings next = readSettings(RegistryStore(path));
        QCOMPARE(next.state, StoredSettings::Loaded);
        QCOMPARE(next.freedomMouse, false);
    }

    void storedValues_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<StoredSettings::State>("state");
        QTest::addColumn<bool>("freedomMouse");

        const auto key = [](const QByteArray& values) { return KeyHeader + values; };
        QTest::newRow("on") << key("\"Version\"=\"4.0\"\r\n\"FreedomMouseStatus\"=dword:00000001\r\n")
                            << StoredSettings::Loaded << true;
        QTest::newRow("off") << key("\"Version\"=\"4.0\"\r\n\"FreedomMouseStatus\"=dword:00000000\r\n")
                             << StoredSettings::Loaded << false;
        QTest::newRow("5 counts as on")
            << key("\"Version\"=\"4.0\"\r\n\"FreedomMouseStatus\"=dword:00000005\r\n")
            << StoredSettings::Loaded << true;
        QTest::newRow("all bits set")
            << key("\"Version\"=\"4.0\"\r\n\"FreedomMouseStatus\"=dword:ffffffff\r\n")
            << StoredSettings::Loaded << true;
        QTest::newRow("Version empty is accepted")
            << key("\"Version\"=\"\"\r\n\"FreedomMouseStatus\"=dword:00000001\r\n") << StoredSettings::Loaded
            << true;
        QTest::newRow("Version of another type is accepted")
            << key("\"Version\"=dword:00000004\r\n\"FreedomMouseStatus\"=dword:00000001\r\n")
            << StoredSettings::Loaded << true;
        QTest::newRow("names in other case")
            << key("\"VERSION\"=\"x\"\r\n\"freedommousestatus\"=dword:00000001\r\n") << StoredSettings::Loaded
            << true;
        QTest::newRow("Version missing")
            << key("\"FreedomMouseStatus\"=dword:00000001\r\n") << StoredSettings::Damaged << false;
        QTest::newRow("status as the string 1")
            << key("\"Version\"=\"4.0\"\r\n\"FreedomMouseStatus\"=\"1\"\r\n") << StoredSettings::Damaged
            << false;
        QTest::newRow("status binary") << key("\"Version\"=\"4.0\"\r\n\"FreedomMouseStatus\"=hex:01\r\n")
                                       << StoredSettings::Damaged << false;
        QTest::newRow("status missing") << key("\"Version\"=\"4.0\"\r\n") << StoredSettings::Damaged << false;
        QTest::newRow("status cut short")
            << key("\"Version\"=\"4.0\"\r\n\"FreedomMouseStatus\"=dwo") << StoredSettings::Damaged << false;
        QTest::newRow("empty key") << key({}) << StoredSettings::Damaged << false;
        // A store without the key, however it is damaged, is a first start.
        QTest::newRow("empty file") << QByteArray() << StoredSettings::FirstStart << false;
        QTest::newRow("binary garbage") << QByteArray("\x00\xff[\x01]\n\"Version\"=\"4.0\"\n\xfe\xfe", 24)
                                        << StoredSettings::FirstStart << false;
        QTest::newRow("cut inside the key name")
            << QByteArray("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvo Gv To")
            << StoredSettings::FirstStart << false;
        QTest::newRow("another key only")
            << QByteArray("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n\"Version\"=\"4.0\"\r\n")
            << StoredSettings::FirstStart << false;
    }

    // Reading never touches the store; the next save repairs whatever was wrong.
    void storedValues()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(StoredSettings::State, state);
        QFETCH(bool, freedomMouse);
        const std::string path = m_stores.withContent(bytes);
        RegistryStore store(path);

        const StoredSettings read = readSettings(store);
        QCOMPARE(read.state, state);
        QCOMPARE(read.freedomMouse, freedomMouse);
        QCOMPARE(bytesOf(path), bytes);

        QVERIFY(writeSettings(store, !freedomMouse));
        const StoredSettings repaired = readSettings(RegistryStore(path));
        QCOMPARE(repaired.state, StoredSettings::Loaded);
        QCOMPARE(repaired.freedomMouse, !freedomMouse);
    }

    // The speed limit reads as none unless a DWORD holds it, and never makes the settings damaged;
    // the add-on choice saved later keeps it.
    void speedLimit_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<uint>("limit");
        QTest::newRow("none") << QByteArray() << 0u;
        QTest::newRow("200 kB/s") << QByteArray("\"downloadspeedlimit\"=dword:000000c8\r\n") << 200u;
        QTest::newRow("as a string") << QByteArray("\"DownloadSpeedLimit\"=\"200\"\r\n") << 0u;
    }
    void speedLimit()
    {
        QFETCH(QByteArray, value);
        QFETCH(uint, limit);
        const std::string path = m_stores.withContent(
            KeyHeader + "\"Version\"=\"4.0\"\r\n\"FreedomMouseStatus\"=dword:00000001\r\n" + value);
        RegistryStore store(path);
        QCOMPARE(readSpeedLimit(store), limit);
        QCOMPARE(readSettings(store).state, StoredSettings::Loaded);
        QVERIFY(writeSpeedLimit(store, limit + 7) && writeSettings(store, true));
        QCOMPARE(readSpeedLimit(RegistryStore(path)), limit + 7);
    }

    void saveRewritesBothValues()
    {
        const std::string path = m_stores.withContent(
            KeyHeader + "\"Version\"=\"\"\r\n\"FreedomMouseStatus\"=dword:00000005\r\n\"Other\"=\"kept\"\r\n"
                        "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Neighbour]\r\n\"Value\"=dword:00000007\r\n");
        RegistryStore store(path);
        QVERIFY(writeSettings(store, true));
        const RegistryStore saved(path);
        QVERIFY(holdsText(saved.value(SettingsKey, "Version"), "4.0"));
        QVERIFY(holdsNumber(saved.value(SettingsKey, "FreedomMouseStatus"), 1)); // 5 is saved as 1
        // Nothing else in the store is lost.
        QVERIFY(holdsText(saved.value(SettingsKey, "Other"), "kept"));
        QVERIFY(holdsNumber(saved.value("\\SOFTWARE\\Neighbour", "Value"), 7));

        QVERIFY(writeSettings(store, false));
        QVERIFY(holdsNumber(RegistryStore(path).value(SettingsKey, "FreedomMouseStatus"), 0));
        // One value of each name, whatever spelling the store had.
        QCOMPARE(bytesOf(path).toLower().count("\"freedommousestatus\""), 1);
        QCOMPARE(bytesOf(path).toLower().count("\"version\""), 1);
    }

    void storeThatCannotBeWritten_data()
    {
        QTest::addColumn<QString>("place");
        QTest::newRow("file in place of its folder") << "below a file";
        QTest::newRow("file in place of a folder above") << "two below a file";
        QTest::newRow("folder in place of the store") << "folder";
        QTest::newRow("read-only store") << "read-only";
    }

    // A store that cannot be opened with full access reads as a first start; saving into it
    // answers false (no exception: the caller goes on) and leaves what is there as it was.
    void storeThatCannotBeWritten()
    {
        QFETCH(QString, place);
        std::string path = m_stores.newPath();
        std::string untouched = path; // the file or folder that must stay as it is
        const QByteArray content =
            KeyHeader + "\"Version\"=\"4.0\"\r\n\"FreedomMouseStatus\"=dword:00000001\r\n";
        // Below a regular file no one, root included, can create the store.
        if (place == "below a file") {
            untouched = m_stores.withContent("a file, not a folder");
            path = untouched + "/HKEY_LOCAL_MACHINE.reg";
        } else if (place == "two below a file") {
            untouched = m_stores.withContent("a file, not a folder");
            path = untouched + "/tarvo-updater/HKEY_LOCAL_MACHINE.reg";
        } else if (place == "folder") {
            QVERIFY(QDir().mkpath(QString::fromStdString(path) + "/content"));
        } else {
            path = untouched = m_stores.withContent(content);
        }
        std::optional<test::FileFaultInjection> readOnly;
        if (place == "read-only")
            readOnly.emplace(FileFault::WritesDenied, QFileInfo(QString::fromStdString(path)).path());
        const QByteArray before = bytesOf(untouched);
        RegistryStore store(path);

        QCOMPARE(readSettings(store).state, StoredSettings::FirstStart);
        QVERIFY(!writeSettings(store, true));

        QCOMPARE(bytesOf(untouched), before);
        if (place == "folder")
            QVERIFY(QFileInfo(QString::fromStdString(path) + "/content").isDir());
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
