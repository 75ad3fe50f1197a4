#include "platform/StopFlag.h"
#include "support/TestSupport.h"
#include "trust/IntegrityLine.h"
#include "trust/Sha256.h"

#include <QProcess>
#include <QTest>

using namespace updater;

namespace {

const QByteArray Hex = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

// sha256sum's digest of the bytes, the oracle for ours.
std::string sha256sumOf(const QByteArray& bytes)
{
    QProcess sha256sum;
    sha256sum.start("sha256sum", {});
    sha256sum.write(bytes);
    sha256sum.closeWriteChannel();
    if (!sha256sum.waitForFinished() || sha256sum.exitCode() != 0)
        qFatal("sha256sum failed");
    return sha256sum.readAllStandardOutput().left(64).toStdString();
}

} // namespace

class TestIntegrity : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void lineParsesToItsCanonicalForm_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("canonical"); // empty when malformed

        QTest::newRow("one blank") << "12 " + Hex << "12 " + Hex;
        QTest::newRow("blanks and tabs between") << "12 \t  " + Hex << "12 " + Hex;
        QTest::newRow("blanks and tabs around") << " \t12 " + Hex + "\t "
                                                << "12 " + Hex;
        QTest::newRow("uppercase hex") << "12 " + Hex.toUpper() << "12 " + Hex;
        QTest::newRow("leading zeros") << "007 " + Hex << "7 " + Hex;
        QTest::newRow("largest size") << "18446744073709551615 " + Hex << "18446744073709551615 " + Hex;
        QTest::newRow("size beyond 64 bits") << "18446744073709551616 " + Hex << QByteArray();
        QTest::newRow("negative size") << "-1 " + Hex << QByteArray();
        QTest::newRow("hexadecimal size") << "0x1 " + Hex << QByteArray();
        QTest::newRow("short digest") << "12 " + Hex.left(63) << QByteArray();
        QTest::newRow("long digest") << "12 " + Hex + "0" << QByteArray();
        QTest::newRow("not a hex digit") << "12 " + Hex.left(63) + "g" << QByteArray();
        QTest::newRow("no size") << Hex << QByteArray();
        QTest::newRow("third field") << "12 " + Hex + " x" << QByteArray();
        QTest::newRow("line end left on") << "12 " + Hex + "\r" << QByteArray();
        QTest::newRow("blanks only") << QByteArray(" \t ") << QByteArray();
    }
    void lineParsesToItsCanonicalForm()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, canonical);
        const auto digest = parseIntegrityLine(line.toStdString());
        QCOMPARE(digest ? QByteArray::fromStdString(formatIntegrityLine(*digest)) : QByteArray(), canonical);
    }

    void digestsMatchSha256sum_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("short") << QByteArray("patch list\n");
        QTest::newRow("several chunks") << QByteArray(200003, '\xa5');
    }
    void digestsMatchSha256sum()
    {
        QFETCH(QByteArray, bytes);
        const QString path = m_dir.filePath("digested");
        test::writeFileOrDie(path, bytes);
        const auto file = digestFile(path.toStdString());
        QVERIFY(file);
        QCOMPARE(file->size, static_cast<std::uint64_t>(bytes.size()));
        QCOMPARE(file->sha256, sha256sumOf(bytes));
        QCOMPARE(sha256Hex(bytes.toStdString()), sha256sumOf(bytes));
    }

    void fileIsCheckedAgainstItsLine_data()
    {
        QTest::addColumn<QString>("name");       // "." is the test's folder
        QTest::addColumn<QByteArray>("content"); // null when no file is written
        QTest::addColumn<bool>("stopped");
        QTest::addColumn<QString>("cause");
        QTest::newRow("matches") << "a" << QByteArray("patch data") << false << "";
        QTest::newRow("longer") << "b" << QByteArray("patch data!") << false << "size does not match";
        QTest::newRow("same size, other bytes")
            << "c" << QByteArray("patch dat4") << false << "checksum does not match";
        QTest::newRow("missing") << "d" << QByteArray() << false << "file cannot be read";
        QTest::newRow("folder") << "." << QByteArray() << false << "file cannot be read";
        // A quitting launcher does not wait for the reading of a large archive.
        QTest::newRow("stop requested") << "e" << QByteArray("patch data") << true << "stopped";
    }
    void fileIsCheckedAgainstItsLine()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(bool, stopped);
        QFETCH(QString, cause);
        const QString path = m_dir.filePath(name);
        if (!content.isNull())
            test::writeFileOrDie(path, content);
        const auto line = parseIntegrityLine("10 " + sha256sumOf("patch data"));
        QVERIFY(line);
        StopFlag stop;
        if (stopped)
            stop.request();
        QCOMPARE(QString::fromUtf8(integrityCause(checkFileIntegrity(path.toStdString(), *line, &stop))),
                 cause);
    }
};

QTEST_GUILESS_MAIN(TestIntegrity)
#include "tst_integrity.moc"
