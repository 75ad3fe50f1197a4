#include "support/TestSupport.h"
#include "trust/Minisign.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using namespace updater;

namespace {

const QByteArray Message = "patch list\n";
const char* const Comment = "file:patch.lst time:1700000000";

QByteArray lineOf(const QByteArray& file, int index)
{
    return file.split('\n').value(index);
}

QByteArray withLine(const QByteArray& file, int index, const QByteArray& line)
{
    QList<QByteArray> lines = file.split('\n');
    lines[index] = line;
    return lines.join('\n');
}

// The file with the first bytes that its base64 line (the second) stands for replaced.
QByteArray withBytes(const QByteArray& file, const QByteArray& bytes)
{
    return withLine(file, 1,
                    QByteArray::fromBase64(lineOf(file, 1)).replace(0, bytes.size(), bytes).toBase64());
}

// minisign -V exits with 1 when a signature fails and with 2 when it cannot read its files.
int exitCodeFor(const QString& cause)
{
    if (cause.isEmpty())
        return 0;
    return cause == "signed with another key" || cause == "signature not valid" ? 1 : 2;
}

void row(const char* name, const QByteArray& signature, const char* cause, const char* comment = "",
         const QByteArray& message = Message)
{
    QTest::newRow(name) << signature << message << QString(cause) << QString(comment);
}

} // namespace

class TestMinisign : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QByteArray m_key, m_legacy, m_prehashed, m_otherKeys;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    int minisign(const QStringList& arguments) const
    {
        QProcess process;
        process.start("minisign", arguments);
        process.closeWriteChannel();
        if (!process.waitForFinished() || process.exitStatus() != QProcess::NormalExit)
            qFatal("minisign did not finish");
        return process.exitCode();
    }

    // Signs the message with a key made by initTestCase() and returns the signature file.
    QByteArray sign(const QString& key, QStringList options)
    {
        options << "-S"
                << "-s" << path(key + ".key") << "-m" << path("message") << "-x" << path("signature");
        return minisign(options) == 0 ? test::bytesOf(path("signature")) : QByteArray("<signing failed>");
    }

    // Asks minisign itself, so that every row also checks what we expect of it.
    int minisignVerdict(const QByteArray& key, const QByteArray& signature, const QByteArray& message) const
    {
        test::writeFileOrDie(path("oracle.pub"), key);
        test::writeFileOrDie(path("oracle.minisig"), signature);
        test::writeFileOrDie(path("oracle.msg"), message);
        return minisign(
            {"-V", "-q", "-p", path("oracle.pub"), "-x", path("oracle.minisig"), "-m", path("oracle.msg")});
    }

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable("minisign").isEmpty())
            QSKIP("minisign is not installed; it makes the keys and signatures these tests check.");
        test::writeFileOrDie(path("message"), Message);
        for (const QString key : {"a", "b"})
            QCOMPARE(minisign({"-G", "-W", "-p", path(key + ".pub"), "-s", path(key + ".key")}), 0);
        m_key = test::bytesOf(path("a.pub"));
        m_legacy = sign("a", {"-l", "-t", "legacy comment"});
        m_prehashed = sign("a", {"-t", Comment});
        m_otherKeys = sign("b", {});
    }

    void signaturesAreJudgedAsMinisignJudgesThem_data()
    {
        QTest::addColumn<QByteArray>("signature");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QString>("trustedComment");
        const QByteArray& signature = m_prehashed;
        const char* const malformed = "signature malformed";

        row("legacy", m_legacy, "", "legacy comment");
        row("prehashed", signature, "", Comment);
        row("CRLF line ends", QByteArray(signature).replace("\n", "\r\n"), "", Comment);
        row("text after a CR is not read", withLine(signature, 2, lineOf(signature, 2) + "\rmore"), "",
            Comment);
        QByteArray global = lineOf(signature, 3);
        global[global.size() - 3] += 1; // one of the four spare bits before "=="
        row("unused base64 bits set", withLine(signature, 3, global), "", Comment);
        row("changed message, legacy", m_legacy, "signature not valid", "", Message + "!");
        row("changed message, prehashed", signature, "signature not valid", "", Message + "!");
        row("changed trusted comment", withLine(signature, 2, "trusted comment: file:other.lst"),
            "signature not valid");
        row("another key", m_otherKeys, "signed with another key");
        row("empty", QByteArray(), "no signature");
        row("truncated", signature.left(signature.size() / 2), malformed);
        row("garbage", "not\na\nsignature\nfile\n", malformed);
        row("unknown algorithm", withBytes(signature, "Xx"), malformed);
        row("blank after the base64", withLine(signature, 1, lineOf(signature, 1) + " "), malformed);
        row("padding replaced", withLine(signature, 3, lineOf(signature, 3).replace("==", "AA")), malformed);
        row("untrusted comment without its prefix", withLine(signature, 0, "comment: ours"), malformed);
        row("NUL in the untrusted comment", withLine(signature, 0, lineOf(signature, 0) + '\0'), malformed);
        row("NUL after the base64", withLine(signature, 1, lineOf(signature, 1) + '\0'), malformed);
        row("NUL in the trusted comment", withLine(signature, 2, lineOf(signature, 2) + '\0'), malformed);
        row("trusted comment line over 8190 bytes",
            withLine(signature, 2, "trusted comment: " + QByteArray(8174, 'x')), malformed);
    }
    void signaturesAreJudgedAsMinisignJudgesThem()
    {
        QFETCH(QByteArray, signature);
        QFETCH(QByteArray, message);
        QFETCH(QString, cause);
        QFETCH(QString, trustedComment);
        QCOMPARE(minisignVerdict(m_key, signature, message), exitCodeFor(cause));
        const auto key = parseMinisignKeyFile(m_key.toStdString());
        QVERIFY(key);
        const SignatureVerdict verdict = verifyMinisign(*key, signature.toStdString(), message.toStdString());
        QCOMPARE(QString::fromUtf8(signatureCause(verdict.check)), cause);
        QCOMPARE(QString::fromStdString(verdict.trustedComment), trustedComment);
    }

    void keyFilesAreReadAsMinisignReadsThem_data()
    {
        QTest::addColumn<QByteArray>("keyFile");
        QTest::addColumn<bool>("accepted");
        const QByteArray keyLine = lineOf(m_key, 1);
        QTest::newRow("CRLF line ends") << QByteArray(m_key).replace("\n", "\r\n") << true;
        QTest::newRow("any first line") << withLine(m_key, 0, "our community's key") << true;
        QTest::newRow("key line alone") << keyLine << false;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("other algorithm") << withBytes(m_key, "ED") << false;
        QTest::newRow("short key") << withLine(m_key, 1,
                                               QByteArray::fromBase64(keyLine).chopped(1).toBase64())
                                   << false;
        QTest::newRow("blank after the key") << withLine(m_key, 1, keyLine + " ") << false;
        QTest::newRow("comment line over 1022 bytes") << withLine(m_key, 0, QByteArray(1023, 'x')) << false;
    }
    void keyFilesAreReadAsMinisignReadsThem()
    {
        QFETCH(QByteArray, keyFile);
        QFETCH(bool, accepted);
        QCOMPARE(minisignVerdict(keyFile, m_prehashed, Message) == 0, accepted);
        const auto key = parseMinisignKeyFile(keyFile.toStdString());
        QCOMPARE(key.has_value(), accepted);
        if (key)
            QVERIFY(verifyMinisign(*key, m_prehashed.toStdString(), Message.toStdString()).check ==
                    SignatureCheck::Valid);
    }
};

QTEST_GUILESS_MAIN(TestMinisign)
#include "tst_minisign.moc"
