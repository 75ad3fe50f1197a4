#include "platform/RegistryStore.h"
#include "platform/UpdaterError.h"
#include "support/FileFaultInjection.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace updater;
using updater::test::bytesOf;

namespace {

const std::string Key = "\\software\\Tarvo Gv Tools\\Tarvo Updater";

bool holdsText(const std::optional<RegistryStore::Value>& value, const std::string& text)
{
    return value && std::holds_alternative<std::string>(*value) && std::get<std::string>(*value) == text;
}

bool holdsNumber(const std::optional<RegistryStore::Value>& value, uint32_t number)
{
    return value && std::holds_alternative<uint32_t>(*value) && std::get<uint32_t>(*value) == number;
}

bool holdsOtherType(const std::optional<RegistryStore::Value>& value)
{
    return value && std::holds_alternative<std::monostate>(*value);
}

} // namespace

class TestRegistryStore : public QObject
{
    Q_OBJECT

    test::NumberedFiles m_stores{"store%1.reg"};

private slots:
    void defaultPathFollowsXdg()
    {
        const QByteArray oldXdg = qgetenv("XDG_CONFIG_HOME");
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("XDG_CONFIG_HOME", "/x/config");
        QCOMPARE(RegistryStore::defaultPath(), std::string("/x/config/tarvo-updater/HKEY_LOCAL_MACHINE.reg"));
        qputenv("XDG_CONFIG_HOME", "");
        qputenv("HOME", "/home/p");
        QCOMPARE(RegistryStore::defaultPath(),
                 std::string("/home/p/.config/tarvo-updater/HKEY_LOCAL_MACHINE.reg"));
        qputenv("XDG_CONFIG_HOME", oldXdg);
        qputenv("HOME", oldHome);
    }

    void roundTripThroughTheFile()
    {
        // The folder below the configuration home does not exist yet: it is created.
        const QTemporaryDir home;
        const std::string path = home.filePath("fresh/tarvo-updater/HKEY_LOCAL_MACHINE.reg").toStdString();
        {
            RegistryStore store(path);
            QVERIFY(!store.openKey(Key));
            QVERIFY(!store.value(Key, "Version"));
            store.setString(Key, "Version", "4.0");
            store.setInteger(Key, "FreedomMouseStatus", 1);
            store.setString(Key, "Quoted", "a \"b\" c:\\d");
            store.setInteger(Key, "Big", 0xFFFFFFFFu);
            store.setString("\\software\\Other", "Empty", "");
        }
        const RegistryStore reread(path);
        QVERIFY(reread.openKey(Key));
        QVERIFY(holdsText(reread.value(Key, "Version"), "4.0"));
        QVERIFY(holdsNumber(reread.value(Key, "FreedomMouseStatus"), 1));
        QVERIFY(holdsText(reread.value(Key, "Quoted"), "a \"b\" c:\\d"));
        QVERIFY(holdsNumber(reread.value(Key, "Big"), 0xFFFFFFFFu));
        QVERIFY(holdsText(reread.value("\\software\\Other", "Empty"), ""));
        QVERIFY(!reread.value(Key, "Missing"));
        QVERIFY(!reread.openKey("\\software\\Missing"));

        QCOMPARE(bytesOf(path), QByteArray("REGEDIT4\n"
                                           "\n[HKEY_LOCAL_MACHINE\\software\\Tarvo Gv Tools\\Tarvo Updater]\n"
                                           "\"Version\"=\"4.0\"\n"
                                           "\"FreedomMouseStatus\"=dword:00000001\n"
                                           "\"Quoted\"=\"a \\\"b\\\" c:\\\\d\"\n"
                                           "\"Big\"=dword:ffffffff\n"
                                           "\n[HKEY_LOCAL_MACHINE\\software\\Other]\n"
                                           "\"Empty\"=\"\"\n"));
    }

    void overwritingKeepsOneValue()
    {
        const std::string path = m_stores.newPath();
        RegistryStore store(path);
        store.setInteger(Key, "FreedomMouseStatus", 5);
        store.setString(Key, "FreedomMouseStatus", "text now");
        store.setInteger(Key, "freedommousestatus", 0);
        QVERIFY(holdsNumber(RegistryStore(path).value(Key, "FreedomMouseStatus"), 0));
        QCOMPARE(bytesOf(path).count("FreedomMouseStatus"), 1);
    }

