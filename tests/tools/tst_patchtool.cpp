// The patch tool as an administrator runs it: integrity lines written into a patch list, and a
// patch set checked the way the launcher will read it, with the real rar, minisign and sha256sum.

#include "config/ConfigReader.h"
#include "patch/Downloads.h"
#include "platform/InstanceLock.h"
#include "platform/ProfileFile.h"
#include "share/TorrentCheck.h"
#include "support/MinisignKeys.h"
#include "support/RarFixture.h"
#include "support/ScriptedHttpServer.h"
#include "support/TestSupport.h"
#include "trust/CommunityKey.h"
#include "trust/IntegrityLine.h"
#include "trust/Sha256.h"

#include <QDirIterator>
#include <QProcess>
#include <QTest>
#include <QtEndian>

using namespace updater;
using namespace updater::test;

namespace {

struct ToolRun
{
    int exitCode = -1;
    QStringList out;
    QString err;
};

ToolRun runTool(const QStringList& arguments, const QString& folder, const QByteArray& input = {})
{
    QProcess tool;
    tool.setWorkingDirectory(folder);
    tool.start(qEnvironmentVariable("PATCHTOOL_BINARY"), arguments);
    tool.write(input);
    tool.closeWriteChannel();
    if (!tool.waitForFinished(120000) || tool.exitStatus() != QProcess::NormalExit)
        return {};
    return {tool.exitCode(), QString::fromUtf8(tool.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
            QString::fromUtf8(tool.readAllStandardError())};
}

// The archive a row puts in slot 2.
QByteArray secondArchive(const QString& kind)
{
    RarBuilder rar;
    rar.add("one.txt", "first entry");
    rar.add("two.txt", "second entry");
    if (kind == "cut")
        return rar.build({"one.txt"}).chopped(3);
    if (kind == "unsafe name") {
        rar.add("dotdot.txt", "x");
        return renameRarEntry(rar.build({"dotdot.txt"}), "dotdot.txt", "../dot.txt");
    }
    if (kind == "own file") {
        rar.add("Tarvo-Updater/applied4.list", "Update_1=p1.rar");
        return rar.build({"Tarvo-Updater/applied4.list"});
    }
    if (kind == "case collision") {
        rar.add("Read.me", "a");
        rar.add("READ.ME", "b");
        return rar.build({"Read.me", "READ.ME"});
    }
    if (kind == "link") {
        rar.addSymlink("link.txt", "one.txt");
        return rar.build({"link.txt"}, {"-ol"});
    }
    if (kind == "damaged") {
        QByteArray archive = rar.build({"one.txt"}, {"-m0"});
        archive[archive.indexOf("first entry")] = 'F';
        return archive;
    }
    const QStringList options = kind == "encrypted headers" ? QStringList{"-hpsecret"}
                                : kind == "password"        ? QStringList{"-psecret"}
                                                            : QStringList{};
    return rar.build({"one.txt", "two.txt"}, options);
}

// "<size> <sha256>" with a defect: "right", "size+1", "checksum", or "none" for no line.
QByteArray integrityLine(const QByteArray& archive, const QString& defect)
{
    const QByteArray digest = QByteArray::fromStdString(sha256Hex(archive.toStdString()));
    const qsizetype size = archive.size() + (defect == "size+1" ? 1 : 0);
    return QByteArray::number(size) + " " +
           (defect == "checksum" ? digest.right(1) + digest.chopped(1) : digest);
}

// The lines of a list without the [Integrity] header and slot lines.
QByteArrayList withoutIntegrity(const QByteArray& list)
{
    QByteArrayList kept;
    bool inIntegrity = false;
    for (const QByteArray& line : list.split('\n')) {
        inIntegrity = line.startsWith('[') ? line.trimmed() == "[Integrity]" : inIntegrity;
        if (!inIntegrity || !(line.startsWith('[') || line.startsWith("Update_")))
            kept << line;
    }
    return kept;
}

// Every file and folder under a folder, one line each ("path", "path/" for a folder), sorted.
QByteArray listing(const QString& folder)
{
    QStringList lines;
    QDirIterator entries(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                         QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        const QFileInfo entry(entries.next());
        const QString name = QDir(folder).relativeFilePath(entry.filePath());
        lines << (entry.isDir() ? name + "/" : name);
    }
    lines.sort();
    return lines.join('\n').toUtf8() + '\n';
}

} // namespace

class PatchToolTest : public QObject
{
    Q_OBJECT

    MinisignKeys m_keys;
    MinisignKeys m_lockedKeys{"pass phrase"};
    QTemporaryDir m_set;

    QString path(const QString& name) const { return m_set.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(!qEnvironmentVariable("PATCHTOOL_BINARY").isEmpty());
        QVERIFY(m_keys.valid() && m_lockedKeys.valid());
        writeFileOrDie(path("community.pub"), m_keys.publicKeyFile());
        QVERIFY(QDir().mkpath(path("occupied")));
        writeFileOrDie(path("occupied/notes.txt"), "the administrator's own");
        writeFileOrDie(path("a-file"), "not a folder");
        writeFileOrDie(path("not-a-key.pub"), "untrusted comment: a key\nnot base64\n");
        // What `check --new-only` remembers stays with this test.
        qputenv("XDG_CACHE_HOME", path("cache").toUtf8());
    }

