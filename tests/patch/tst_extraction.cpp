// Unpacking patch archives into the game folder: captions, notices, and the guarantees that an
// unsafe or failed entry never writes outside the game folder nor costs the player an old file,
// that nothing of a cut archive is unpacked, and that a killed launcher leaves no half-written file.

#include "patch/Downloads.h"
#include "patch/PatchExtraction.h"
#include "patch/TestHooks.h"
#include "platform/Utf8Locale.h"
#include "support/FileFaultInjection.h"
#include "support/ManualClock.h"
#include "support/RarFixture.h"
#include "support/RecordingPlayer.h"
#include "support/TestSupport.h"

#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>

#include <clocale>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace updater;
using namespace updater::test;

namespace {

// Set for the child process that unpacks an archive until it is killed: the archive's name in the
// child's current folder.
constexpr char ExtractUntilKilled[] = "UPDATER_TEST_EXTRACT_UNTIL_KILLED";

const QStringList FourEntries{"one.txt", "two.txt", "three.txt", "four.txt"};

QByteArray contentOf(const QString& entry)
{
    return "entry " + entry.toLatin1();
}

QByteArray fourEntryRar5()
{
    RarBuilder archive;
    for (const QString& entry : FourEntries)
        archive.add(entry, contentOf(entry));
    return archive.build(FourEntries);
}

QByteArray fourEntryRar4(bool endBlock)
{
    QList<QPair<QByteArray, QByteArray>> entries;
    for (const QString& entry : FourEntries)
        entries.append({entry.toLatin1(), contentOf(entry)});
    return rar4Archive(entries, endBlock);
}

// The names in the folder, hidden ones too.
QStringList namesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class ExtractionTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<RecordingPlayer> m_player;
    QList<int> m_counts; // the unpacked counts shown

    ExtractionContext context()
    {
        ExtractionContext c;
        c.showCount = [this](int unpacked) { m_counts << unpacked; };
        c.captionInterval = std::chrono::milliseconds(0); // a caption for every entry
        c.player = m_player.get();
        return c;
    }

    // The notices told, as kind and subject.
    QStringList notices() const
    {
        QStringList lines;
        for (const Notice& notice : m_player->notices())
            lines << told(notice.kind, notice.subject);
        return lines;
    }

    static QString told(NoticeKind kind, const std::string& subject)
    {
        return QString("kind %1: %2").arg(int(kind)).arg(QString::fromStdString(subject));
    }

public:
    // The child of killMidEntryLeavesNoHalfWrittenFile, before any test runs: killed as its entry's
    // file grows past 1 MiB, when the system refuses the write (SIGXFSZ).
    static void initMain()
    {
        const std::string archive = qEnvironmentVariable(ExtractUntilKilled).toStdString();
        if (archive.empty())
            return;
        std::signal(SIGXFSZ, [](int) { std::raise(SIGKILL); });
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 1 << 20;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::exit(extractPatchArchive(archive, archive, {}) ? 0 : 1);
    }

private slots:
    void initTestCase() { std::setlocale(LC_ALL, ""); }

    void init()
    {
        m_player = std::make_unique<RecordingPlayer>();
        m_counts.clear();
    }

    void countsEntriesOverEveryArchiveOfTheRun()
    {
        resetUnpackedFileCountForTest();
        GameFolder game;
        RarBuilder first;
        first.add("one.txt", "1");
        first.add("two.txt", "2");
        first.add("three.txt", "3");
        game.write("first.rar", first.build({"one.txt", "two.txt", "three.txt"}));
        RarBuilder second;
        second.add("four.txt", "4");
        second.add("five.txt", "5");
        game.write("second.rar", second.build({"four.txt", "five.txt"}));

        QVERIFY(extractPatchArchive("first.rar", "first.rar", context()));
        QVERIFY(extractPatchArchive("second.rar", "second.rar", context()));

        QCOMPARE(m_counts, QList<int>({1, 2, 3, 4, 5}));
        QCOMPARE(unpackedFileCount(), 5);
        QCOMPARE(game.read("three.txt"), QByteArray("3"));
        QCOMPARE(game.read("five.txt"), QByteArray("5"));
        QVERIFY(m_player->notices().isEmpty());

        // Paced: the first count at once, even on a clock that reads less than the interval (a
        // freshly booted machine), the last before the archive ends or a failed entry is told,
        // nothing between.
        m_counts.clear();
        const ManualClock freshlyBooted;
        ExtractionContext paced = context();
        paced.captionInterval = std::chrono::hours(1);
        paced.clock = &freshlyBooted;
        QVERIFY(extractPatchArchive("first.rar", "first.rar", paced));
        QCOMPARE(m_counts, QList<int>({6, 8}));
        m_counts.clear();
        RarBuilder failing;
        failing.add("a.txt", "a");
        failing.add("b.txt", "b");
        failing.add("c.txt", "c");
        game.write("failing.rar", failing.build({"a.txt", "b.txt", "c.txt"}));
        game.write("c.txt/blocked", "x"); // a folder where the last entry's file belongs
        QVERIFY(!extractPatchArchive("failing.rar", "failing.rar", paced));
        QCOMPARE(m_counts, QList<int>({9, 11}));
        QCOMPARE(notices(), QStringList({told(NoticeKind::ArchiveEntryFailed, "c.txt")}));
    }

