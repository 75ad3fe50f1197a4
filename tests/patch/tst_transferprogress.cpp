// The download display's numbers and their way from the transferring thread to the window:
// coalesced change signals, the exact last picture, and the extraction caption.

#include "patch/TransferProgress.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>

using namespace updater;

class TransferProgressTest : public QObject
{
    Q_OBJECT

private slots:
    void percentage_data()
    {
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("done");
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("bar");
        QTest::newRow("half") << 250000 << 125000 << 50 << 50;
        QTest::newRow("nothing received") << 250000 << 0 << 0 << 0;
        QTest::newRow("nothing received, no total") << 0 << 0 << 0 << 0;
        QTest::newRow("large total complete") << 10099 << 10099 << 100 << 100;
        QTest::newRow("truncated hundredth") << 10099 << 9999 << 99 << 99;
        QTest::newRow("count divided by hundredth") << 1999 << 1000 << 52 << 52;
        QTest::newRow("small total ends above 100") << 9999 << 9999 << 101 << 100;
        QTest::newRow("150 of 150") << 150 << 150 << 150 << 100;
        QTest::newRow("below the last piece") << 1000000 << 999000 << 99 << 99;
        QTest::newRow("total below 100") << 50 << 25 << 50 << 50;
        QTest::newRow("total below 100 complete") << 99 << 99 << 100 << 100;
        QTest::newRow("total 1") << 1 << 1 << 100 << 100;
        QTest::newRow("no total announced") << 0 << 5000 << 0 << 0;
        QTest::newRow("negative total") << -1 << 5000 << 0 << 0;
        QTest::newRow("negative count") << 250000 << -10 << 0 << 0;
        QTest::newRow("count beyond total") << 250000 << 2000000000 << 100 << 100;
        QTest::newRow("new total, old count") << 100 << 2000000000 << 100 << 100;
        QTest::newRow("largest numbers") << 2147483647 << 2147483647 << 100 << 100;
    }

    void percentage()
    {
        QFETCH(int, total);
        QFETCH(int, done);
        QFETCH(int, percent);
        QFETCH(int, bar);
        const DownloadPicture picture = downloadPicture(total, done);
        QCOMPARE(picture.percent, percent);
        QCOMPARE(picture.bar, bar);
    }

    void kilobytes_data()
    {
        QTest::addColumn<int>("bytes");
        QTest::addColumn<long long>("kilobytes");
        QTest::newRow("half rounds up") << 1536 << 2LL;
        QTest::newRow("below half") << 1535 << 1LL;
        QTest::newRow("zero") << 0 << 0LL;
        QTest::newRow("below 1 kb") << 511 << 0LL;
        QTest::newRow("negative half away from zero") << -1536 << -2LL;
        QTest::newRow("largest") << 2147483647 << 2097152LL;
    }

    void kilobytes()
    {
        QFETCH(int, bytes);
        QFETCH(long long, kilobytes);
        const DownloadPicture picture = downloadPicture(bytes, bytes);
        QCOMPARE(picture.receivedKilobytes, kilobytes);
        QCOMPARE(picture.announcedKilobytes, kilobytes);
    }

    void picturesAreCoalescedUntilTaken()
    {
        TransferProgress progress;
        QSignalSpy changed(&progress, &TransferProgress::pictureChanged);
        const HttpClient::WorkEvents events = progress.workEvents();
        events.begin(250000);
        events.work(100000);
        events.work(125000);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(progress.takePicture(), (DownloadPicture{122, 244, 50, 50}));

        // The same picture again is no change.
        events.work(125000);
        events.end();
        QCOMPARE(changed.count(), 1);
        events.work(250000);
        QCOMPARE(changed.count(), 2);
        QCOMPARE(progress.takePicture(), (DownloadPicture{244, 244, 100, 100}));
    }

    void captionsAreCoalescedUntilTaken()
    {
        TransferProgress progress;
        QSignalSpy changed(&progress, &TransferProgress::captionChanged);
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
        TransferProgress progress;
        QList<DownloadPicture> shown;
        connect(&progress, &TransferProgress::pictureChanged, this, [&] { shown << progress.takePicture(); });
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

QTEST_MAIN(TransferProgressTest)
#include "tst_transferprogress.moc"
