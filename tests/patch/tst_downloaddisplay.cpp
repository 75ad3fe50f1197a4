// The download display: its arithmetic, and the window picture when the events come from a worker.

#include "patch/DownloadDisplay.h"

#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

using namespace updater;

class DownloadDisplayTest : public QObject
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
        const DownloadPicture picture = downloadPicture(total, done, ",");
        QCOMPARE(picture.percent, QString::number(percent) + " %");
        QCOMPARE(picture.bar, bar);
    }

    void kilobytes_data()
    {
        QTest::addColumn<int>("bytes");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("text");
        QTest::newRow("half rounds up") << 1536 << ","
                                        << "2";
        QTest::newRow("below half") << 1535 << ","
                                    << "1";
        QTest::newRow("thousands") << 1234567 << ","
                                   << "1,206";
        QTest::newRow("other separator") << 1234567 << "."
                                         << "1.206";
        QTest::newRow("no-break space")
            << 1073741824 << QString(QChar(0xA0)) << QString("1\u00A0048\u00A0576");
        QTest::newRow("zero") << 0 << ","
                              << "0";
        QTest::newRow("below 1 kb") << 511 << ","
                                    << "0";
        QTest::newRow("negative half away from zero") << -1536 << ","
                                                      << "-2";
        QTest::newRow("largest") << 2147483647 << ","
                                 << "2,097,152";
    }

    void kilobytes()
    {
        QFETCH(int, bytes);
        QFETCH(QString, separator);
        QFETCH(QString, text);
        QCOMPARE(kilobyteText(bytes, separator), text);
        const DownloadPicture picture = downloadPicture(bytes, bytes, separator);
        QCOMPARE(picture.progress, text + " Kb");
        QCOMPARE(picture.size, text + " kb");
    }

    void workerEventsEndInTheExactLastPicture()
    {
        QGroupBox group, status;
        QLabel filename, size, progress, percent;
        QProgressBar bar;
        bar.setRange(0, 100);
        DownloadDisplay display({&group, &status, &filename, &size, &progress, &percent, &bar});
        display.setThousandsSeparator(",");
        const HttpClient::WorkEvents events = display.workEvents();

        constexpr int32_t total = 64 * 1024 * 1024;
        QThread* worker = QThread::create([&] {
            display.showDownloadDisplay("patch1.rar");
            events.begin(total);
            for (int32_t done = 0; done <= total - 16384; done += 16384)
                events.work(done);
            events.work(total - 100);
            events.end();
        });
        QSignalSpy finished(worker, &QThread::finished);
        worker->start();
        QVERIFY(finished.wait(60000));
        delete worker;
        QCoreApplication::processEvents();

        QCOMPARE(filename.text(), QString("patch1.rar"));
        QVERIFY(!group.isHidden());
        QVERIFY(!status.isHidden());
        QCOMPARE(size.text(), QString("65,536 kb"));
        QCOMPARE(progress.text(), QString("65,536 Kb"));
        QCOMPARE(percent.text(), QString("99 %"));
        QCOMPARE(bar.value(), 99);
    }

    void unpackingHidesTheBarAndSaysSo()
    {
        QGroupBox group, status;
        QLabel filename, size, progress, percent;
        QProgressBar bar;
        DownloadDisplay display({&group, &status, &filename, &size, &progress, &percent, &bar});
        display.showDownloadDisplay("p.rar");
        display.showUnpacking();
        QVERIFY(!group.isHidden());
        QVERIFY(status.isHidden());
        QCOMPARE(filename.text(), QString("unrar... (please wait!)"));
        // Events on the window thread (the configuration refresh) change the controls at once.
        display.doDownloadStart(250000);
        display.doDownloadProgress(125000);
        QCOMPARE(percent.text(), QString("50 %"));
        QCOMPARE(bar.value(), 50);
    }
};

QTEST_MAIN(DownloadDisplayTest)
#include "tst_downloaddisplay.moc"
