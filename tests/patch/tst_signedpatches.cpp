// Patches that prove where they came from: integrity lines in the patch list, a list signed with
// the community's minisign key, and the key file that no patch may replace.

#include "net/HttpClient.h"
#include "patch/UpdateRun.h"
#include "support/MinisignKeys.h"
#include "support/RarFixture.h"
#include "support/RecordingPlayer.h"
#include "support/ScriptedHttpServer.h"
#include "support/TestSupport.h"
#include "trust/Sha256.h"

#include <QTest>

using namespace updater;
using namespace updater::test;

class SignedPatchesTest : public QObject
{
    Q_OBJECT

    MinisignKeys m_keys;
    MinisignKeys m_otherKeys;

private slots:
    void initTestCase()
    {
        if (!m_keys.valid() || !m_otherKeys.valid())
            QSKIP("minisign is not installed (scripts/setup installs it)");
    }

    void onlyProvenPatchesLand_data()
    {
        QTest::addColumn<QString>("key"); // patchlist.pub: none, valid, malformed, folder, dangling link
        // list.minisig: valid, missing, other key, other list; or "at N" (a trusted comment with
        // timestamp N, the list in use signed at 200), "again at 200" (the list in use served
        // again), "no time" (a comment without one)
        QTest::addColumn<QString>("signature");
        QTest::addColumn<QString>(
            "integrity");                   // the slot's line: right, none, size+1, size-1, checksum, junk
        QTest::addColumn<QString>("entry"); // the archive's one entry
        QTest::addColumn<int>("kind");      // the notice told, -1 for none
        QTest::addColumn<QString>("reply");

        const int none = -1, list = int(NoticeKind::PatchListUnavailable),
                  patch = int(NoticeKind::PatchUnavailable);
        QTest::newRow("no key, no line: as ever") << "none"
                                                  << "missing"
                                                  << "none"
                                                  << "a.txt" << none << "";
        QTest::newRow("no key, right line") << "none"
                                            << "missing"
                                            << "right"
                                            << "a.txt" << none << "";
        QTest::newRow("archive shorter") << "none"
                                         << "missing"
                                         << "size+1"
                                         << "a.txt" << patch << "size does not match";
        QTest::newRow("archive longer") << "none"
                                        << "missing"
                                        << "size-1"
                                        << "a.txt" << patch << "size does not match";
        QTest::newRow("other bytes") << "none"
                                     << "missing"
                                     << "checksum"
                                     << "a.txt" << patch << "checksum does not match";
        QTest::newRow("line unreadable") << "none"
                                         << "missing"
                                         << "junk"
                                         << "a.txt" << patch << "integrity line malformed";
        QTest::newRow("signed and lined") << "valid"
                                          << "valid"
                                          << "right"
                                          << "a.txt" << none << "";
        QTest::newRow("signed, no line") << "valid"
                                         << "valid"
                                         << "none"
                                         << "a.txt" << patch << "no integrity line";
        QTest::newRow("no signature") << "valid"
                                      << "missing"
                                      << "right"
                                      << "a.txt" << list << "no signature";
        QTest::newRow("another key") << "valid"
                                     << "other key"
                                     << "right"
                                     << "a.txt" << list << "signed with another key";
        QTest::newRow("list changed") << "valid"
                                      << "other list"
                                      << "right"
                                      << "a.txt" << list << "signature not valid";
        QTest::newRow("unsigned list kept from before the key") << "valid"
                                                                << "missing"
                                                                << "right"
                                                                << "a.txt" << list << "no signature";
        QTest::newRow("key unreadable") << "malformed"
                                        << "valid"
                                        << "right"
                                        << "a.txt" << list << "key file malformed";
        // A validly signed list older than the one in use would roll players back.
        QTest::newRow("older list replayed") << "valid"
                                             << "at 100"
                                             << "right"
                                             << "a.txt" << list << "list older than the one in use";
        // Only the very list in use may carry its time again: two lists signed in one second
        // must not be swapped back and forth.
        QTest::newRow("other list of the same second") << "valid"
                                                       << "at 200"
                                                       << "right"
                                                       << "a.txt" << list << "list older than the one in use";
        QTest::newRow("the list in use again") << "valid"
                                               << "again at 200"
                                               << "right"
                                               << "a.txt" << none << "";
        QTest::newRow("newer list") << "valid"
                                    << "at 300"
                                    << "right"
                                    << "a.txt" << none << "";
        QTest::newRow("signature without timestamp") << "valid"
                                                     << "no time"
                                                     << "right"
                                                     << "a.txt" << list << "signature without timestamp";
        // Anything at the key's name that is not a key keeps the checks on.
        QTest::newRow("key a folder") << "folder"
                                      << "missing"
                                      << "none"
                                      << "a.txt" << list << "key file malformed";
        QTest::newRow("key a link to nothing") << "dangling link"
                                               << "missing"
                                               << "none"
                                               << "a.txt" << list << "key file malformed";
        QTest::newRow("patch replacing the key")
            << "valid"
            << "valid"
            << "right"
            << "TARVO-UPDATER/PatchList.pub" << int(NoticeKind::ArchiveEntryFailed) << "";
    }