    void init()
    {
        QDir(path("patches")).removeRecursively();
        QDir().mkpath(path("patches"));
        QFile::remove(path("updates4.list.minisig"));
        QFile::remove(path("updater4.cfg.minisig"));
        QDir(path("cache")).removeRecursively();
        QDir(path(".updates4.list.publishing")).removeRecursively();
    }

    void checkNamesWhatTheLauncherWouldRefuse_data()
    {
        QTest::addColumn<QString>("archive");   // slot 2's archive, see secondArchive(); "absent" for none
        QTest::addColumn<QString>("integrity"); // slot 2's line, see integrityLine(); "gap", "below": right,
                                                // and a slot line never read; "gap, CR": the gap in a
                                                // list whose lines end in CR alone
        QTest::addColumn<QString>("signature"); // "no key" (no --key), "valid", "missing", "other list"
        QTest::addColumn<bool>("served");       // list and archives over HTTP instead of --archives
        QTest::addColumn<QStringList>("problems");

        const auto row = [](const char* name, const char* archive, const char* integrity,
                            const char* signature, QStringList problems, bool served = false) {
            QTest::newRow(name) << archive << integrity << signature << served << problems;
        };
        row("clean set", "clean", "right", "valid", {});
        row("cut archive", "cut", "right", "no key",
            {"Update_2: archive cut or damaged: it does not reach its end-of-archive block"});
        row("wrong checksum", "clean", "checksum", "no key", {"Update_2: checksum does not match"});
        row("wrong size", "clean", "size+1", "no key",
            {"Update_2: size does not match: the line says {size+1} bytes, the archive has {size}"});
        // Lines the launcher never reads: after a gap, and a slot written below [Integrity].
        row("slot after a gap", "clean", "gap", "no key",
            {"Update_4: never read: the slots stop at Update_2"});
        row("slot after a gap, CR line ends", "clean", "gap, CR", "no key",
            {"Update_4: never read: the slots stop at Update_2"});
        row("slot under [Integrity]", "clean", "below", "no key",
            {"Update_3: an address under [Integrity]: slot lines belong under [Updates]"});
        row("unsafe name", "unsafe name", "right", "no key", {"Update_2: unsafe name: ../dot.txt"});
        row("launcher's own file", "own file", "right", "no key",
            {"Update_2: replaces the launcher's own Tarvo-Updater\\applied4.list: "
             "Tarvo-Updater/applied4.list"});
        row("case collision", "case collision", "right", "no key",
            {"Update_2: names differ only in letter case: Read.me and READ.ME"});
        row("encrypted headers", "encrypted headers", "right", "no key",
            {"Update_2: headers encrypted with a password"});
        row("password entries", "password", "right", "no key",
            {"Update_2: entry needs a password: one.txt", "Update_2: entry needs a password: two.txt"});
        row("link entry", "link", "right", "no key", {"Update_2: link entry: link.txt"});
        row("damaged entry", "damaged", "right", "no key", {"Update_2: entry damaged: one.txt"});
        row("archive missing", "absent", "none", "no key", {"Update_2: archive missing: patches/second.rar"});
        row("missing signature", "clean", "right", "missing", {"list: no signature"});
        row("bad signature", "clean", "right", "other list", {"list: signature not valid"});
        row("signature without timestamp", "clean", "right", "no timestamp",
            {"list: signature without timestamp: sign with minisign's own trusted comment"});
        row("no integrity line with key", "clean", "none", "valid", {"Update_2: no integrity line"});
        row("no integrity line without key", "clean", "none", "no key", {});
        row("served, wrong checksum", "clean", "checksum", "valid", {"Update_2: checksum does not match"},
            true);
    }