    // A new file takes the archive's permissions (never set-id bits) and modification time; an
    // existing read-only file and a symbolic link are replaced, the link's target left alone.
    void entriesTakeTheirPlaceWithTheArchivedModeAndTime()
    {
        GameFolder game;
        QTemporaryDir outside;
        const QString linkTarget = outside.filePath("elsewhere.txt");
        writeFileOrDie(linkTarget, "outside");
        game.write("readonly.txt", "old");
        QFile::setPermissions("readonly.txt", QFile::ReadOwner);
        QVERIFY(QFile::link(linkTarget, "linked.txt"));
        RarBuilder archive;
        const QList<QPair<QString, mode_t>> modes{{"private.txt", 0600},
                                                  {"tool.sh", 0755},
                                                  {"setid.bin", 04755},
                                                  {"readonly.txt", 0644},
                                                  {"linked.txt", 0644}};
        const timespec archived[2] = {{0, UTIME_OMIT}, {1700000000, 123456789}};
        QStringList names;
        for (const auto& [name, mode] : modes) {
            archive.add(name, name.toUtf8());
            const QByteArray staged = QFile::encodeName(archive.stagePath() + "/" + name);
            QCOMPARE(::chmod(staged.constData(), mode), 0);
            QCOMPARE(::utimensat(AT_FDCWD, staged.constData(), archived, 0), 0);
            names << name;
        }
        game.write("m.rar", archive.build(names, {"-tsm"}));

        QVERIFY(extractPatchArchive("m.rar", "m.rar", context()));

        for (const auto& [name, mode] : modes) {
            struct stat st;
            QCOMPARE(::lstat(QFile::encodeName(name).constData(), &st), 0);
            QVERIFY2(S_ISREG(st.st_mode), qPrintable(name));
            QCOMPARE(st.st_mode & 07777, mode & 0777);
            QCOMPARE(st.st_mtim.tv_sec, archived[1].tv_sec);
            QCOMPARE(st.st_mtim.tv_nsec, 123456700L); // the library gives 100 ns steps
            QCOMPARE(game.read(name), name.toUtf8());
        }
        QCOMPARE(bytesOf(linkTarget), QByteArray("outside"));
    }

    void replacesFilesInFoldersWithoutRegardToCase()
    {
        GameFolder game;
        game.write("data/texture.bmp", "old texture");
        game.write("data/keep.txt", "untouched");
        RarBuilder archive;
        archive.add("DATA/Texture.bmp", "new texture");
        archive.add("DATA/sprite/monster.spr", "new sprite");
        archive.add("maps/town/town.gat", "new map");
        game.write("p.rar", archive.build({"DATA", "maps"}, {"-r"}));

        QVERIFY(extractPatchArchive("p.rar", "p.rar", context()));

        // The existing file keeps its spelling and gets the new content.
        QCOMPARE(game.read("data/texture.bmp"), QByteArray("new texture"));
        QVERIFY(!game.exists("data/Texture.bmp"));
        QVERIFY2(!game.exists("DATA"), "a second folder differing only in case was made");
        QCOMPARE(game.read("data/sprite/monster.spr"), QByteArray("new sprite"));
        QCOMPARE(game.read("maps/town/town.gat"), QByteArray("new map"));
        QCOMPARE(game.read("data/keep.txt"), QByteArray("untouched"));
        // Folder entries count as entries too; no temporary file stays behind.
        QVERIFY(m_counts.size() >= 3);
        QCOMPARE(QDir(game.path() + "/data").entryList({".updater*"}, QDir::Hidden | QDir::Files).size(), 0);
    }

