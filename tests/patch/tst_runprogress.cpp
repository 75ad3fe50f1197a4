// The run's counts and their way from the transferring thread to the display: the gauge's
// numbers, the speed while bytes flow and the time left, coalesced change signals, the exact last
// picture, and the extraction caption.

#include "patch/RunProgress.h"
#include "support/ManualClock.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>

using namespace updater;

namespace {

// Plays a script of the run's side on the progress: "plan:1000,none" (the archives' sizes),
// "start:1", "begin:1000", "count:500", "end", "pass:1500" (milliseconds on the clock).
void play(RunProgress& progress, test::ManualClock& clock, const QString& script)
{
    const HttpClient::WorkEvents events = progress.workEvents();
    for (const QString& step : script.split(' ', Qt::SkipEmptyParts)) {
        const QString verb = step.section(':', 0, 0);
        const QString value = step.section(':', 1);
        if (verb == "plan") {
            std::vector<std::optional<int64_t>> sizes;
            for (const QString& size : value.split(','))
                sizes.push_back(size == "none" ? std::nullopt : std::optional<int64_t>(size.toLongLong()));
            progress.planRun(sizes);
        } else if (verb == "start") {
            progress.archiveStarted(value.toInt(), "p" + value.toStdString() + ".rar");
        } else if (verb == "begin") {
            events.begin(value.toLongLong());
        } else if (verb == "count") {
            events.work(value.toLongLong());
        } else if (verb == "end") {
            events.end();
        } else if (verb == "pass") {
            clock.advance(std::chrono::milliseconds(value.toLongLong()));
        } else {
            QFAIL(qPrintable("unknown step " + step));
        }
    }
}

} // namespace

class RunProgressTest : public QObject
{
    Q_OBJECT

private slots:
    void percentage_data()
    {
        QTest::addColumn<qint64>("total");
        QTest::addColumn<qint64>("done");
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("bar");
        QTest::newRow("half") << qint64(250000) << qint64(125000) << 50 << 50;
        QTest::newRow("nothing received") << qint64(250000) << qint64(0) << 0 << 0;
        QTest::newRow("nothing received, no total") << qint64(0) << qint64(0) << 0 << 0;
        QTest::newRow("large total complete") << qint64(10099) << qint64(10099) << 100 << 100;
        QTest::newRow("truncated hundredth") << qint64(10099) << qint64(9999) << 99 << 99;
        QTest::newRow("count divided by hundredth") << qint64(1999) << qint64(1000) << 52 << 52;
        QTest::newRow("small total ends above 100") << qint64(9999) << qint64(9999) << 101 << 100;
        QTest::newRow("150 of 150") << qint64(150) << qint64(150) << 150 << 100;
        QTest::newRow("below the last piece") << qint64(1000000) << qint64(999000) << 99 << 99;
        QTest::newRow("total below 100") << qint64(50) << qint64(25) << 50 << 50;
        QTest::newRow("total below 100 complete") << qint64(99) << qint64(99) << 100 << 100;
        QTest::newRow("total 1") << qint64(1) << qint64(1) << 100 << 100;
        QTest::newRow("no total announced") << qint64(0) << qint64(5000) << 0 << 0;
        QTest::newRow("negative total") << qint64(-1) << qint64(5000) << 0 << 0;
        QTest::newRow("negative count") << qint64(250000) << qint64(-10) << 0 << 0;
        QTest::newRow("count beyond total") << qint64(250000) << qint64(2000000000) << 100 << 100;
        QTest::newRow("new total, old count") << qint64(100) << qint64(2000000000) << 100 << 100;
        QTest::newRow("largest numbers") << qint64(2147483647) << qint64(2147483647) << 100 << 100;
        QTest::newRow("past 32 bits, as the largest")
            << qint64(5368709120) << qint64(4294967296) << 100 << 100;
    }

    void percentage()
    {
        QFETCH(qint64, total);
        QFETCH(qint64, done);
        QFETCH(int, percent);
        QFETCH(int, bar);
        const DownloadPicture picture = downloadPicture(total, done);
        QCOMPARE(picture.percent, percent);
        QCOMPARE(picture.bar, bar);
    }

