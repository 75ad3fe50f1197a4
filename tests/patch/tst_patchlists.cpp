// Which slots of the patch list still need applying, judged against the record of applied patches.

#include "patch/PatchLists.h"
#include "platform/ProfileFile.h"
#include "support/TestSupport.h"

#include <QTest>

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
};

QTEST_MAIN(PatchListsTest)
#include "tst_patchlists.moc"
