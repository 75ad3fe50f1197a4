#include "net/SpeedGuard.h"

#include <QTest>

using namespace updater;
using namespace std::chrono_literals;

using Arrivals = QList<QPair<int, int>>; // at (ms after the connection), bytes

class TestSpeedGuard : public QObject
{
    Q_OBJECT

private slots:
    // The guard is looked at every tenth of a second, as the transfer loop does; the first cause
    // and the time it came at are what a transfer would end with.
    void endsTheTransferThatIsTooSlow_data()
    {
        QTest::addColumn<int>("stallSeconds");
        QTest::addColumn<int>("minimumSpeed");
        QTest::addColumn<int>("speedSeconds");
        QTest::addColumn<int>("wholeSeconds"); // 0: no limit
        QTest::addColumn<Arrivals>("arrivals");
        QTest::addColumn<int>("watchedMs");
        QTest::addColumn<QString>("cause"); // empty: never too slow
        QTest::addColumn<int>("atMs");

        Arrivals drip; // one byte every tenth of a second: 10 B/s
        for (int at = 100; at <= 3000; at += 100)
            drip.append({at, 1});
        QTest::newRow("silent from the start")
            << 1 << 0 << 60 << 0 << Arrivals{} << 3000 << "no data for 1 s" << 1000;
        QTest::newRow("silent after some bytes")
            << 2 << 0 << 60 << 0 << Arrivals{{500, 100}} << 5000 << "no data for 2 s" << 2500;
        QTest::newRow("silent for a whole speed window")
            << 60 << 1024 << 1 << 0 << Arrivals{} << 3000 << "no data for 1 s" << 1000;
        QTest::newRow("dripping under the limit")
            << 60 << 1024 << 1 << 0 << drip << 3000 << "too slow" << 1000;
        QTest::newRow("dripping over the limit") << 60 << 5 << 1 << 0 << drip << 3000 << "" << 0;
        QTest::newRow("no speed limit") << 60 << 0 << 1 << 0 << drip << 3000 << "" << 0;
        // Bursts that a moving average over a few seconds would never catch: 20 000 bytes in the
        // first minute, where 61 440 were needed.
        QTest::newRow("a burst every half minute")
            << 60 << 1024 << 60 << 0 << Arrivals{{15000, 10000}, {45000, 10000}} << 70000 << "too slow"
            << 60000;
        QTest::newRow("fast enough over the window")
            << 60 << 1024 << 60 << 0 << Arrivals{{15000, 40000}, {45000, 40000}, {75000, 40000}} << 90000
            << "" << 0;
        // A list trickling just fast enough must still end.
        QTest::newRow("not whole in time")
            << 60 << 5 << 1 << 2 << drip << 3000 << "not whole within 2 s" << 2000;
        QTest::newRow("younger than the window")
            << 120 << 1024 << 60 << 0 << Arrivals{{100, 1}} << 59900 << "" << 0;
    }
    void endsTheTransferThatIsTooSlow()
    {
        QFETCH(int, stallSeconds);
        QFETCH(int, minimumSpeed);
        QFETCH(int, speedSeconds);
        QFETCH(int, wholeSeconds);
        QFETCH(Arrivals, arrivals);
        QFETCH(int, watchedMs);
        QFETCH(QString, cause);
        QFETCH(int, atMs);

        SpeedGuard guard({stallSeconds, minimumSpeed, speedSeconds, wholeSeconds});
        const Clock::TimePoint connected{};                      // a freshly booted machine's clock
        QVERIFY(!guard.check(connected + 1h, 0).endsTransfer()); // before the connection, never
        guard.start(connected);
        long long received = 0;
        auto next = arrivals.cbegin();
        for (int at = 100; at <= watchedMs; at += 100) {
            for (; next != arrivals.cend() && next->first <= at; ++next)
                received += next->second;
            const SpeedVerdict found = guard.check(connected + std::chrono::milliseconds(at), received);
            if (found.endsTransfer()) {
                QCOMPARE(QString::fromStdString(found.cause()), cause);
                QCOMPARE(at, atMs);
                return;
            }
        }
        QCOMPARE(QString(), cause);
    }
};

QTEST_GUILESS_MAIN(TestSpeedGuard)
#include "tst_speedguard.moc"