    void kilobytes_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<long long>("kilobytes");
        QTest::newRow("half rounds up") << qint64(1536) << 2LL;
        QTest::newRow("below half") << qint64(1535) << 1LL;
        QTest::newRow("zero") << qint64(0) << 0LL;
        QTest::newRow("below 1 kb") << qint64(511) << 0LL;
        QTest::newRow("negative half away from zero") << qint64(-1536) << -2LL;
        QTest::newRow("largest") << qint64(2147483647) << 2097152LL;
        QTest::newRow("past 32 bits, as the largest") << qint64(8589934592) << 2097152LL;
    }

    void kilobytes()
    {
        QFETCH(qint64, bytes);
        QFETCH(long long, kilobytes);
        const DownloadPicture picture = downloadPicture(bytes, bytes);
        QCOMPARE(picture.receivedKilobytes, kilobytes);
        QCOMPARE(picture.announcedKilobytes, kilobytes);
    }

    // Speed and time left count only while bytes flow: a wait between two tries, the bytes a
    // transfer starts with (a resumed archive, or what was fetched ahead out of sight) and the
    // first second say nothing of the line.
    void countsOfARun_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<qint64>("speed");       // bytes a second
        QTest::addColumn<qint64>("archiveLeft"); // seconds; -1: not known
        QTest::addColumn<qint64>("runLeft");
        QTest::newRow("under a second of flow: not known")
            << "plan:1000000 start:1 begin:1000000 count:0 pass:900 count:100000" << 0LL << -1LL << -1LL;
        QTest::newRow("a second of flow")
            << "plan:1000000 start:1 begin:1000000 count:0 pass:1000 count:100000" << 100000LL << 9LL << 9LL;
        QTest::newRow("a busy wait between two tries counts for nothing")
            << "plan:2000000 start:1 begin:2000000 count:0 pass:1000 count:100000 end pass:20000 "
               "begin:2000000 count:100000 pass:1000 count:400000"
            << 200000LL << 8LL << 8LL;
        QTest::newRow("a resumed archive's earlier bytes are no speed")
            << "plan:1000000 start:1 begin:1000000 count:600000 pass:2000 count:800000" << 100000LL << 2LL
            << 2LL;
        QTest::newRow("the last seconds of flow, not the whole run")
            << "plan:20000000 start:1 begin:20000000 count:0 pass:5000 count:10000000 "
               "pass:5000 count:10500000"
            << 100000LL << 95LL << 95LL;
        QTest::newRow("the run counts the archives after this one")
            << "plan:1000000,3000000 start:1 begin:1000000 count:0 pass:1000 count:500000" << 500000LL << 1LL
            << 7LL;
        QTest::newRow("and those before it")
            << "plan:1000000,3000000 start:1 begin:1000000 count:0 pass:1000 count:1000000 end "
               "start:2 begin:3000000 count:0 pass:1000 count:1000000"
            << 1000000LL << 2LL << 2LL;
        QTest::newRow("an archive of unknown size later: no time left for the run")
            << "plan:1000000,none start:1 begin:1000000 count:0 pass:1000 count:500000" << 500000LL << 1LL
            << -1LL;
        QTest::newRow("the announced length stands for an unknown size")
            << "plan:none start:1 begin:1000000 count:0 pass:1000 count:500000" << 500000LL << 1LL << 1LL;
        QTest::newRow("the patch list is no archive of the run")
            << "begin:1000000 count:0 pass:1000 count:500000" << 500000LL << -1LL << -1LL;
    }

    void countsOfARun()
    {
        QFETCH(QString, script);
        QFETCH(qint64, speed);
        QFETCH(qint64, archiveLeft);
        QFETCH(qint64, runLeft);
        test::ManualClock clock;
        RunProgress progress(clock);
        play(progress, clock, script);
        const ProgressPicture picture = progress.takePicture();
        QCOMPARE(picture.bytesPerSecond, speed);
        QCOMPARE(picture.archiveSecondsLeft.value_or(-1), archiveLeft);
        QCOMPARE(picture.runSecondsLeft.value_or(-1), runLeft);
    }

    void picturesAreCoalescedUntilTaken()
    {
        test::ManualClock clock;
        RunProgress progress(clock);
        QSignalSpy changed(&progress, &RunProgress::pictureChanged);
        const HttpClient::WorkEvents events = progress.workEvents();
        events.begin(250000);
        events.work(100000);
        events.work(125000);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(progress.takePicture().gauge, (DownloadPicture{122, 244, 50, 50}));

        // The same picture again is no change.
        events.work(125000);
        events.end();
        QCOMPARE(changed.count(), 1);
        events.work(250000);
        QCOMPARE(changed.count(), 2);
        QCOMPARE(progress.takePicture().gauge, (DownloadPicture{244, 244, 100, 100}));
    }

    void captionsAreCoalescedUntilTaken()
    {
        RunProgress progress;
        QSignalSpy changed(&progress, &RunProgress::captionChanged);
        const auto unpacked = [](int count) {
            return TransferCaption{TransferCaption::Kind::Unpacked, {}, count};
        };
        progress.setCaption(unpacked(1));
        progress.setCaption(unpacked(2));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(progress.takeCaption(), unpacked(2));
        progress.setCaption(unpacked(3));
        QCOMPARE(changed.count(), 2);
        QCOMPARE(progress.takeCaption(), unpacked(3));
    }

    void aWorkerEndsInTheExactLastPicture()
    {
        test::ManualClock clock;
        RunProgress progress(clock);
        QList<DownloadPicture> shown;
        connect(&progress, &RunProgress::pictureChanged, this,
                [&] { shown << progress.takePicture().gauge; });
        const HttpClient::WorkEvents events = progress.workEvents();

        // The window is busy while the whole transfer runs: it sees one change, and that one
        // brings the last picture.
        constexpr int32_t total = 64 * 1024 * 1024;
        QThread* worker = QThread::create([&] {
            events.begin(total);
            for (int32_t done = 0; done <= total - 16384; done += 16384)
                events.work(done);
            events.work(total - 100);
            events.end();
        });
        worker->start();
        QVERIFY(worker->wait(60000));
        delete worker;
        QCoreApplication::processEvents();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first(), (DownloadPicture{65536, 65536, 99, 99}));
    }
};

QTEST_MAIN(RunProgressTest)
#include "tst_runprogress.moc"
