#include "net/SpeedGuard.h"

#include <QTest>

using namespace updater;
using namespace std::chrono_literals;

using Arrivals = QList<QPair<int, int>>; // at (ms after the connection), bytes
Q_DECLARE_METATYPE(updater::SpeedGuard::Limits)

class TestSpeedGuard : public QObject
{
    Q_OBJECT

private slots:
    // The guard is looked at every tenth of a second, as the transfer loop does; the first cause
    // and the time it came at are what a transfer would end with.
    void endsTheTransferThatIsTooSlow_data()
    {
        // Stall, minimum speed, speed window and whole-transfer limit; Limits{} as transfers use it.
        QTest::addColumn<SpeedGuard::Limits>("limits");
        QTest::addColumn<Arrivals>("arrivals");
        QTest::addColumn<int>("watchedMs");
        QTest::addColumn<QString>("cause"); // empty: never too slow
        QTest::addColumn<int>("atMs");

        using Limits = SpeedGuard::Limits;
        Arrivals drip; // one byte every tenth of a second: 10 B/s
        for (int at = 100; at <= 3000; at += 100)
            drip.append({at, 1});
        // 1 KiB every second: exactly the least a transfer must keep up over its minute.
        Arrivals kibibytePerSecond;
        for (int at = 1000; at <= 60000; at += 1000)
            kibibytePerSecond.append({at, 1024});
        Arrivals byteShort = kibibytePerSecond;
        byteShort.first().second = 1023;
        QTest::newRow("silent from the start")
            << Limits{1, 0, 60, 0} << Arrivals{} << 3000 << "no data for 1 s" << 1000;
        QTest::newRow("silent after some bytes")
            << Limits{2, 0, 60, 0} << Arrivals{{500, 100}} << 5000 << "no data for 2 s" << 2500;
        QTest::newRow("silent for a whole speed window")
            << Limits{60, 1024, 1, 0} << Arrivals{} << 3000 << "no data for 1 s" << 1000;
        QTest::newRow("dripping under the limit")
            << Limits{60, 1024, 1, 0} << drip << 3000 << "too slow" << 1000;
        QTest::newRow("dripping over the limit") << Limits{60, 5, 1, 0} << drip << 3000 << "" << 0;
        QTest::newRow("no speed limit") << Limits{60, 0, 1, 0} << drip << 3000 << "" << 0;
        // Bursts that a moving average over a few seconds would never catch: 20 000 bytes in the
        // first minute, where 61 440 were needed.
        QTest::newRow("a burst every half minute")
            << Limits{60, 1024, 60, 0} << Arrivals{{15000, 10000}, {45000, 10000}} << 70000 << "too slow"
            << 60000;
        QTest::newRow("fast enough over the window")
            << Limits{60, 1024, 60, 0} << Arrivals{{15000, 40000}, {45000, 40000}, {75000, 40000}} << 90000
            << "" << 0;
        // A list trickling just fast enough must still end.
        QTest::newRow("not whole in time")
            << Limits{60, 5, 1, 2} << drip << 3000 << "not whole within 2 s" << 2000;
        QTest::newRow("younger than the window")
            << Limits{120, 1024, 60, 0} << Arrivals{{100, 1}} << 59900 << "" << 0;
        QTest::newRow("the usual limits, silent")
            << Limits{} << Arrivals{} << 70000 << "no data for 60 s" << 60000;
        QTest::newRow("the usual limits, 1 KiB/s") << Limits{} << kibibytePerSecond << 60000 << "" << 0;
        QTest::newRow("the usual limits, a byte short")
            << Limits{} << byteShort << 60000 << "too slow" << 60000;
        // The player's own limit of 600 B/s holds a transfer under the usual minimum: it goes on,
        // unless it stalls or falls under half that limit.
        Arrivals at600; // 600 B/s
        for (int at = 1000; at <= 60000; at += 1000)
            at600.append({at, 600});
        QTest::newRow("held by the player's limit") << limitsUnder({}, 600) << at600 << 60000 << "" << 0;
        QTest::newRow("under half the player's limit")
            << limitsUnder({}, 1300) << at600 << 60000 << "too slow" << 60000;
        QTest::newRow("silent under the player's limit")
            << limitsUnder({}, 600) << Arrivals{} << 70000 << "no data for 60 s" << 60000;
    }
    void endsTheTransferThatIsTooSlow()
    {
        QFETCH(SpeedGuard::Limits, limits);
        QFETCH(Arrivals, arrivals);
        QFETCH(int, watchedMs);
        QFETCH(QString, cause);
        QFETCH(int, atMs);

        SpeedGuard guard(limits);
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