    void showsTheCommentBeforeTheFirstEntry()
    {
        GameFolder game;
        RarBuilder archive;
        archive.add("entry.txt", "x");
        archive.add("comment.txt", "Patch 7: new maps\r\n");
        game.write("c.rar", archive.build({"entry.txt"}, {"-z" + archive.stagePath() + "/comment.txt"}));

        QVERIFY(extractPatchArchive("c.rar", "c.rar", context()));

        const QList<Notice> heard = m_player->notices();
        QCOMPARE(heard.size(), 1);
        QCOMPARE(heard[0].kind, NoticeKind::ArchiveComment);
        QVERIFY2(heard[0].subject.starts_with("Patch 7: new maps"), heard[0].subject.c_str());
        QCOMPARE(m_counts.size(), 1);
    }

    void archiveThatCannotBeOpenedIsTold()
    {
        GameFolder game;
        game.write("patch.rar", "<html><body>404 Not Found</body></html>");

        QVERIFY(!extractPatchArchive("patch.rar", "patch.rar", context()));

        const QList<Notice> heard = m_player->notices();
        QCOMPARE(heard.size(), 1);
        QCOMPARE(heard[0].kind, NoticeKind::ArchiveUnreadable);
        QCOMPARE(QString::fromStdString(heard[0].subject), QString("patch.rar"));
        QCOMPARE(heard[0].code, 13); // the library's "not an archive"
        QVERIFY(m_counts.isEmpty());
    }

    void emptyArchiveShowsNothing()
    {
        GameFolder game;
        RarBuilder archive;
        archive.add("only.txt", "x");
        game.write("empty.rar", withoutEntries(archive.build({"only.txt"})));

        QVERIFY(extractPatchArchive("empty.rar", "empty.rar", context()));

        QVERIFY(m_counts.isEmpty());
        QVERIFY(m_player->notices().isEmpty());
        QVERIFY(!game.exists("only.txt"));
    }

    void passwordEntryStopsTheArchiveAndKeepsTheOldFile()
    {
        GameFolder game;
        game.write("secret.txt", "old secret");
        RarBuilder archive;
        archive.add("secret.txt", "new secret");
        archive.add("later.txt", "later");
        archive.build({"secret.txt"}, {"-pSECRET"});
        game.write("pw.rar", archive.build({"later.txt"}));

        QVERIFY(!extractPatchArchive("pw.rar", "pw.rar", context()));

        QCOMPARE(m_counts.size(), 1);
        QCOMPARE(notices(), QStringList{told(NoticeKind::ArchiveEntryFailed, "secret.txt")});
        QCOMPARE(game.read("secret.txt"), QByteArray("old secret"));
        QVERIFY(!game.exists("later.txt"));
        QCOMPARE(QDir(game.path()).entryList({".updater*"}, QDir::Hidden | QDir::Files).size(), 0);
    }

    void damagedDataKeepsTheOldFile_data()
    {
        QTest::addColumn<bool>("oldFile");
        QTest::newRow("replacing a file") << true;
        QTest::newRow("new file") << false;
    }

    void damagedDataKeepsTheOldFile()
    {
        QFETCH(bool, oldFile);
        GameFolder game;
        if (oldFile)
            game.write("big.grf", "the player's old file");
        RarBuilder archive;
        QByteArray noise(200000, '\0');
        for (qsizetype i = 0; i < noise.size(); ++i)
            noise[i] = char((i * 7919 + (i >> 5) * 31) & 0xFF);
        archive.add("big.grf", noise);
        QByteArray bytes = archive.build({"big.grf"}, {"-m0"});
        // Flip bytes in the middle of the stored data: the entry fails its checksum.
        for (int i = 0; i < 64; ++i)
            bytes[bytes.size() / 2 + i] = char(~bytes[bytes.size() / 2 + i]);
        game.write("bad.rar", bytes);

        QVERIFY(!extractPatchArchive("bad.rar", "bad.rar", context()));

        QCOMPARE(notices(), QStringList{told(NoticeKind::ArchiveEntryFailed, "big.grf")});
        if (oldFile)
            QCOMPARE(game.read("big.grf"), QByteArray("the player's old file"));
        else
            QVERIFY(!game.exists("big.grf"));
        QCOMPARE(QDir(game.path()).entryList({".updater*"}, QDir::Hidden | QDir::Files).size(), 0);
    }