    void onlyProvenPatchesLand()
    {
        QFETCH(QString, key);
        QFETCH(QString, signature);
        QFETCH(QString, integrity);
        QFETCH(QString, entry);
        QFETCH(int, kind);
        QFETCH(QString, reply);
        GameFolder game;
        const QByteArray keyFile =
            key == "valid" ? m_keys.publicKeyFile() : "untrusted comment: x\nnot a key\n";
        const bool keyFileWritten = key == "valid" || key == "malformed";
        if (keyFileWritten)
            game.write("Tarvo-Updater/patchlist.pub", keyFile);
        game.write("Tarvo-Updater/applied4.list", "");
        if (key == "folder")
            QVERIFY(QDir(game.path()).mkpath("Tarvo-Updater/patchlist.pub"));
        if (key == "dangling link")
            QVERIFY(QFile::link(game.path() + "/nowhere", game.path() + "/Tarvo-Updater/patchlist.pub"));
        const bool listKeptFromBefore = QByteArray(QTest::currentDataTag()).startsWith("unsigned list");

        RarBuilder builder;
        builder.add(entry, "new bytes");
        const QByteArray archive = builder.build({entry});
        QTemporaryDir fixtures;
        writeFileOrDie(fixtures.filePath("p1.rar"), archive);
        ScriptedHttpServer server;
        server.serveFile("/patches/p1.rar", fixtures.filePath("p1.rar").toStdString());

        const std::string digest = sha256Hex(archive.toStdString());
        const QByteArray size = QByteArray::number(archive.size());
        QByteArray line;
        if (integrity == "right")
            line = size + "  " + QByteArray::fromStdString(digest).toUpper();
        else if (integrity == "size+1" || integrity == "size-1")
            line = QByteArray::number(archive.size() + (integrity == "size+1" ? 1 : -1)) + " " +
                   QByteArray::fromStdString(digest);
        else if (integrity == "checksum")
            line = size + " " + QByteArray::fromStdString(sha256Hex("other"));
        else if (integrity == "junk")
            line = "twelve " + QByteArray::fromStdString(digest);
        QByteArray listBytes =
            "[Updates]\r\nUpdate_1=" + QByteArray::fromStdString(server.url("/patches/p1.rar")) + "\r\n";
        if (!line.isEmpty())
            listBytes += "[Integrity]\r\nUpdate_1=" + line + "\r\n";
        server.serve("/l", ScriptedHttpServer::ok(listBytes.toStdString()));
        if (listKeptFromBefore)
            game.write("Tarvo-Updater/updates4.list", listBytes);
        QString comment;
        if (signature.contains("at ")) {
            comment = "timestamp:" + signature.section(' ', -1) + "\tfile:updates4.list";
            // The list in use has no slot left to apply, unless it is served again.
            const QByteArray inUse = signature.startsWith("again") ? listBytes : "[Updates]\r\n";
            game.write("Tarvo-Updater/updates4.list", inUse);
            game.write("Tarvo-Updater/updates4.list.minisig",
                       m_keys.sign(inUse, "timestamp:200\tfile:updates4.list"));
        } else if (signature == "no time") {
            comment = "signed by hand";
        }
        if (signature != "missing") {
            const QByteArray signedBytes = signature == "other list" ? listBytes + ";" : listBytes;
            const MinisignKeys& signer = signature == "other key" ? m_otherKeys : m_keys;
            server.serve("/l.minisig",
                         ScriptedHttpServer::ok(signer.sign(signedBytes, comment).toStdString()));
        }

        Configuration config;
        config.patchList = server.url("/l");
        RecordingPlayer player;
        UpdateRun run(config, player);
        run.run();

        const bool applied = kind == -1;
        QCOMPARE(player.notices().size(), applied ? 0 : 1);
        if (!applied) {
            QCOMPARE(int(player.notices().first().kind), kind);
            if (!reply.isEmpty())
                QCOMPARE(QString::fromStdString(player.notices().first().reply), reply);
        }
        QCOMPARE(game.exists(entry), applied);
        QCOMPARE(game.read("Tarvo-Updater/applied4.list").contains("Update_1=p1.rar"), applied);
        // A list that does not prove itself is not kept.
        QCOMPARE(game.read("Tarvo-Updater/updates4.list") == listBytes,
                 listKeptFromBefore || kind != int(NoticeKind::PatchListUnavailable));
        if (keyFileWritten)
            QCOMPARE(game.read("Tarvo-Updater/patchlist.pub"), keyFile);
        QVERIFY(
            QDir(game.path() + "/Tarvo-Updater/downloads").entryList(QDir::Files | QDir::Hidden).isEmpty());
    }
};

QTEST_GUILESS_MAIN(SignedPatchesTest)
#include "tst_signedpatches.moc"
