// Every text the launcher shows the player, for fixed sample inputs, against tests/data/messages.txt.
#include "app/DownloadTexts.h"
#include "app/Messages.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QtTest>

using namespace updater;

class MessagesTest : public QObject
{
    Q_OBJECT

private slots:
    void everyTextIsAsBefore()
    {
        QByteArray texts;
        const auto add = [&texts](const char* label, const std::string& text) {
            texts += QByteArray("---- ") + label + "\n" + QByteArray::fromStdString(text) + "\n";
        };
        add("alreadyRunning", messages::alreadyRunning());
        add("gameFolderInUse", messages::gameFolderInUse());
        add("gameFolderLockUnusable", messages::gameFolderLockUnusable("/games/gv/Tarvo-Updater/updater.lock",
                                                                       "permission denied", false));
        add("gameFolderLockUnusable in the way",
            messages::gameFolderLockUnusable("/games/gv/Tarvo-Updater/updater.lock",
                                             "something that is not a lock file stands there", true));
        add("configurationMissing", messages::configurationMissing("Tarvo-Updater\\updater4.cfg"));
        add("configurationTooLarge", messages::configurationTooLarge("Tarvo-Updater\\updater4.cfg"));
        add("offline", messages::offline());
        add("firstStart", messages::firstStart());
        add("settingsRepaired", messages::settingsRepaired());
        add("settingsNotSaved", messages::settingsNotSaved());
        // Checked, damaged, left damaged, patches not covered, the record as found, its refused lines.
        const auto checked = [](size_t files, size_t damaged, size_t left, size_t notCovered,
                                InstalledFiles::State record = InstalledFiles::State::Read,
                                size_t refused = 0) {
            RepairReport report;
            report.before = {record, std::vector<RefusedLine>(refused), files,
                             std::vector<DamagedFile>(damaged), std::vector<std::string>(notCovered)};
            report.after.damaged.resize(left);
            return report;
        };
        add("gameFilesChecked intact", messages::gameFilesChecked(checked(1, 0, 0, 0)));
        add("gameFilesChecked mended", messages::gameFilesChecked(checked(1234, 2, 0, 3)));
        add("gameFilesChecked not mended", messages::gameFilesChecked(checked(1234, 2, 1, 1)));
        RepairReport unsigned_ = checked(1234, 2, 2, 0, InstalledFiles::State::Damaged, 3);
        unsigned_.listNotSigned = true;
        add("gameFilesChecked list not signed, record damaged", messages::gameFilesChecked(unsigned_));
        add("gameFilesChecked no record",
            messages::gameFilesChecked(checked(0, 0, 0, 0, InstalledFiles::State::Missing)));
        add("gameFilesChecked record unreadable",
            messages::gameFilesChecked(checked(0, 0, 0, 0, InstalledFiles::State::Unreadable)));
        add("refreshFailed", messages::refreshFailed("http://cfg.example/updater4.cfg", "404 Not Found"));
        add("closeQuestion", messages::closeQuestion());
        add("noDataFolder", messages::noDataFolder());
        add("clientMissing", messages::clientMissing("GvClient.exe"));
        add("replacement ToolMissing", messages::replacement(UpdaterReplacement::ToolMissing));
        add("replacement Ready", messages::replacement(UpdaterReplacement::Ready));
        add("addOnMissing", messages::addOnMissing());
        add("addOnHelp", messages::addOnHelp());
        add("speedLimitQuestion", messages::speedLimitQuestion());
        add("sharePatchesTip", messages::sharePatchesTip());
        add("cannotStart NotFound", messages::cannotStart("GvClient.exe", ProgramStart::NotFound));
        add("cannotStart IsFolder", messages::cannotStart("GvClient.exe", ProgramStart::IsFolder));
        add("cannotStart NoWine", messages::cannotStart("GvClient.exe", ProgramStart::NoWine));
        add("cannotStart NotExecutable", messages::cannotStart("GvClient.exe", ProgramStart::NotExecutable));
        add("cannotStart Refused", messages::cannotStart("GvClient.exe", ProgramStart::Refused));
        add("notice PatchListUnavailable",
            messages::notice({NoticeKind::PatchListUnavailable, "http://patch.example/updates4.list",
                              "404 Not Found", "cause", 0}));
        add("notice PatchUnavailable",
            messages::notice({NoticeKind::PatchUnavailable, "http://patch.example/p1.rar",
                              "500 Internal Server Error", "cause", 0}));
        add("notice ArchiveUnreadable",
            messages::notice({NoticeKind::ArchiveUnreadable, "p1.rar", {}, {}, 12}));
        add("notice ArchiveComment",
            messages::notice({NoticeKind::ArchiveComment, "Patch 1: new maps", {}, {}, 0}));
        add("notice ArchiveEntryFailed",
            messages::notice({NoticeKind::ArchiveEntryFailed, "data\\map.grf", {}, {}, 21}));
        add("notice ArchiveHeaderBroken",
            messages::notice({NoticeKind::ArchiveHeaderBroken, "p1.rar", {}, {}, 0}));
        add("notice RecordNotWritten", messages::notice({NoticeKind::RecordNotWritten, "p1.rar", {}, {}, 0}));
        add("notice RecordUnreadable",
            messages::notice({NoticeKind::RecordUnreadable, {}, "The file is larger than 16 MiB.", {}, 0}));
        add("notice NoRoom",
            messages::notice(
                {NoticeKind::NoRoom, "p1.rar", {}, {}, 0, 1234ull * 1048576 - 5, 512ull * 1048576 + 5}));
        add("notice ServerUnresolved",
            messages::notice({NoticeKind::ServerUnresolved, "map.example", {}, {}, 0}));

        add("statusLine address", messages::statusLine("http://news.example/"));
        add("statusLine marker text", messages::statusLine("Bad Configured Updater (kick GM's ass!)"));
        add("transferCaption Patch", messages::transferCaption({TransferCaption::Kind::Patch, "p1.rar", 0}));
        add("transferCaption RetryWait",
            messages::transferCaption({TransferCaption::Kind::RetryWait, {}, 23}));
        add("transferCaption BusyWait", messages::transferCaption({TransferCaption::Kind::BusyWait, {}, 23}));
        add("transferCaption Unpacked",
            messages::transferCaption({TransferCaption::Kind::Unpacked, {}, 1206}));
        add("patchProgress place", patchProgressText(2, 5, 0, 0).toStdString());
        add("patchProgress speed and time left", patchProgressText(2, 5, 412, 42).toStdString());
        add("patchProgress past an hour", patchProgressText(1, 1, 3, 3723).toStdString());
        add("timeLeft of the last archive", timeLeftText(42, 42).toStdString());
        add("timeLeft with archives to follow", timeLeftText(42, 190).toStdString());
        add("timeLeft of the run not known", timeLeftText(42, std::nullopt).toStdString());
        add("fromPlayers part", fromPlayersText(62, 100).toStdString());
        add("fromPlayers none", fromPlayersText(0, 100).toStdString());
        add("fromPlayers more than the verified bytes", fromPlayersText(120, 100).toStdString());

        // Line by line, so that a failure names the first line that differs; the bytes all count.
        QCOMPARE(texts.split('\n'), test::goldenBytes("messages.txt").split('\n'));
    }

    // The download display's numbers, in the player's number format.
    void downloadTexts_data()
    {
        QTest::addColumn<QString>("separator");
        QTest::addColumn<long long>("kilobytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("thousands") << "," << 1206LL << "1,206";
        QTest::newRow("other separator") << "." << 1206LL << "1.206";
        QTest::newRow("no-break space")
            << QString(QChar(0xA0)) << 1048576LL << QString("1\u00A0048\u00A0576");
        QTest::newRow("below a thousand") << "," << 999LL << "999";
        QTest::newRow("negative") << "," << -2LL << "-2";
    }
    void downloadTexts()
    {
        QFETCH(QString, separator);
        QFETCH(long long, kilobytes);
        QFETCH(QString, text);
        const DownloadTexts texts = updater::downloadTexts({kilobytes, kilobytes, 50, 50}, separator);
        QCOMPARE(texts.received, text + " Kb");
        QCOMPARE(texts.announced, text + " kb");
        QCOMPARE(texts.percent, QString("50 %"));
    }
};

QTEST_APPLESS_MAIN(MessagesTest)
#include "tst_messages.moc"
