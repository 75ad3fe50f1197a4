// Which slots of the patch list still need applying, judged against the record of applied patches,
// and the record of the files the patches installed.

#include "patch/GameFilesCheck.h"
#include "patch/InstalledFiles.h"
#include "patch/PatchLists.h"
#include "platform/GamePath.h"
#include "platform/ProfileFile.h"
#include "support/TestSupport.h"

#include <QTest>

#include <optional>

using namespace updater;
using namespace updater::test;

namespace {

struct Lists
{
    GameFolder game;
    QByteArray list;
    QByteArray record;

    std::vector<PendingPatch> pending()
    {
        game.write("Tarvo-Updater/updates4.list", list);
        game.write("Tarvo-Updater/applied4.list", record);
        return pendingPatches(ProfileFile("Tarvo-Updater/updates4.list"),
                              ProfileFile("Tarvo-Updater/applied4.list"));
    }
};

QList<int> slotsOf(const std::vector<PendingPatch>& pending)
{
    QList<int> numbers;
    for (const PendingPatch& p : pending)
        numbers << p.slot;
    return numbers;
}

} // namespace

class PatchListsTest : public QObject
{
    Q_OBJECT

private slots:
    void namesTheUpdaterFiles()
    {
        QCOMPARE(patchListPath(), std::string("Tarvo-Updater\\updates4.list"));
        QCOMPARE(appliedRecordPath(), std::string("Tarvo-Updater\\applied4.list"));
        QCOMPARE(slotKey(12), std::string("Update_12"));
    }

    void everySlotRecordedLeavesNothingToDo()
    {
        Lists l;
        l.list = "[Updates]\r\nUpdate_1=http://h/p/a.rar\r\nUpdate_2=http://h/b.rar\r\n";
        l.record = "[updates]\r\nupdate_1=a.rar\r\nUPDATE_2 = \"b.rar\"\r\n";
        QVERIFY(l.pending().empty());
    }

    void readingStopsAtTheFirstGap()
    {
        Lists l;
        l.list =
            "[Updates]\r\nUpdate_1=http://h/1.rar\r\nUpdate_2=http://h/2.rar\r\nUpdate_4=http://h/4.rar\r\n"
            "Update_5=http://h/5.rar\r\n";
        QCOMPARE(slotsOf(l.pending()), QList<int>({1, 2}));
        l.list = "[Updates]\r\nUpdate_1=http://h/1.rar\r\nUpdate_2=\r\nUpdate_3=http://h/3.rar\r\n";
        QCOMPARE(slotsOf(l.pending()), QList<int>({1}));
    }