    void namesMatchWithoutRegardToCase()
    {
        const std::string path =
            m_stores.withContent("REGEDIT4\r\n\r\n"
                                 "[hkey_local_machine\\SOFTWARE\\tarvo gv tools\\TARVO UPDATER]\r\n"
                                 "\"version\"=\"4.0\"\r\n"
                                 "\"FREEDOMMOUSESTATUS\"=DWORD:0000000A\r\n");
        const RegistryStore store(path);
        QVERIFY(store.openKey(Key));
        QVERIFY(store.openKey("software/tarvo gv tools/tarvo updater"));
        QVERIFY(holdsText(store.value(Key, "VERSION"), "4.0"));
        QVERIFY(holdsNumber(store.value(Key, "FreedomMouseStatus"), 10));

        // Writing through another spelling changes the same value, not a second one.
        RegistryStore writable(path);
        writable.setInteger("\\Software\\Tarvo Gv Tools\\Tarvo Updater", "freedomMouseStatus", 0);
        const QByteArray after = bytesOf(path);
        QCOMPARE(after.count("[HKEY_LOCAL_MACHINE\\"), 1);
        QCOMPARE(after.toLower().count("freedommousestatus"), 1);
        QVERIFY(holdsNumber(RegistryStore(path).value(Key, "FreedomMouseStatus"), 0));
    }

    void valueTypes_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("kind"); // text, number, other
        QTest::addColumn<QString>("expected");