    void checkNamesWhatTheLauncherWouldRefuse()
    {
        QFETCH(QString, archive);
        QFETCH(QString, integrity);
        QFETCH(QString, signature);
        QFETCH(bool, served);
        QFETCH(QStringList, problems);

        ScriptedHttpServer server;
        const std::string base = served ? server.url("/patches/") : "http://patches.invalid/p/";
        const QByteArray first = secondArchive("clean");
        const QByteArray second = secondArchive(archive);
        writeFileOrDie(path("patches/base.rar"), first);
        if (archive != "absent")
            writeFileOrDie(path("patches/second.rar"), second);
        const QByteArray gap = integrity.startsWith("gap")
                                   ? "Update_4=" + QByteArray::fromStdString(base) + "fourth.rar\r\n"
                                   : "";
        QByteArray list =
            "; the community's patches\r\n[Updates]\r\nUpdate_1=" + QByteArray::fromStdString(base) +
            "base.rar\r\nUpdate_2=" + QByteArray::fromStdString(base) + "second.rar\r\n" + gap +
            "[Integrity]\r\nUpdate_1=" + integrityLine(first, "right") + "\r\n";
        if (integrity != "none")
            list += "Update_2=" +
                    integrityLine(second,
                                  integrity.startsWith("gap") || integrity == "below" ? "right" : integrity) +
                    "\r\n";
        if (integrity == "below")
            list += "Update_3=" + QByteArray::fromStdString(base) + "third.rar\r\n";
        if (integrity == "gap, CR")
            list.replace("\r\n", "\r");
        problems.replaceInStrings("{size+1}", QString::number(second.size() + 1));
        problems.replaceInStrings("{size}", QString::number(second.size()));
        if (signature == "valid" || signature == "other list" || signature == "no timestamp")
            writeFileOrDie(path("updates4.list.minisig"),
                           m_keys.sign(list, signature == "no timestamp" ? "file:updates4.list" : QString()));
        if (signature == "other list")
            list += "Update_3=\r\n";
        writeFileOrDie(path("updates4.list"), list);
        for (const QString name :
             {"updates4.list", "updates4.list.minisig", "patches/base.rar", "patches/second.rar"})
            server.serveFile("/" + name.toStdString(), path(name).toStdString());

        QStringList arguments{"check", served ? QString::fromStdString(server.url("/updates4.list"))
                                              : "updates4.list"};
        if (signature != "no key")
            arguments += QStringList{"--key", "community.pub"};
        if (!served)
            arguments += QStringList{"--archives", "patches"};
        const ToolRun run = runTool(arguments, m_set.path());

        const qsizetype count = problems.size();
        QCOMPARE(run.out,
                 problems << "2 slots checked, " + (count == 0   ? QString("no problems")
                                                    : count == 1 ? QString("1 problem")
                                                                 : QString("%1 problems").arg(count)));
        QCOMPARE(run.exitCode, count == 0 ? 0 : 1);
    }

    void checkLooksAtTheConfiguration_data()
    {
        QTest::addColumn<QByteArray>("config"); // "{list}" stands for the served list's address
        QTest::addColumn<bool>("isSigned");
        QTest::addColumn<QStringList>("problems");
        const QByteArray main = "[Main]\r\nPatch_List={list}\r\n";
        QTest::newRow("signed") << main << true << QStringList{};
        QTest::newRow("not signed") << main << false << QStringList{"config: no signature"};
        QTest::newRow("no patch list")
            << QByteArray("[Main]\r\nHomepage=x\r\n") << true
            << QStringList{"config: no Patch_List under [Main]: the launcher would "
                           "download no patch"};
        QTest::newRow("another list")
            << QByteArray("[Main]\r\nPatch_List=http://elsewhere/u.list\r\n") << true
            << QStringList{"config: Patch_List names http://elsewhere/u.list, not the "
                           "list checked"};
    }

    void checkLooksAtTheConfiguration()
    {
        QFETCH(QByteArray, config);
        QFETCH(bool, isSigned);
        QFETCH(QStringList, problems);
        ScriptedHttpServer server;
        const QByteArray list = "[Updates]\r\n";
        config.replace("{list}", QByteArray::fromStdString(server.url("/updates4.list")));
        server.serve("/updates4.list", ScriptedHttpServer::ok(list.toStdString()));
        server.serve("/updates4.list.minisig", ScriptedHttpServer::ok(m_keys.sign(list).toStdString()));
        server.serve("/updater4.cfg", ScriptedHttpServer::ok(config.toStdString()));
        if (isSigned)
            server.serve("/updater4.cfg.minisig", ScriptedHttpServer::ok(m_keys.sign(config).toStdString()));

        const ToolRun run =
            runTool({"check", QString::fromStdString(server.url("/updates4.list")), "--key", "community.pub",
                     "--config", QString::fromStdString(server.url("/updater4.cfg"))},
                    m_set.path());

        QCOMPARE(run.out, problems << (problems.isEmpty() ? "0 slots checked, no problems"
                                                          : "0 slots checked, 1 problem"));
        QCOMPARE(run.exitCode, problems.size() == 1 ? 0 : 1);
    }

