#include "platform/ProfileFile.h"
#include "platform/UpdaterError.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace updater;
using updater::test::bytesOf;

namespace {

std::string str(const QString& s)
{
    return s.toStdString();
}

// A field of the probe's answer file: \\, \t and \xHH stand for a backslash, a tab and a byte.
QByteArray unescaped(const QByteArray& field)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size())
            bytes += field[i];
        else if (field[++i] == 't')
            bytes += '\t';
        else if (field[i] == 'x') {
            bytes += char(field.mid(i + 1, 2).toInt(nullptr, 16));
            i += 2;
        } else
            bytes += field[i];
    }
    return bytes;
}

} // namespace

class TestProfileFile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_fileNumber = 0;

    // A fresh file in the temporary folder holding exactly these bytes.
    std::string fileWith(const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(QString("profile%1.ini").arg(++m_fileNumber));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write the test file");
        return str(path);
    }

private slots:
    // Every text the platform read from the files in tools/profile-probe/corpus/. Its numbers are
    // recorded beside them but not held against readInteger, which keeps the launcher's own rules.
    void platformAnswers_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("fallback");
        QTest::addColumn<QByteArray>("text");

        const QString sourceDir = qEnvironmentVariable("UPDATER_SOURCE_DIR");
        QFile golden(sourceDir + "/tests/data/profile-probe.txt");
        if (!golden.open(QIODevice::ReadOnly))
            qFatal("cannot read tests/data/profile-probe.txt; is UPDATER_SOURCE_DIR set?");
        for (int number = 1; !golden.atEnd(); ++number) {
            const QByteArray line = golden.readLine().chopped(1);
            if (line.isEmpty() || line.startsWith('#'))
                continue;
            const QList<QByteArray> f = line.split('\t');
            QTest::addRow("%d %s [%s] %s", number, f[0].constData(), f[1].constData(),
                          f[2].left(20).constData())
                << sourceDir + "/tools/profile-probe/corpus/" + f[0] << unescaped(f[1]) << unescaped(f[2])
                << unescaped(f[3]) << unescaped(f[4]);
        }
    }

    void platformAnswers()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, fallback);
        QFETCH(QByteArray, text);
        const ProfileFile profile(str(file));
        QCOMPARE(QByteArray::fromStdString(
                     profile.readString(section.toStdString(), key.toStdString(), fallback.toStdString())),
                 text);
    }

    void textValues_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");

        QTest::newRow("plain") << QByteArray("[Main]\r\nHomepage=http://a/\r\n") << "Main"
                               << "Homepage"
                               << "http://a/";
        QTest::newRow("section and key in other case") << QByteArray("[mAIN]\r\nhOMEPAGE=x\r\n") << "Main"
                                                       << "HomePage"
                                                       << "x";
        QTest::newRow("blanks around the name and the value")
            << QByteArray("[ Main ]\n  Homepage \t=   x y  \t\n") << "Main"
            << "Homepage"
            << "x y";
        QTest::newRow("value after the first equals sign")
            << QByteArray("[Main]\nLink=http://h/?a=1&b=2\n") << "Main"
            << "Link"
            << "http://h/?a=1&b=2";
        QTest::newRow("double quotes removed") << QByteArray("[Main]\nT=\"  quoted  \"\n") << "Main"
                                               << "T"
                                               << "  quoted  ";
        QTest::newRow("single quotes removed") << QByteArray("[Main]\nT='x'\n") << "Main"
                                               << "T"
                                               << "x";
        QTest::newRow("only one pair of quotes removed") << QByteArray("[Main]\nT=\"\"x\"\"\n") << "Main"
                                                         << "T"
                                                         << "\"x\"";
        QTest::newRow("mismatched quotes kept") << QByteArray("[Main]\nT=\"x'\n") << "Main"
                                                << "T"
                                                << "\"x'";
        QTest::newRow("a lone quote kept") << QByteArray("[Main]\nT=\"\n") << "Main"
                                           << "T"
                                           << "\"";
        QTest::newRow("quote inside kept") << QByteArray("[Main]\nT=kick GM's ass\n") << "Main"
                                           << "T"
                                           << "kick GM's ass";
        QTest::newRow("first of duplicate keys") << QByteArray("[Main]\nT=first\nt=second\n") << "Main"
                                                 << "T"
                                                 << "first";
        QTest::newRow("first of duplicate sections")
            << QByteArray("[Main]\nT=first\n[Other]\nT=other\n[MAIN]\nT=second\n") << "main"
            << "T"
            << "first";
        QTest::newRow("only the first section of a name is searched")
            << QByteArray("[Main]\nA=1\n[Main]\nB=2\n") << "Main"
            << "B"
            << "default";
        QTest::newRow("keys before any section belong to none") << QByteArray("T=orphan\n[Main]\n") << "Main"
                                                                << "T"
                                                                << "default";
        QTest::newRow("key of another section not found")
            << QByteArray("[Config_1]\nServerName=one\n[Config_2]\n") << "Config_2"
            << "ServerName"
            << "default";
        QTest::newRow("present but empty gives empty") << QByteArray("[Main]\nTitle=\n") << "Main"
                                                       << "Title"
                                                       << "";
        QTest::newRow("empty quotes give empty") << QByteArray("[Main]\nTitle=\"\"\n") << "Main"
                                                 << "Title"
                                                 << "";
        QTest::newRow("missing key gives the default") << QByteArray("[Main]\nOther=1\n") << "Main"
                                                       << "Title"
                                                       << "default";
        QTest::newRow("missing section gives the default") << QByteArray("[Main]\nTitle=1\n") << "Config_1"
                                                           << "Title"
                                                           << "default";
        QTest::newRow("no sections at all") << QByteArray("Title=x\nHomepage=y\n") << "Main"
                                            << "Title"
                                            << "default";
        QTest::newRow("empty file") << QByteArray() << "Main"
                                    << "Title"
                                    << "default";
        QTest::newRow("UTF-8 byte order mark before the first section")
            << QByteArray("\xef\xbb\xbf[Main]\r\nTitle=bom\r\n") << "Main"
            << "Title"
            << "bom";
        QTest::newRow("last line without line end") << QByteArray("[Main]\r\nTitle=end") << "Main"
                                                    << "Title"
                                                    << "end";
    }

    void textValues()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        const ProfileFile file(fileWith(content));
        QVERIFY(file.exists());
        QCOMPARE(QString::fromStdString(file.readString(str(section), str(key), "default")), expected);
        QCOMPARE(file.hasValue(str(section), str(key)), expected != "default");
    }

    void valuesAreCappedAt2047Characters()
    {
        const QByteArray longValue(3000, 'v');
        const ProfileFile file(fileWith("[Main]\nLong=" + longValue + "\nQuoted=\"" + longValue +
                                        "\"\nExact=" + QByteArray(2047, 'e') + "\n"));
        QCOMPARE(file.readString("Main", "Long", ""), std::string(2047, 'v'));
        QCOMPARE(file.readString("Main", "Quoted", ""), std::string(2047, 'v'));
        QCOMPARE(file.readString("Main", "Exact", ""), std::string(2047, 'e'));
    }

    void eightBitTextKeptAsBytes()
    {
        const ProfileFile file(fileWith("[Main]\nTitle=Caf\xe9 \x80\xff\n"));
        QCOMPARE(file.readString("Main", "Title", ""), std::string("Caf\xe9 \x80\xff"));
    }

    void integerValues_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("expected");

        QTest::newRow("decimal") << QByteArray("6900") << 6900;
        QTest::newRow("negative") << QByteArray("-1") << -1;
        QTest::newRow("plus sign") << QByteArray("+12") << 12;
        QTest::newRow("zero") << QByteArray("0") << 0;
        QTest::newRow("0x hexadecimal") << QByteArray("0x1AF4") << 6900;
        QTest::newRow("0X hexadecimal") << QByteArray("0X1af4") << 6900;
        QTest::newRow("dollar hexadecimal") << QByteArray("$1AF4") << 6900;
        QTest::newRow("negative hexadecimal") << QByteArray("-0x10") << -16;
        QTest::newRow("quoted number") << QByteArray("\"5121\"") << 5121;
        QTest::newRow("blanks around") << QByteArray("  42  ") << 42;
        QTest::newRow("largest") << QByteArray("2147483647") << 2147483647;
        QTest::newRow("smallest") << QByteArray("-2147483648") << int(-2147483647 - 1);
        QTest::newRow("not a number") << QByteArray("abc") << 777;
        QTest::newRow("empty") << QByteArray("") << 777;
        QTest::newRow("trailing letters") << QByteArray("12abc") << 777;
        QTest::newRow("blank inside") << QByteArray("1 2") << 777;
        QTest::newRow("sign alone") << QByteArray("-") << 777;
        QTest::newRow("hex prefix alone") << QByteArray("0x") << 777;
        QTest::newRow("dollar alone") << QByteArray("$") << 777;
        QTest::newRow("hex digits without prefix") << QByteArray("1AF4") << 777;
        QTest::newRow("bad hex digit") << QByteArray("0x1G") << 777;
        QTest::newRow("decimal point") << QByteArray("1.5") << 777;
        QTest::newRow("too large") << QByteArray("99999999999") << 777;
    }

    void integerValues()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, expected);
        const ProfileFile file(fileWith("[Config_1]\nAccount=" + text + "\n"));
        QCOMPARE(file.readInteger("Config_1", "Account", 777), expected);
    }

    void booleansAreIntegers()
    {
        const ProfileFile file(
            fileWith("[Main]\nZero=0\nOne=1\nTwo=2\nMinus=-1\nHex=0x0\nWord=yes\nEmpty=\n"));
        QCOMPARE(file.readBool("Main", "Zero", true), false);
        QCOMPARE(file.readBool("Main", "Hex", true), false);
        QCOMPARE(file.readBool("Main", "One", false), true);
        QCOMPARE(file.readBool("Main", "Two", false), true);
        QCOMPARE(file.readBool("Main", "Minus", false), true);
        // Not a number or empty: the default, which is 1 for true and 0 for false.
        QCOMPARE(file.readBool("Main", "Word", true), true);
        QCOMPARE(file.readBool("Main", "Word", false), false);
        QCOMPARE(file.readBool("Main", "Empty", true), true);
        QCOMPARE(file.readBool("Main", "Missing", false), false);
    }

    void missingFileReadsAsDefaults()
    {
        const ProfileFile file(str(m_dir.filePath("no-such-file.ini")));
        QVERIFY(!file.exists());
        QCOMPARE(file.readString("Main", "Title", "d"), std::string("d"));
        QCOMPARE(file.readInteger("Main", "Account", 6900), 6900);
    }

    void folderInPlaceOfTheFileIsMissing()
    {
        QVERIFY(QDir(m_dir.path()).mkdir("folder.ini"));
        const ProfileFile file(str(m_dir.filePath("folder.ini")));
        QVERIFY(!file.exists());
        QCOMPARE(file.readString("Main", "Title", "d"), std::string("d"));
    }

    void binaryGarbageGivesDefaults()
    {
        QRandomGenerator random(20240601);
        for (int round = 0; round < 20; ++round) {
            QByteArray garbage(64 * 1024, '\0');
            for (char& c : garbage)
                c = static_cast<char>(random.bounded(256));
            garbage[100] = '\0';
            const ProfileFile file(fileWith(garbage));
            QVERIFY(file.exists());
            QCOMPARE(file.readString("Main", "Homepage", "d"), std::string("d"));
            QCOMPARE(file.readInteger("Config_1", "Account", 6900), 6900);
        }
        // Garbage around real lines: the lines are still found, a value ends at a NUL byte.
        const ProfileFile mixed(fileWith(
            QByteArray("\x00\xff\xfe\n[Main]\nHomepage=a\x00z\n\x01\x02=\x03\n", 29) + "Account=5\n"));
        QCOMPARE(mixed.readString("Main", "Homepage", "d"), std::string("a"));
        QCOMPARE(mixed.readInteger("Main", "Account", 0), 5);
    }

    void hugeFilesAreReadInOnePass()
    {
        // 100 000 lines, the wanted key at the very end.
        QByteArray many = "[Main]\r\n";
        many.reserve(2 * 1024 * 1024);
        for (int i = 0; i < 100000; ++i)
            many += "Key" + QByteArray::number(i) + "=value " + QByteArray::number(i) + "\r\n";
        many += "Homepage=found\r\n";
        const ProfileFile manyLines(fileWith(many));
        QCOMPARE(manyLines.readString("Main", "Homepage", "d"), std::string("found"));
        QCOMPARE(manyLines.readString("main", "key99999", "d"), std::string("value 99999"));

        // One line of a megabyte: capped, and the line after it still read.
        const QByteArray megabyte(1024 * 1024, 'm');
        const ProfileFile longLine(fileWith("[Main]\nHomepage=" + megabyte + "\nTitle=after\n" + megabyte));
        QCOMPARE(longLine.readString("Main", "Homepage", "d"), std::string(2047, 'm'));
        QCOMPARE(longLine.readString("Main", "Title", "d"), std::string("after"));

        // Writing into the big file keeps it whole.
        ProfileFile writable(fileWith(many));
        writable.writeString("Main", "Key50000", "changed");
        const QByteArray after = bytesOf(writable.path());
        QCOMPARE(after.size(), many.size() - qsizetype(QByteArray("value 50000").size()) + 7);
        QVERIFY(after.contains("\r\nKey50000=changed\r\nKey50001=value 50001\r\n"));
    }

    // Writing: the file afterwards, byte for byte.
    void writes_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");

        QTest::newRow("replace in place, CRLF kept")
            << QByteArray("; comment\r\n[Main]\r\nA=1\r\nB = \"old\"\r\nC=3\r\n[Next]\r\nB=keep\r\n")
            << "main"
            << "B"
            << "new" << QByteArray("; comment\r\n[Main]\r\nA=1\r\nB=new\r\nC=3\r\n[Next]\r\nB=keep\r\n");
        QTest::newRow("replace the first of duplicate keys")
            << QByteArray("[Main]\r\nB=1\r\nB=2\r\n") << "Main"
            << "b"
            << "x" << QByteArray("[Main]\r\nb=x\r\nB=2\r\n");
        QTest::newRow("append at the end of its section")
            << QByteArray("[Main]\r\nA=1\r\n[Next]\r\nZ=9\r\n") << "Main"
            << "B"
            << "2" << QByteArray("[Main]\r\nA=1\r\nB=2\r\n[Next]\r\nZ=9\r\n");
        QTest::newRow("append before the blank lines that end the section")
            << QByteArray("[Main]\r\nA=1\r\n\r\n  \r\n[Next]\r\nZ=9\r\n") << "Main"
            << "B"
            << "2" << QByteArray("[Main]\r\nA=1\r\nB=2\r\n\r\n  \r\n[Next]\r\nZ=9\r\n");
        QTest::newRow("append to an empty last section")
            << QByteArray("[Main]\r\nA=1\r\n[Empty]\r\n") << "EMPTY"
            << "B"
            << "2" << QByteArray("[Main]\r\nA=1\r\n[Empty]\r\nB=2\r\n");
        QTest::newRow("new section at the end")
            << QByteArray("[Main]\r\nA=1\r\n") << "applied"
            << "Patch1"
            << "1" << QByteArray("[Main]\r\nA=1\r\n[applied]\r\nPatch1=1\r\n");
        QTest::newRow("LF-only file keeps LF") << QByteArray("[Main]\nA=1\n") << "Main"
                                               << "B"
                                               << "2" << QByteArray("[Main]\nA=1\nB=2\n");
        QTest::newRow("LF-only file, new section") << QByteArray("[Main]\nA=1\n") << "Other"
                                                   << "B"
                                                   << "2" << QByteArray("[Main]\nA=1\n[Other]\nB=2\n");
        QTest::newRow("no final line end, append at the end")
            << QByteArray("[Main]\r\nA=1") << "Main"
            << "B"
            << "2" << QByteArray("[Main]\r\nA=1\r\nB=2\r\n");
        QTest::newRow("no final line end, new section") << QByteArray("[Main]\nA=1") << "Other"
                                                        << "B"
                                                        << "2" << QByteArray("[Main]\nA=1\n[Other]\nB=2\n");
        QTest::newRow("no final line end, replace the last line") << QByteArray("[Main]\r\nA=1") << "Main"
                                                                  << "A"
                                                                  << "2" << QByteArray("[Main]\r\nA=2\r\n");
        QTest::newRow("no final line end, an earlier section changes")
            << QByteArray("[Main]\nA=1\n[Other]\nA=1") << "Main"
            << "A"
            << "1" << QByteArray("[Main]\nA=1\n[Other]\nA=1");
        QTest::newRow("empty file") << QByteArray() << "Main"
                                    << "A"
                                    << "1" << QByteArray("[Main]\r\nA=1\r\n");
        QTest::newRow("a key line without equals sign is the key's line")
            << QByteArray("[Main]\r\nA\r\nA=1\r\n") << "Main"
            << "A"
            << "2" << QByteArray("[Main]\r\nA=2\r\nA=1\r\n");
        QTest::newRow("an unterminated section line opens no section")
            << QByteArray("[Main\r\nA=1\r\n") << "Main"
            << "A"
            << "2" << QByteArray("[Main\r\nA=1\r\n[Main]\r\nA=2\r\n");
        QTest::newRow("CR-only file keeps CR") << QByteArray("[Main]\rA=1\rB=1\r") << "Main"
                                               << "A"
                                               << "2" << QByteArray("[Main]\rA=2\rB=1\r");
        QTest::newRow("CR-only file, append") << QByteArray("[Main]\rA=1") << "Main"
                                              << "B"
                                              << "2" << QByteArray("[Main]\rA=1\rB=2\r");
        const auto utf16 = [](const QString& text) {
            return "\xff\xfe" + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        };
        QTest::newRow("UTF-16 file stays UTF-16") << utf16("[M]\r\nA=1\r\nB=\u00e9\r\n") << "M"
                                                  << "A"
                                                  << "2" << utf16("[M]\r\nA=2\r\nB=\u00e9\r\n");
        QTest::newRow("8-bit and odd lines kept byte for byte")
            << QByteArray("\xef\xbb\xbf[Main]\r\n\x01garbage\xff\r\nA=1\r\n[Main]\r\nA=dup\r\n") << "Main"
            << "A"
            << "2" << QByteArray("\xef\xbb\xbf[Main]\r\n\x01garbage\xff\r\nA=2\r\n[Main]\r\nA=dup\r\n");
    }

    void writes()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        ProfileFile file(fileWith(before));
        file.writeString(str(section), str(key), str(value));
        QCOMPARE(bytesOf(file.path()), after);
        // The object reads what it wrote, and so does a fresh reader.
        QCOMPARE(file.readString(str(section), str(key), "d"), str(value));
        QCOMPARE(ProfileFile(file.path()).readString(str(section), str(key), "d"), str(value));
    }

    void writeCreatesTheFile()
    {
        const std::string path = str(m_dir.filePath("new-file.list"));
        ProfileFile file(path);
        QVERIFY(!file.exists());
        file.writeString("applied", "Patch1", "1");
        file.writeString("applied", "Patch2", "1");
        QVERIFY(file.exists());
        QCOMPARE(bytesOf(path), QByteArray("[applied]\r\nPatch1=1\r\nPatch2=1\r\n"));
    }

    void failedWriteLeavesTheFileAlone()
    {
        // A path whose parent is a regular file cannot be written, not even by root.
        const std::string blocker = fileWith("not a folder");
        ProfileFile file(blocker + "/inside.ini");
        QVERIFY_THROWS_EXCEPTION(UpdaterError, file.writeString("Main", "A", "1"));
        QCOMPARE(bytesOf(blocker), QByteArray("not a folder"));
        QVERIFY(!file.exists());

        // A folder in place of the file: the folder stays as it is.
        QVERIFY(QDir(m_dir.path()).mkpath("taken.ini/sub"));
        ProfileFile taken(str(m_dir.filePath("taken.ini")));
        QVERIFY_THROWS_EXCEPTION(UpdaterError, taken.writeString("Main", "A", "1"));
        QVERIFY(QFileInfo(m_dir.filePath("taken.ini/sub")).isDir());
    }

    // A file past a cap is not read (nor held in memory), and not replaced by a small one.
    void filesPastACapAreNotRead_data()
    {
        QTest::addColumn<QByteArray>("tail"); // after "[Main]\nA=1\n"
        QTest::addColumn<bool>("read");
        const auto repeated = [](const QByteArray& line, size_t times) {
            QByteArray text;
            text.reserve(qsizetype(line.size() * times));
            for (size_t i = 0; i < times; ++i)
                text += line;
            return text;
        };
        QTest::newRow("past the byte cap") << QByteArray() << false;
        QTest::newRow("sections up to the cap")
            << repeated("[s]\n", ProfileFile::LargestSectionCount - 1) << true;
        QTest::newRow("a section past the cap")
            << repeated("[s]\n", ProfileFile::LargestSectionCount) << false;
        QTest::newRow("lines past the cap") << repeated("k=v\r\n", ProfileFile::LargestLineCount) << false;
    }
    void filesPastACapAreNotRead()
    {
        QFETCH(QByteArray, tail);
        QFETCH(bool, read);
        const QByteArray bytes = "[Main]\nA=1\n" + tail;
        const std::string path = fileWith(bytes);
        const qint64 size = tail.isEmpty() ? qint64(ProfileFile::Largest + 1) : bytes.size();
        QVERIFY(QFile::resize(QString::fromStdString(path), size));
        ProfileFile file(path);
        QCOMPARE(file.tooLarge(), !read);
        QCOMPARE(file.readString("Main", "A", "d"), std::string(read ? "1" : "d"));
        if (!read)
            QVERIFY_THROWS_EXCEPTION(UpdaterError, file.writeString("Main", "A", "2"));
        QCOMPARE(QFileInfo(QString::fromStdString(path)).size(), size);
    }

    void writeLeavesNoTemporaryFiles()
    {
        QTemporaryDir folder;
        ProfileFile file(str(folder.filePath("updater4.cfg")));
        for (int i = 0; i < 5; ++i)
            file.writeString("Main", "Count", std::to_string(i));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"updater4.cfg"});
    }
};

QTEST_GUILESS_MAIN(TestProfileFile)
#include "tst_profilefile.moc"