        QTest::newRow("string") << QByteArray("\"1\"") << "text"
                                << "1";
        QTest::newRow("empty string") << QByteArray("\"\"") << "text"
                                      << "";
        QTest::newRow("escaped string") << QByteArray("\"C:\\\\x \\\"y\\\"\"") << "text"
                                        << "C:\\x \"y\"";
        QTest::newRow("dword") << QByteArray("dword:00000005") << "number"
                               << "5";
        QTest::newRow("dword, short form") << QByteArray("dword:5") << "number"
                                           << "5";
        QTest::newRow("dword, upper case") << QByteArray("DWORD:0000FFFF") << "number"
                                           << "65535";
        QTest::newRow("dword, too long") << QByteArray("dword:000000001") << "other"
                                         << "";
        QTest::newRow("dword, empty") << QByteArray("dword:") << "other"
                                      << "";
        QTest::newRow("dword, not hexadecimal") << QByteArray("dword:0000000g") << "other"
                                                << "";
        QTest::newRow("binary") << QByteArray("hex:01,00,00,00") << "other"
                                << "";
        QTest::newRow("unterminated string") << QByteArray("\"4.") << "other"
                                             << "";
        QTest::newRow("text after the string") << QByteArray("\"a\"b") << "other"
                                               << "";
        QTest::newRow("nothing") << QByteArray("") << "other"
                                 << "";
    }

    void valueTypes()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QString, kind);
        QFETCH(QString, expected);
        const RegistryStore store(
            m_stores.withContent("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\software\\Tarvo Gv Tools\\Tarvo "
                                 "Updater]\n\"Value\"=" +
                                 stored + "\n"));
        const auto value = store.value(Key, "Value");
        if (kind == "text")
            QVERIFY(holdsText(value, expected.toStdString()));
        else if (kind == "number")
            QVERIFY(holdsNumber(value, expected.toUInt()));
        else
            QVERIFY(holdsOtherType(value));
    }

    void damagedFilesAreReadAsFarAsPossible()
    {
        // Comments, blank lines, indentation, stray text and a foreign key around the wanted values.
        const std::string path =
            m_stores.withContent("Windows Registry Editor Version 5.00\r\n"
                                 "; exported by hand\r\n"
                                 "garbage line\r\n"
                                 "\"Orphan\"=\"no key yet\"\r\n"
                                 "[HKEY_CURRENT_USER\\software\\Tarvo Gv Tools\\Tarvo Updater]\r\n"
                                 "\"Version\"=\"foreign\"\r\n"
                                 "  [HKEY_LOCAL_MACHINE\\software\\Tarvo Gv Tools\\Tarvo Updater]  \r\n"
                                 "\t\"Version\"=\"\"\r\n"
                                 "\"Broken=\"x\"\r\n"
                                 "\"FreedomMouseStatus\"=dword:00000001\r\n"
                                 "[HKEY_LOCAL_MACHINE\\software\\Tarvo Gv Tools\\Trunc");
        const RegistryStore store(path);
        QVERIFY(store.openKey(Key));
        QVERIFY(holdsText(store.value(Key, "Version"), ""));
        QVERIFY(holdsNumber(store.value(Key, "FreedomMouseStatus"), 1));
        QVERIFY(!store.value(Key, "Orphan"));

        // A file cut in the middle of a value: what came before is there, the cut value is damaged.
        const RegistryStore truncated(
            m_stores.withContent("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\software\\Tarvo Gv Tools\\Tarvo Updater]\n"
                                 "\"Version\"=\"4.0\"\n\"FreedomMouseStatus\"=dword:000"));
        QVERIFY(truncated.openKey(Key));
        QVERIFY(holdsText(truncated.value(Key, "Version"), "4.0"));
        QVERIFY(holdsNumber(truncated.value(Key, "FreedomMouseStatus"), 0)); // "000" is still a number

        const RegistryStore cutName(
            m_stores.withContent("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\software\\Tarvo Gv Tools\\Tarvo Updater]\n"
                                 "\"Version\"=\"4.0\"\n\"FreedomMou"));
        QVERIFY(holdsText(cutName.value(Key, "Version"), "4.0"));
        QVERIFY(!cutName.value(Key, "FreedomMouseStatus"));
    }

    void binaryGarbageReadsAsEmpty()
    {
        QByteArray garbage(32 * 1024, '\0');
        quint32 state = 12345;
        for (char& c : garbage) {
            state = state * 1103515245u + 12345u;
            c = static_cast<char>(state >> 24);
        }
        const std::string path = m_stores.withContent(garbage);
        RegistryStore store(path);
        QVERIFY(!store.openKey(Key));
        QVERIFY(!store.value(Key, "Version"));
        // Saving over garbage gives a clean store.
        store.setString(Key, "Version", "4.0");
        QVERIFY(holdsText(RegistryStore(path).value(Key, "Version"), "4.0"));
        QVERIFY(bytesOf(path).startsWith("REGEDIT4\n"));
    }

    // Past the cap a store is someone else's file or damage: not read, and never replaced.
    void tooLargeStoreIsLeftAlone()
    {
        const std::string path = m_stores.withContent(
            "REGEDIT4\n\n[HKEY_LOCAL_MACHINE" + QByteArray::fromStdString(Key) + "]\n\"Version\"=\"4.0\"\n");
        QVERIFY(QFile::resize(QString::fromStdString(path), LargestRegistryStore + 1));
        RegistryStore store(path);
        QVERIFY(!store.value(Key, "Version"));
        QVERIFY(!store.canCreateKey());
        QVERIFY_THROWS_EXCEPTION(UpdaterError, store.setString(Key, "Version", "4.1"));
        QCOMPARE(QFileInfo(QString::fromStdString(path)).size(), qint64(LargestRegistryStore + 1));
    }

    void folderInPlaceOfTheFile()
    {
        const std::string path = m_stores.newPath();
        QVERIFY(QDir().mkpath(QString::fromStdString(path) + "/inside"));
        RegistryStore store(path);
        QVERIFY(!store.openKey(Key));
        QVERIFY(!store.canCreateKey());
        QVERIFY_THROWS_EXCEPTION(UpdaterError, store.setString(Key, "Version", "4.0"));
        QVERIFY(QFileInfo(QString::fromStdString(path) + "/inside").isDir());
    }

    void parentIsAFile()
    {
        // No one, root included, can create a file below a regular file.
        const std::string blocker = m_stores.withContent("just a file");
        RegistryStore store(blocker + "/tarvo-updater/HKEY_LOCAL_MACHINE.reg");
        QVERIFY(!store.openKey(Key));
        QVERIFY(!store.canCreateKey());
        QVERIFY_THROWS_EXCEPTION(UpdaterError, store.setInteger(Key, "FreedomMouseStatus", 1));

        RegistryStore direct(blocker + "/HKEY_LOCAL_MACHINE.reg");
        QVERIFY(!direct.canCreateKey());
        QVERIFY_THROWS_EXCEPTION(UpdaterError, direct.setString(Key, "Version", "4.0"));
        QCOMPARE(bytesOf(blocker), QByteArray("just a file"));
    }

    void fileNameWithoutFolder()
    {
        // A bare name lies in the current folder; checking must not make a folder of that name.
        QTemporaryDir folder;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(folder.path());
        RegistryStore store("bare.reg");
        const bool canCreate = store.canCreateKey();
        store.setString(Key, "Version", "4.0");
        const bool isFile = QFileInfo("bare.reg").isFile();
        QDir::setCurrent(previous);
        QVERIFY(canCreate);
        QVERIFY(isFile);
    }

    void unwritableFileCannotBeOpened()
    {
        const std::string path =
            m_stores.withContent("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\software\\Tarvo Gv Tools\\Tarvo "
                                 "Updater]\n\"Version\"=\"4.0\"\n");
        const test::FileFaultInjection readOnly(FileFault::WritesDenied,
                                                QFileInfo(QString::fromStdString(path)).path());
        RegistryStore store(path);
        QVERIFY(holdsText(store.value(Key, "Version"), "4.0"));
        QVERIFY(!store.openKey(Key));
        QVERIFY(!store.canCreateKey());
    }

    void saveReplacesTheFileAtomically()
    {
        QTemporaryDir folder;
        const std::string path = folder.filePath("HKEY_LOCAL_MACHINE.reg").toStdString();
        RegistryStore store(path);
        store.setString(Key, "Version", "4.0");
        // A reader holding the old file keeps the old bytes: the file was replaced, not rewritten.
        QFile before(QString::fromStdString(path));
        QVERIFY(before.open(QIODevice::ReadOnly));
        const QByteArray oldBytes = bytesOf(path);
        store.setInteger(Key, "FreedomMouseStatus", 1);
        QCOMPARE(before.readAll(), oldBytes);
        QVERIFY(bytesOf(path).contains("dword:00000001"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"HKEY_LOCAL_MACHINE.reg"});
    }
};

QTEST_GUILESS_MAIN(TestRegistryStore)
#include "tst_registrystore.moc"