    // A second check with --new-only fetches no archive it passed before, unless its line changed.
    void newOnlySkipsWhatPassedBefore()
    {
        ScriptedHttpServer server;
        const QByteArray archive = secondArchive("clean");
        writeFileOrDie(path("patches/base.rar"), archive);
        server.serveFile("/patches/base.rar", path("patches/base.rar").toStdString());
        const QByteArray slot =
            "[Updates]\r\nUpdate_1=" + QByteArray::fromStdString(server.url("/patches/base.rar"));
        const QStringList arguments{"check", QString::fromStdString(server.url("/updates4.list")),
                                    "--new-only"};
        const auto checkWith = [&](const QByteArray& integrity) {
            server.serve("/updates4.list",
                         ScriptedHttpServer::ok(
                             (slot + "\r\n[Integrity]\r\nUpdate_1=" + integrity + "\r\n").toStdString()));
            const ToolRun run = runTool(arguments, m_set.path());
            const std::vector<std::string> requests = server.requests();
            const auto fetched =
                std::count_if(requests.begin(), requests.end(), [](const std::string& request) {
                    return request.starts_with("GET /patches/base.rar ");
                });
            return std::pair(run.out.value(run.out.size() - 1), int(fetched));
        };
        const QString passed = "1 slot checked, no problems";
        const QString skipped = "1 slot checked, 1 seen before and skipped, no problems";
        const QString failed = "1 slot checked, 1 problem";
        QCOMPARE(checkWith(integrityLine(archive, "right")), std::pair(passed, 1));
        QCOMPARE(checkWith(integrityLine(archive, "right")), std::pair(skipped, 1));
        QCOMPARE(checkWith(integrityLine(archive, "checksum")), std::pair(failed, 2));
        // A failed archive is not remembered.
        QCOMPARE(checkWith(integrityLine(archive, "checksum")), std::pair(failed, 3));
    }
    void publishSignsWhatPassesTheCheck_data()
    {
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<QStringList>("archives"); // in the folder; "cut.rar" is cut short
        QTest::addColumn<QStringList>("options");
        // Typed on standard input for the encrypted key; empty: the plain key.
        QTest::addColumn<QString>("password");
        // The slots of the published list; empty when nothing is published.
        QTest::addColumn<QStringList>("addresses");
        QTest::addColumn<QString>("lastLine");

        const QByteArray one = "; ours\r\n[Updates]\r\nUpdate_1=http://h/p/a.rar\r\n[Other]\r\nk=v\r\n";
        const QStringList abc{"a.rar", "b.rar", "c.rar", "notes.txt"};
        const QStringList published{"http://h/p/a.rar", "http://h/p/b.rar", "http://h/p/c.rar"};
        QTest::newRow("new archives get the next slots")
            << one << abc << QStringList{} << "" << published << "wrote updater4.cfg.minisig";
        QTest::newRow("encrypted key")
            << one << abc << QStringList{} << "pass phrase" << published << "wrote updater4.cfg.minisig";
        QTest::newRow("wrong password") << one << abc << QStringList{} << "guess" << QStringList{}
                                        << "the secret key does not open with that password";
        QTest::newRow("dry run") << one << abc << QStringList{"--dry-run"} << "" << QStringList{}
                                 << "dry run: nothing changed";
        QTest::newRow("first patch without --base")
            << QByteArray("[Updates]\r\n[Other]\r\nk=v\r\n") << abc << QStringList{} << "" << QStringList{}
            << "nothing published";
        QTest::newRow("first patch with --base")
            << QByteArray("[Updates]\r\n[Other]\r\nk=v\r\n") << QStringList{"a.rar"}
            << QStringList{"--base", "https://cdn.example/x"} << ""
            << QStringList{"https://cdn.example/x/a.rar"} << "wrote updater4.cfg.minisig";
        QTest::newRow("name not plain") << one << QStringList{"a.rar", "b c.rar"} << QStringList{} << ""
                                        << QStringList{} << "nothing published";
        QTest::newRow("slot after a gap") << one + "[Updates]\r\n"
                                          << QStringList{"a.rar"} << QStringList{} << "" << QStringList{}
                                          << "mend these lines of the list first";
        QTest::newRow("archive cut") << one << QStringList{"a.rar", "cut.rar"} << QStringList{} << ""
                                     << QStringList{} << "nothing published";
    }

    void publishSignsWhatPassesTheCheck()
    {
        QFETCH(QByteArray, list);
        QFETCH(QStringList, archives);
        QFETCH(QStringList, options);
        QFETCH(QString, password);
        QFETCH(QStringList, addresses);
        QFETCH(QString, lastLine);
        if (QTest::currentDataTag() == QByteArray("slot after a gap"))
            list.replace("[Other]", "Update_3=http://h/p/c.rar\r\n[Other]");
        writeFileOrDie(path("updates4.list"), list);
        const QByteArray config = "[Main]\r\nPatch_List=http://h/updates4.list\r\n";
        writeFileOrDie(path("updater4.cfg"), config);
        for (const QString& name : archives)
            writeFileOrDie(path("patches/" + name), secondArchive(name == "cut.rar" ? "cut" : "clean"));
        const MinisignKeys& keys = password.isEmpty() ? m_keys : m_lockedKeys;

        const ToolRun run = runTool(QStringList{"publish", "--list", "updates4.list", "--archives", "patches",
                                                "--key", keys.secretKeyPath(), "--config", "updater4.cfg"} +
                                        options,
                                    m_set.path(), password.toUtf8() + "\n");

        QVERIFY2(!run.out.isEmpty() && run.out.last() == lastLine, qPrintable(run.out.join('\n') + run.err));
        QCOMPARE(run.exitCode, addresses.isEmpty() && !options.contains("--dry-run") ? 1 : 0);
        if (addresses.isEmpty()) {
            QCOMPARE(bytesOf(path("updates4.list")), list);
            QVERIFY(!QFile::exists(path("updates4.list.minisig")) &&
                    !QFile::exists(path("updater4.cfg.minisig")));
            return;
        }
        QVERIFY(keys.verifies(path("updates4.list")) && keys.verifies(path("updater4.cfg")));
        QCOMPARE(bytesOf(path("updater4.cfg")), config);
        const ProfileFile result(path("updates4.list").toStdString());
        for (int slot = 1; slot <= addresses.size() + 1; ++slot) {
            const std::string key = "Update_" + std::to_string(slot);
            QCOMPARE(QString::fromStdString(result.readString("Updates", key, "")),
                     addresses.value(slot - 1));
            QCOMPARE(result.hasValue("Integrity", key), slot <= addresses.size());
        }
        QCOMPARE(result.readString("Other", "k", ""), "v");
        QVERIFY(run.out.contains(QString("%1 slot%2 checked, no problems")
                                     .arg(addresses.size())
                                     .arg(addresses.size() == 1 ? "" : "s")));
    }