    void pendingSlotsCarryAddressAndDocumentName_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("address");
        QTest::addColumn<QByteArray>("documentName");
        QTest::newRow("port and fragment")
            << QByteArray("http://host:8080/patches/p1.rar#top")
            << QByteArray("http://host:8080/patches/p1.rar#top") << QByteArray("p1.rar");
        // The request and the record must name the same text.
        QTest::newRow("cut at a NUL byte")
            << QByteArray("http://h/a.rar\0b.rar", 20) << QByteArray("http://h/a.rar") << QByteArray("a.rar");
    }

    void pendingSlotsCarryAddressAndDocumentName()
    {
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, address);
        QFETCH(QByteArray, documentName);
        Lists l;
        l.list = "[Updates]\r\nUpdate_1=" + value + "\r\n";
        const auto pending = l.pending();
        QCOMPARE(pending.size(), size_t(1));
        QCOMPARE(pending[0].address, address.toStdString());
        QCOMPARE(pending[0].documentName, documentName.toStdString());
    }

    void recordIsKeptBySlotNotByName()
    {
        Lists l;
        // The list shrank to one slot: the surplus record keys stay and are ignored.
        l.list = "[Updates]\r\nUpdate_1=http://h/a.rar\r\n";
        l.record = "[Updates]\r\nUpdate_1=a.rar\r\nUpdate_2=b.rar\r\nUpdate_3=c.rar\r\n";
        QVERIFY(l.pending().empty());
        // It grows again: a returning slot with the same name counts as applied, a new name does not.
        l.list =
            "[Updates]\r\nUpdate_1=http://h/a.rar\r\nUpdate_2=http://h/b.rar\r\nUpdate_3=http://h/c2.rar\r\n";
        QCOMPARE(slotsOf(l.pending()), QList<int>({3}));
        // The same file in another slot is not the slot's record.
        l.list = "[Updates]\r\nUpdate_1=http://h/b.rar\r\n";
        QCOMPARE(slotsOf(l.pending()), QList<int>({1}));
    }

    void nameComparisonIsExact()
    {
        Lists l;
        l.record = "[Updates]\r\nUpdate_1=patch1.rar\r\nUpdate_2=patch2.rar\r\n";
        l.list = "[Updates]\r\nUpdate_1=http://h/Patch1.rar\r\nUpdate_2=http://h/patch2.rar\r\n";
        QCOMPARE(slotsOf(l.pending()), QList<int>({1}));
    }

    void emptyDocumentNameMatchesAMissingRecord()
    {
        Lists l;
        l.list = "[Updates]\r\nUpdate_1=http://h/dir/\r\nUpdate_2=http://h\r\nUpdate_3=http://h/x.rar\r\n";
        QCOMPARE(slotsOf(l.pending()), QList<int>({3}));
        // With a record for the slot the empty name differs from it and the slot is pending.
        l.record = "[Updates]\r\nUpdate_1=old.rar\r\n";
        QCOMPARE(slotsOf(l.pending()), QList<int>({1, 3}));
    }

    void missingListsReadAsEmpty()
    {
        GameFolder game;
        QVERIFY(pendingPatches(ProfileFile("Tarvo-Updater/updates4.list"),
                               ProfileFile("Tarvo-Updater/applied4.list"))
                    .empty());
    }

    void recordingWritesTheSlotKeyAndKeepsTheRest()
    {
        GameFolder game;
        game.write("Tarvo-Updater/applied4.list",
                   "; kept comment\r\n[Updates]\r\nUpdate_1=a.rar\r\nUpdate_2=x.rar\r\n");
        ProfileFile record("Tarvo-Updater/applied4.list");
        recordApplied(record, {2, "http://h/b.rar", "b.rar", {}});
        recordApplied(record, {3, "http://h/c.rar", "c.rar", {}});
        QCOMPARE(
            game.read("Tarvo-Updater/applied4.list"),
            QByteArray(
                "; kept comment\r\n[Updates]\r\nUpdate_1=a.rar\r\nUpdate_2=b.rar\r\nUpdate_3=c.rar\r\n"));
    }

    // The record is read line by line: a line that cannot be read is refused, with its number and
    // why, and the others are read. Saved again, a damaged record loses none of its lines.
    void installedFilesRecordIsReadLineByLine_data()
    {
        QTest::addColumn<QByteArray>("record"); // "<folder>" puts a folder in its place; empty: none
        QTest::addColumn<int>("state");
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<QStringList>("refused"); // "line: reason"
        const QByteArray heading = "; Files the patches installed: slot, archive, size, CRC-32, path.\n"
                                   "Update_3\tc.rar\t9\t2b1322c7\tdata/one.txt\n";
        using State = InstalledFiles::State;
        using Reason = RefusedLine::Reason;
        const auto row = [](const char* name, QByteArray record, State state, QStringList paths,
                            std::optional<Reason> reason = {}, int line = 3) {
            QTest::newRow(name) << record << int(state) << paths
                                << (reason ? QStringList{QString("%1: %2").arg(line).arg(int(*reason))}
                                           : QStringList());
        };
        const auto refused = [&](const char* name, const QByteArray& line, Reason reason) {
            row(name, heading + line + "\n", State::Damaged, {"data/one.txt"}, reason);
        };
        row("none", "", State::Missing, {});
        row("a folder in its place", "<folder>", State::Unreadable, {});
        row("as written",
            "; Applied before this record began: Update_1\tUpdate_2\n" + heading +
                "Update_4\td.rar\t0\t00000000\ta\\\\b\\tc\\nd.txt\n",
            State::Read, {"a\\b\tc\nd.txt", "data/one.txt"});
        row("checksum in upper case, line ends of another editor",
            heading + "Update_4\td.rar\t9\t2B1322C7\tdata/two.txt\r\n", State::Read,
            {"data/one.txt", "data/two.txt"});
        refused("a field missing", "Update_4\td.rar\t9\tdata/two.txt", Reason::Fields);
        refused("a raw tab in the path", "Update_4\td.rar\t9\t2b1322c7\tdata/t\two.txt", Reason::Fields);
        refused("size with a unit", "Update_4\td.rar\t9k\t2b1322c7\tdata/two.txt", Reason::Size);
        refused("size below zero", "Update_4\td.rar\t-1\t2b1322c7\tdata/two.txt", Reason::Size);
        refused("size past 64 bits", "Update_4\td.rar\t18446744073709551616\t2b1322c7\tdata/two.txt",
                Reason::Size);
        refused("checksum not hex", "Update_4\td.rar\t9\t2b1322g7\tdata/two.txt", Reason::Crc32);
        refused("a path up and out", "Update_4\td.rar\t9\t2b1322c7\t../etc/passwd", Reason::Outside);
        refused("an absolute path", "Update_4\td.rar\t9\t2b1322c7\t/etc/passwd", Reason::Outside);
        refused("a drive letter", "Update_4\td.rar\t9\t2b1322c7\tC:\\\\boot.ini", Reason::Outside);
        refused("an empty path", "Update_4\td.rar\t9\t2b1322c7\t", Reason::Outside);
        refused("the launcher's own file", "Update_4\td.rar\t9\t2b1322c7\tTarvo-Updater/applied4.list",
                Reason::OwnFile);
        // What fits is read; the line cut at the cap and the rest are named.
        row("larger than the cap", heading + QByteArray(InstalledFiles::Largest, ';'), State::Damaged,
            {"data/one.txt"}, Reason::PastLargest);
    }

    void installedFilesRecordIsReadLineByLine()
    {
        QFETCH(QByteArray, record);
        GameFolder game;
        if (record == "<folder>")
            game.write("Tarvo-Updater/installed-files.list/inside", "x");
        else if (!record.isEmpty())
            game.write("Tarvo-Updater/installed-files.list", record);

        const InstalledFiles read(resolveGamePath(installedFilesPath()));
        QStringList paths, refused;
        for (const auto& [path, file] : read.files()) {
            paths << QString::fromStdString(path);
            QCOMPARE(QString::fromStdString(file.crc32), QString::fromStdString(file.crc32).toLower());
        }
        for (const RefusedLine& line : read.refused())
            refused << QString("%1: %2").arg(line.line).arg(int(line.reason));
        QTEST(int(read.state()), "state");
        QTEST(paths, "paths");
        QTEST(refused, "refused");
        if (read.state() == InstalledFiles::State::Damaged) {
            read.save();
            QCOMPARE(game.read("Tarvo-Updater/installed-files.list"), record);
        }
    }

    // A game folder updated before the record existed: its applied slots are named as not covered.
    void recordBegunLateNamesTheSlotsItCannotCover()
    {
        GameFolder game;
        game.write(
            "Tarvo-Updater/updates4.list",
            "[Updates]\r\nUpdate_1=http://h/a.rar\r\nUpdate_2=http://h/b.rar\r\nUpdate_3=http://h/c.rar\r\n");
        game.write("Tarvo-Updater/applied4.list", "[Updates]\r\nUpdate_1=a.rar\r\nUpdate_2=b.rar\r\n");

        QCOMPARE(openInstalledFiles().notCovered(), (std::vector<std::string>{"Update_1", "Update_2"}));
        QCOMPARE(game.read("Tarvo-Updater/installed-files.list"),
                 QByteArray("; Files the patches installed: slot, archive, size, CRC-32, path.\n"
                            "; Applied before this record began: Update_1\tUpdate_2\n"));
    }
};

QTEST_MAIN(PatchListsTest)
#include "tst_patchlists.moc"