    // A slot lands whole or not at all: a later entry that fails leaves the game folder as it was,
    // the earlier ones unplaced and nothing of the staging behind. The box keeps the library's
    // code; the cause the log gets says what went wrong.
    void failedEntryLeavesTheGameFolderAsItWas_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("second"); // the entry after first.txt
        QTest::addColumn<QString>("failed"); // the entry told
        QTest::addColumn<QString>("cause");
        QTest::newRow("disk full") << "disk full"
                                   << "sub/x.txt"
                                   << "first.txt"
                                   << "disk full";
        QTest::newRow("a file where its folder belongs") << "file in the way"
                                                         << "sub/x.txt"
                                                         << "sub/x.txt"
                                                         << "cannot make the folder sub";
        QTest::newRow("a folder where its file belongs") << "folder in the way"
                                                         << "sub/x.txt"
                                                         << "sub/x.txt"
                                                         << "a folder stands in its place";
        QTest::newRow("a link entry") << "link"
                                      << "passwd"
                                      << "passwd"
                                      << "a link entry";
    }
    void failedEntryLeavesTheGameFolderAsItWas()
    {
        QFETCH(QString, fault);
        QFETCH(QString, second);
        QFETCH(QString, failed);
        QFETCH(QString, cause);
        GameFolder game;
        game.write("first.txt", "old first");
        RarBuilder archive;
        archive.add("first.txt", "new first");
        if (fault == "link")
            archive.addSymlink(second, "/etc/passwd");
        else
            archive.add(second, "second");
        game.write("p.rar", archive.build({"first.txt", second}, {"-ol"}));
        std::optional<test::FileFaultInjection> diskFull;
        if (fault == "disk full")
            diskFull.emplace(FileFault::DiskFull, "Tarvo-Updater"); // where every entry waits
        if (fault == "file in the way")
            game.write("sub", "a file");
        if (fault == "folder in the way")
            game.write("sub/x.txt/kept", "kept");
        const QStringList before = game.contents();

        QVERIFY(!extractPatchArchive("p.rar", "p.rar", context()));

        QCOMPARE(notices(), QStringList{told(NoticeKind::ArchiveEntryFailed, failed.toStdString())});
        QCOMPARE(QString::fromStdString(m_player->notices().first().cause), cause);
        QCOMPARE(game.contents(), before);
    }

    void brokenHeaderEndsTheArchive()
    {
        GameFolder game;
        RarBuilder archive;
        archive.add("a.txt", "a");
        archive.add("b.txt", "b");
        game.write("hdr.rar", withBrokenEntryHeader(archive.build({"a.txt", "b.txt"}), 1));

        QVERIFY(!extractPatchArchive("hdr.rar", "hdr.rar", context()));

        // The damage is found before anything is unpacked: no entry of the archive lands.
        QCOMPARE(m_counts.size(), 0);
        QVERIFY(!game.exists("a.txt"));
        QVERIFY(!game.exists("b.txt"));
        QCOMPARE(notices(), QStringList{told(NoticeKind::ArchiveHeaderBroken, "hdr.rar")});
    }

    void cutArchivesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<bool>("whole");
        const QByteArray rar5 = fourEntryRar5();
        QTest::newRow("RAR 5 whole") << rar5 << true;
        for (qsizetype cut : {20, 60, 120, 220})
            QTest::addRow("RAR 5 cut at %d bytes", int(cut)) << rar5.left(cut) << false;
        const std::vector<RarBlock> blocks = rarBlocks(rar5);
        QCOMPARE(blocks.back().type, uint64_t(5));
        for (const RarBlock& block : blocks)
            if (block.type != 5)
                QTest::addRow("RAR 5 cut at the block boundary at %d", int(block.start))
                    << rar5.left(block.start) << false;
        QTest::newRow("RAR 5 cut just before its end block") << rar5.left(blocks.back().start) << false;
        const QByteArray rar4 = fourEntryRar4(true);
        QTest::newRow("RAR 4 whole") << rar4 << true;
        QTest::newRow("RAR 4 cut inside its last entry") << rar4.chopped(7 + 3) << false;
        QTest::newRow("RAR 4 cut before its end block, as -en makes it") << fourEntryRar4(false) << false;
    }

    void cutArchivesAreRefused()
    {
        QFETCH(QByteArray, archive);
        QFETCH(bool, whole);
        GameFolder game;
        game.write("cut.rar", archive);

        QCOMPARE(extractPatchArchive("cut.rar", "cut.rar", context()), whole);

        if (whole) {
            QVERIFY(m_player->notices().isEmpty());
            for (const QString& entry : FourEntries)
                QCOMPARE(game.read(entry), contentOf(entry));
        } else {
            QCOMPARE(notices(), QStringList{told(NoticeKind::ArchiveHeaderBroken, "cut.rar")});
            QCOMPARE(namesIn(game.path()), QStringList{"cut.rar"});
        }
    }

    void namesAndCommentArriveAsUtf8WhateverTheLocale()
    {
        GameFolder game;
        // The tool reads the staged names in UTF-8 whatever the environment's locale.
        const bool environmentLocaleSet = qEnvironmentVariableIsSet("LC_ALL");
        const QByteArray environmentLocale = qgetenv("LC_ALL");
        qputenv("LC_ALL", "C.UTF-8");
        const auto restoreEnvironment = qScopeGuard([&] {
            if (environmentLocaleSet)
                qputenv("LC_ALL", environmentLocale);
            else
                qunsetenv("LC_ALL");
        });
        RarBuilder archive;
        archive.add("café.txt", "c");
        archive.add("Ünï/inside.txt", "i");
        archive.add("comment.txt", "Grüße – patch");
        game.write("u.rar",
                   archive.build({"café.txt", "Ünï"}, {"-r", "-z" + archive.stagePath() + "/comment.txt"}));
        std::setlocale(LC_ALL, "C");
        useUtf8CharacterType();
        const auto restoreLocale = qScopeGuard([] { std::setlocale(LC_ALL, ""); });

        QVERIFY(extractPatchArchive("u.rar", "u.rar", context()));

        QCOMPARE(game.read("café.txt"), QByteArray("c"));
        QCOMPARE(game.read("Ünï/inside.txt"), QByteArray("i"));
        QCOMPARE(namesIn(game.path()), QStringList({"café.txt", "u.rar", "Ünï"}));
        QCOMPARE(notices(), QStringList{told(NoticeKind::ArchiveComment, "Grüße – patch")});
    }

    void encryptedHeadersAreToldAndNothingIsWritten()
    {
        GameFolder game;
        RarBuilder archive;
        archive.add("hidden.txt", "h");
        game.write("hp.rar", archive.build({"hidden.txt"}, {"-hpSECRET"}));

        QVERIFY(!extractPatchArchive("hp.rar", "hp.rar", context()));

        QCOMPARE(notices(), QStringList{told(NoticeKind::ArchiveHeaderBroken, "hp.rar")});
        QCOMPARE(namesIn(game.path()), QStringList{"hp.rar"});
    }

    void killMidEntryLeavesNoHalfWrittenFile()
    {
        GameFolder game;
        RarBuilder archive;
        QByteArray big(4 * 1024 * 1024, '\0');
        for (qsizetype i = 0; i < big.size(); ++i)
            big[i] = char((i * 2654435761u) >> 13);
        archive.add("big.bin", big);
        game.write("big.rar", archive.build({"big.bin"}, {"-m0"}));
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(ExtractUntilKilled, "big.rar");
        child.setProcessEnvironment(environment);
        child.setWorkingDirectory(game.path());
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForStarted());
        QVERIFY(child.waitForFinished());
        QVERIFY2(child.exitStatus() == QProcess::CrashExit, "the child ended on its own, not killed");

        QVERIFY(!game.exists("big.bin"));
        // What a temporary name may be left behind, the next start clears away.
        removeLeftovers();
        QCOMPARE(QDir(game.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"big.rar"});
    }

    void unsafeNamesAreNeverWritten_data()
    {
        QTest::addColumn<QByteArray>("storedName");
        QTest::newRow("parent folder") << QByteArray("../escaped.txt");
        QTest::newRow("parent inside") << QByteArray("sub/../../esc.txt");
        QTest::newRow("drive letter") << QByteArray("C:/escaped.txt");
        QTest::newRow("absolute") << QByteArray("<absolute>");
    }

    void unsafeNamesAreNeverWritten()
    {
        QFETCH(QByteArray, storedName);
        QTemporaryDir outside;
        GameFolder game;
        if (storedName == "<absolute>")
            storedName = (outside.path() + "/abs.txt").toLocal8Bit();
        // rar stores only safe names: build a harmless one of the same length and rename it.
        QByteArray harmless(storedName.size(), 'n');
        harmless[1] = '/';
        RarBuilder archive;
        archive.add(QString::fromLocal8Bit(harmless), "evil");
        archive.add("after.txt", "after");
        const QByteArray bytes = renameRarEntry(
            archive.build({QString::fromLocal8Bit(harmless), "after.txt"}), harmless, storedName);
        game.write("evil.rar", bytes);

        QVERIFY(!extractPatchArchive("evil.rar", "evil.rar", context()));

        QCOMPARE(notices(), QStringList{told(NoticeKind::ArchiveEntryFailed, storedName.toStdString())});
        QCOMPARE(m_counts.size(), 1);
        QVERIFY(!game.exists("after.txt"));
        QVERIFY(!QFileInfo::exists(game.path() + "/../escaped.txt"));
        QVERIFY(!QFileInfo::exists(game.path() + "/../esc.txt"));
        QVERIFY(!game.exists("C:"));
        QVERIFY(!QFileInfo::exists(outside.path() + "/abs.txt"));
        QCOMPARE(QDir(game.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList({"evil.rar"}));
    }

    // The launcher's own state is never a patch's to replace: such an archive is refused before
    // any of it is written. What patches deliver into Tarvo-Updater/ stays theirs.
    void launchersOwnFilesRefuseTheArchive_data()
    {
        QTest::addColumn<QString>("entry"); // a folder when it ends in '/'
        QTest::addColumn<bool>("refused");
        QTest::newRow("the record, as a folder") << "Tarvo-Updater/applied4.list/" << true;
        QTest::newRow("the log, in another case") << "TARVO-UPDATER/Updater.log" << true;
        QTest::newRow("into the downloads") << "Tarvo-Updater/downloads/patch-0000000000000001.rar" << true;
        QTest::newRow("the record of installed files") << "Tarvo-Updater/installed-files.list" << true;
        QTest::newRow("into the staging folder") << "TARVO-UPDATER/Staging/1" << true;
        QTest::newRow("the slot's journal") << "Tarvo-Updater/slot-journal" << true;
        QTest::newRow("the saved list") << "Tarvo-Updater/updates4.list" << true;
        QTest::newRow("the saved list's signature") << "Tarvo-Updater/updates4.list.minisig" << true;
        QTest::newRow("the configuration's signature") << "tarvo-updater/UPDATER4.cfg.minisig" << true;
        QTest::newRow("the older log") << "Tarvo-Updater/updater.log.1" << true;
        QTest::newRow("the folder's lock") << "Tarvo-Updater/updater.lock" << true;
        QTest::newRow("the news page") << "Tarvo-Updater/www/index.htm" << false;
    }
    void launchersOwnFilesRefuseTheArchive()
    {
        QFETCH(QString, entry);
        QFETCH(bool, refused);
        GameFolder game;
        RarBuilder archive;
        archive.add("first.txt", "1");
        const bool folder = entry.endsWith('/');
        archive.add(folder ? entry + "inside" : entry, "planted");
        game.write("p.rar", archive.build({"first.txt", folder ? entry.chopped(1) : entry}));

        QCOMPARE(extractPatchArchive("p.rar", "p.rar", context()), !refused);
        // rar stores a folder's files before the folder itself: the first of them is told.
        const QString told = ExtractionTest::told(NoticeKind::ArchiveEntryFailed,
                                                  (folder ? entry + "inside" : entry).toStdString());
        QCOMPARE(notices(), refused ? QStringList{told} : QStringList());
        QCOMPARE(game.exists("first.txt"), !refused);
    }

    void existingLinksInTheGameFolderAreNotFollowed()
    {
        QTemporaryDir outside;
        GameFolder game;
        QVERIFY(QFile::link(outside.path(), game.path() + "/data"));
        RarBuilder archive;
        archive.add("data/x.txt", "through the link");
        game.write("l.rar", archive.build({"data/x.txt"}));

        QVERIFY(!extractPatchArchive("l.rar", "l.rar", context()));

        QVERIFY(!QFileInfo::exists(outside.path() + "/x.txt"));
        QCOMPARE(notices(), QStringList{told(NoticeKind::ArchiveEntryFailed, "data/x.txt")});
    }
};

QTEST_MAIN(ExtractionTest)
#include "tst_extraction.moc"