    // A second publish, a publish killed part-way, and what an administrator may pass by mistake
    // leave the list and its signature matching, and nothing behind. A list once signed with a
    // clock far ahead must not lock every later list out: publish signs later, and says so.
    void publishKeepsTheListAndSignatureTogether_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said"); // a line of the output, or of standard error
        QTest::addColumn<QByteArray>("listAfter");
        const QByteArray one = "[Updates]\r\nUpdate_1=http://h/p/a.rar\r\n";
        const QByteArray two = "[Updates]\r\nUpdate_1=http://h/p/a.rar\r\nUpdate_2=http://h/p/b.rar\r\n";
        QTest::newRow("another publish running")
            << "held" << 2 << "tarvo-patchtool: another publish of updates4.list is running" << one;
        QTest::newRow("killed while placing: finished")
            << "killed placing" << 0 << "the last publish was cut short while putting updates4.list" << two;
        QTest::newRow("killed while preparing: removed")
            << "killed preparing" << 0 << "removed what a cut-short publish left" << two;
        QTest::newRow("key that never ends")
            << "endless key" << 2 << "tarvo-patchtool: /dev/zero is not a file" << one;
        QTest::newRow("archive behind a link")
            << "archive link" << 1 << "c.rar: a link, not an archive" << one;
        QTest::newRow("list in use signed in 2100")
            << "future" << 0 << "updates4.list: WARNING: the signature it replaces is for 2100-01-01" << two;
        QTest::newRow("list in use signed at the last time there is")
            << "end of time" << 1 << "updates4.list: the signature it replaces carries the last time" << one;
    }
    void publishKeepsTheListAndSignatureTogether()
    {
        QFETCH(QString, situation);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        QFETCH(QByteArray, listAfter);
        const QByteArray one = "[Updates]\r\nUpdate_1=http://h/p/a.rar\r\n";
        writeFileOrDie(path("updates4.list"), one);
        writeFileOrDie(path("patches/a.rar"), secondArchive("clean"));
        writeFileOrDie(path("patches/b.rar"), secondArchive("clean"));
        if (situation == "archive link")
            QVERIFY(QFile::link(path("patches/a.rar"), path("patches/c.rar")));
        const QString placing = path(".updates4.list.publishing");
        if (situation.startsWith("killed")) {
            // The pair a killed publish had staged: the list with slot 2, signed.
            const QByteArray staged =
                "[Updates]\r\nUpdate_1=http://h/p/a.rar\r\nUpdate_2=http://h/p/b.rar\r\n";
            QVERIFY(QDir().mkpath(placing));
            writeFileOrDie(placing + "/updates4.list", staged);
            writeFileOrDie(placing + "/updates4.list.minisig", m_keys.sign(staged));
            if (situation == "killed placing")
                writeFileOrDie(placing + "/complete", "");
        }
        if (situation == "future" || situation == "end of time")
            writeFileOrDie(path("updates4.list.minisig"),
                           m_keys.sign(one, situation == "future"
                                                ? "timestamp:4102444800\tfile:updates4.list"
                                                : "timestamp:18446744073709551615\tfile:x"));
        InstanceLock other(path(".updates4.list.lock").toStdString());
        if (situation == "held")
            QCOMPARE(other.acquire(), LockOutcome::Acquired);

        const QString key = situation == "endless key" ? "/dev/zero" : m_keys.secretKeyPath();
        const ToolRun run = runTool(
            {"publish", "--list", "updates4.list", "--archives", "patches", "--key", key}, m_set.path());

        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(!run.out.filter(said).isEmpty() || run.err.contains(said),
                 qPrintable(run.out.join('\n') + run.err));
        const QByteArray list = bytesOf(path("updates4.list"));
        QCOMPARE(withoutIntegrity(list), withoutIntegrity(listAfter));
        // Refused, the pair on disk stays as it was: signed only where it was signed before.
        QCOMPARE(m_keys.verifies(path("updates4.list")), exitCode == 0 || situation == "end of time");
        QVERIFY(!QFileInfo::exists(placing));
        if (situation == "future") {
            const auto signedAt = signedTimestamp(bytesOf(path("updates4.list.minisig")).toStdString());
            QCOMPARE(signedAt.value_or(0), 4102444801u);
            QVERIFY(!run.out.filter("list: WARNING: signed for 2100-01-01 00:00:01 UTC, ahead of").isEmpty());
        }
        QCOMPARE(QDir(m_set.path()).entryList({".updater-*"}, QDir::Hidden | QDir::AllEntries),
                 QStringList());
    }

    QStringList publishArguments() const
    {
        return {"publish", "--list", "updates4.list",       "--archives",
                "patches", "--key",  m_keys.secretKeyPath()};
    }

    // With --trackers every slot, old or new, gets its torrent (publish's check takes it as the
    // launcher would) from the sources given, and the whitelist names them; again, nothing changes.
    void publishMakesPinnedTorrents_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("tracker");     // the torrents'; empty: no torrents
        QTest::addColumn<QStringList>("mirrors"); // the web seeds' bases after the slot's own address
        const QString tracker = "http://t.example:6969/announce";
        QTest::newRow("mirror of the configuration")
            << QStringList{"--trackers", tracker} << tracker << QStringList{"http://cdn.example/x"};
        QTest::newRow("mirrors given")
            << QStringList{"--trackers", "udp://t.example", "--mirrors",
                           "http://m.example,http://n.example/y"}
            << "udp://t.example" << QStringList{"http://m.example", "http://n.example/y"};
        QTest::newRow("no trackers") << QStringList{} << "" << QStringList{};
        QTest::newRow("dry run") << QStringList{"--trackers", tracker, "--dry-run"} << "" << QStringList{};
    }

    void publishMakesPinnedTorrents()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, tracker);
        QFETCH(QStringList, mirrors);
        const QByteArray first = secondArchive("clean");
        writeFileOrDie(path("patches/a.rar"), first);
        writeFileOrDie(path("patches/b.rar"), renameRarEntry(first, "one.txt", "une.txt"));
        // Slot 1 was published before the community shared.
        writeFileOrDie(path("updates4.list"), "[Updates]\nUpdate_1=http://h/p/a.rar\n[Integrity]\nUpdate_1=" +
                                                  integrityLine(first, "right") + "\n");
        writeFileOrDie(path("updater4.cfg"),
                       "[Main]\nPatch_List=http://h/u.list\nPatch_Mirrors=http://cdn.example/x\n");
        QFile::remove(path("torrents.whitelist"));
        const QStringList publish = publishArguments() + QStringList{"--config", "updater4.cfg"};

        QCOMPARE(runTool(publish + options, m_set.path()).exitCode, 0);

        QByteArray whitelist, published = bytesOf(path("updates4.list"));
        for (const std::string name : {"a", "b"}) {
            const QByteArray torrent =
                bytesOf(path(QString::fromStdString("patches/" + name + ".rar.torrent")));
            const auto facts = readTorrentFacts(torrent.toStdString());
            QCOMPARE(facts.has_value(), !tracker.isEmpty());
            published += torrent;
            if (!facts)
                continue;
            std::vector<std::string> seeds{"http://h/p/" + name + ".rar"};
            for (const QString& mirror : mirrors)
                seeds.push_back(mirrorAddress(mirror.toStdString(), seeds.front()));
            QCOMPARE(facts->webSeeds, seeds);
            QCOMPARE(facts->trackers, std::vector<std::string>{tracker.toStdString()});
            whitelist += facts->infoHash + "\n";
        }
        QCOMPARE(bytesOf(path("torrents.whitelist")), tracker.isEmpty() ? "<missing>" : whitelist);
        QCOMPARE(published.contains("[Torrents]"), !tracker.isEmpty());
        QVERIFY(!published.contains("creation date"));
        QCOMPARE(runTool(publish + options, m_set.path()).exitCode, 0);
        QCOMPARE(bytesOf(path("updates4.list")) + bytesOf(path("patches/a.rar.torrent")) +
                     bytesOf(path("patches/b.rar.torrent")),
                 published);
    }

    // A slot's torrent the launcher would refuse, or that cannot stand in for HTTP, in a set that
    // publish made and something then changed.
    void checkNamesTorrentProblems_data()
    {
        QTest::addColumn<QString>("defect");
        QTest::addColumn<bool>("served");
        QTest::addColumn<QString>("problem"); // of slot 2; empty for none
        QTest::newRow("as published") << "none" << true << "";
        QTest::newRow("torrent missing")
            << "missing" << false << "torrent missing: patches/second.rar.torrent";
        QTest::newRow("torrent missing, served")
            << "missing" << true << "torrent cannot be downloaded: 404 Not Found";
        QTest::newRow("torrent tampered") << "tampered" << false << "torrent does not match the list";
        QTest::newRow("torrent of another slot")
            << "other slot" << true
            << "torrent describes another file: {base} of {size} bytes, not {second} of {size} bytes";
        QTest::newRow("same size, other bytes")
            << "other bytes" << false
            << "torrent describes another file: piece 1 of 1 differs from the archive";
        QTest::newRow("pin malformed") << "malformed pin" << false << "torrent pin malformed";
        QTest::newRow("no web seed") << "no web seed" << false
                                     << "torrent has no web seed at the slot's address";
    }

    void checkNamesTorrentProblems()
    {
        QFETCH(QString, defect);
        QFETCH(bool, served);
        QFETCH(QString, problem);
        ScriptedHttpServer server;
        const std::string base = served ? server.url("/patches/") : "http://patches.invalid/p/";
        const QByteArray archive = secondArchive("clean"),
                         other = renameRarEntry(archive, "one.txt", "une.txt");
        writeFileOrDie(path("patches/base.rar"), archive);
        writeFileOrDie(path("patches/second.rar"), archive);
        writeFileOrDie(path("updates4.list"), "[Updates]\r\n");
        const QStringList publish = publishArguments() + QStringList{"--base", QString::fromStdString(base),
                                                                     "--trackers", "http://t/a"};
        QCOMPARE(runTool(publish, m_set.path()).exitCode, 0);
        const QString ours = path("patches/second.rar.torrent");
        QByteArray torrent =
            defect == "other slot" ? bytesOf(path("patches/base.rar.torrent")) : bytesOf(ours);
        writeFileOrDie(ours,
                       torrent.replace("second.rar", defect == "no web seed" ? "secund.rar" : "second.rar") +
                           (defect == "tampered" ? "e" : ""));
        ProfileFile list(path("updates4.list").toStdString());
        list.writeString("Torrents", "Update_2",
                         defect == "malformed pin" ? "not a pin" : sha256Hex(torrent.toStdString()));
        if (defect == "missing")
            QFile::remove(ours);
        if (defect == "other bytes") {
            writeFileOrDie(path("patches/second.rar"), other);
            list.writeString("Integrity", "Update_2", integrityLine(other, "right").toStdString());
        }
        server.serveFile("/updates4.list", path("updates4.list").toStdString());
        for (const QString& name : QDir(path("patches")).entryList(QDir::Files))
            server.serveFile("/patches/" + name.toStdString(), path("patches/" + name).toStdString());

        const ToolRun run =
            runTool(served ? QStringList{"check", QString::fromStdString(server.url("/updates4.list"))}
                           : QStringList{"check", "updates4.list", "--archives", "patches"},
                    m_set.path());

        problem.replace("{base}", QString::fromStdString(downloadFileName(base + "base.rar")));
        problem.replace("{second}", QString::fromStdString(downloadFileName(base + "second.rar")));
        problem.replace("{size}", QString::number(archive.size()));
        QCOMPARE(run.out,
                 (problem.isEmpty() ? QStringList{"2 slots checked, no problems"}
                                    : QStringList{"Update_2: " + problem, "2 slots checked, 1 problem"}));
    }

    void integrityWritesLinesTheLauncherAccepts_data()
    {
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<QStringList>("archives"); // those in the folder
        QTest::addColumn<int>("exitCode");

        const QByteArray updates = "[Updates]\r\nUpdate_1=http://h/p/a.rar\r\nUpdate_2=http://h/p/b.rar\r\n";
        QTest::newRow("section added") << "; ours\r\n" + updates + "[Other]\r\nkey=value\r\n"
                                       << QStringList{"a", "b"} << 0;
        QTest::newRow("stale lines replaced")
            << updates + "[Integrity]\r\n; made by hand\r\nUpdate_2=1 00\r\n[Other]\r\nkey=value\r\n"
            << QStringList{"a", "b"} << 0;
        QTest::newRow("archive missing") << updates << QStringList{"a"} << 1;
    }

    void integrityWritesLinesTheLauncherAccepts()
    {
        QFETCH(QByteArray, list);
        QFETCH(QStringList, archives);
        QFETCH(int, exitCode);
        writeFileOrDie(path("updates4.list"), list);
        for (const QString& name : archives)
            writeFileOrDie(path("patches/" + name + ".rar"), secondArchive(name == "a" ? "clean" : "link"));

        const ToolRun run = runTool({"integrity", "updates4.list", "patches"}, m_set.path());

        QCOMPARE(run.exitCode, exitCode);
        QCOMPARE(run.err.contains("Update_2: archive missing"), archives.size() == 1);
        const QByteArray written = bytesOf(path("updates4.list"));
        QCOMPARE(withoutIntegrity(written), withoutIntegrity(list));
        const ProfileFile result(path("updates4.list").toStdString());
        QProcess sha256sum;
        sha256sum.setWorkingDirectory(path("patches"));
        sha256sum.start("sha256sum", QStringList{"a.rar", "b.rar"}.mid(0, archives.size()));
        QVERIFY(sha256sum.waitForFinished());
        const QByteArrayList sums = sha256sum.readAllStandardOutput().split('\n');
        QStringList printed;
        for (int slot = 1; slot <= archives.size(); ++slot) {
            const auto digest =
                parseIntegrityLine(result.readString("Integrity", "Update_" + std::to_string(slot), ""));
            QVERIFY(digest);
            QCOMPARE(QByteArray::fromStdString(digest->sha256), sums[slot - 1].left(64));
            QCOMPARE(qint64(digest->size), QFileInfo(path("patches/" + archives[slot - 1] + ".rar")).size());
            printed << QString("Update_%1=%2").arg(slot).arg(formatIntegrityLine(*digest).c_str());
        }
        QCOMPARE(run.out, printed);
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("complaint");
        const QString usage = "usage: tarvo-patchtool";
        QTest::newRow("nothing") << QStringList{} << usage;
        QTest::newRow("unknown command") << QStringList{"sign", "updates4.list"} << usage;
        QTest::newRow("integrity without folder") << QStringList{"integrity", "updates4.list"} << usage;
        QTest::newRow("option without value") << QStringList{"check", "updates4.list", "--archives"} << usage;
        QTest::newRow("key file missing") << QStringList{"check", "updates4.list", "--key", "nowhere.pub"}
                                          << "tarvo-patchtool: cannot read nowhere.pub\n";
        // A device that never ends is no key and no list.
        QTest::newRow("key that never ends") << QStringList{"check", "updates4.list", "--key", "/dev/zero"}
                                             << "tarvo-patchtool: cannot read /dev/zero\n";
        QTest::newRow("list that never ends")
            << QStringList{"integrity", "/dev/zero", "patches"} << "tarvo-patchtool: cannot read /dev/zero\n";
        // A new community is made only where nothing would be lost, and only from what works.
        const auto community = [](const QString& folder, const QString& site, const QStringList& more = {}) {
            return QStringList{"new-community", folder, "--title", "T", "--site", site} + more;
        };
        QTest::newRow("community without a title")
            << QStringList{"new-community", "new", "--site", "https://e.org"}
            << "new-community needs --title";
        QTest::newRow("community in a folder not empty")
            << community("occupied", "https://e.org")
            << "tarvo-patchtool: occupied is not empty: new-community makes a new community in a new or "
               "empty folder\n";
        QTest::newRow("community in a file")
            << community("a-file", "https://e.org") << "tarvo-patchtool: a-file is not a folder\n";
        for (const QString site : {"ftp://e.org", "e.org", "https://", "https://e.org/a b"})
            QTest::addRow("community at the site %s", qPrintable(site))
                << community("new", site)
                << "tarvo-patchtool: " + site +
                       " is not an http or https address (--site https://example.org)\n";
        QTest::newRow("community with a key that is none")
            << community("new", "https://e.org", {"--key", "not-a-key.pub"})
            << "tarvo-patchtool: not-a-key.pub is not a minisign public key file (minisign -G writes one, "
               "minisign.pub)\n";
        QTest::newRow("community with a key missing")
            << community("new", "https://e.org", {"--key", "nowhere.pub"})
            << "tarvo-patchtool: cannot read nowhere.pub\n";
    }

    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, complaint);
        const QByteArray before = listing(m_set.path());
        const ToolRun run = runTool(arguments, m_set.path());
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(complaint), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
        QCOMPARE(listing(m_set.path()), before);
    }

    // Both halves of a first community, as the golden files under tests/data/new-community/ show
    // them, and a configuration the launcher reads as the comments say.
    void newCommunityMakesBothHalves_data()
    {
        QTest::addColumn<bool>("withKey");
        QTest::newRow("with a key") << true;
        QTest::newRow("without a key") << false;
    }

    void newCommunityMakesBothHalves()
    {
        QFETCH(bool, withKey);
        const QString folder = path("community");
        QDir(folder).removeRecursively();
        const QStringList arguments =
            QStringList{"new-community",           "community", "--title",
                        "Grimv\u00e5le & Friends", "--site",    "https://play.example.org/tarvo/"} +
            (withKey ? QStringList{"--key", "community.pub"} : QStringList{});

        const ToolRun run = runTool(arguments, m_set.path());

        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out.join('\n').contains("WARNING: no --key: the patch list and the configuration"),
                 !withKey);
        QCOMPARE(listing(folder), goldenBytes(withKey ? "new-community/listing-with-key.txt"
                                                      : "new-community/listing-without-key.txt"));
        for (const QString name : {"web/updater4.cfg", "web/updates4.list", "web/news.html",
                                   "game/Tarvo-Updater/www/index.htm", "game/Tarvo-Updater/www/error.htm"})
            QCOMPARE(bytesOf(folder + "/" + name), goldenBytes("new-community/" + name));
        QCOMPARE(bytesOf(folder + "/game/Tarvo-Updater/updater4.cfg"), bytesOf(folder + "/web/updater4.cfg"));
        if (withKey)
            QCOMPARE(bytesOf(folder + "/game/Tarvo-Updater/patchlist.pub"), m_keys.publicKeyFile());
        const QByteArray logo = bytesOf(folder + "/game/Tarvo-Updater/GUI/LOGO.BMP");
        // A whole BMP file of 89 by 84 pixels: its header names its own size and those of the picture.
        QVERIFY(logo.startsWith("BM") &&
                qFromLittleEndian<quint32>(logo.constData() + 2) == quint32(logo.size()) &&
                logo.mid(18, 8) == QByteArray::fromHex("5900000054000000"));

        const Configuration read =
            readConfigurationFrom(ProfileFile((folder + "/game/Tarvo-Updater/updater4.cfg").toStdString()));
        const std::string site = "https://play.example.org/tarvo";
        QCOMPARE(std::tuple(read.titleWindowName, read.homepage, read.configLink, read.patchList,
                            read.registrationWeb, read.server[0].ipResolve),
                 std::tuple(std::string("Grimv\xe5le & Friends"), site + "/news.html", site + "/updater4.cfg",
                            site + "/updates4.list", std::string("https://duckduckgo.com/"),
                            std::string("play.example.org")));
        QCOMPARE(std::tuple(read.overWriteClientInfo, read.howManyServers, read.howManyClientInfos,
                            read.server[0].account, read.server[0].charPort, read.server[0].map),
                 std::tuple(1, 1, 0, 6900, 6121, 5121));
    }
};

QTEST_GUILESS_MAIN(PatchToolTest)
#include "tst_patchtool.moc"
