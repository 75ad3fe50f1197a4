// The one stop-aware wait: it ends as soon as its stop is requested, from another thread too,
// and otherwise lasts its whole duration.

#include "platform/Clock.h"
#include "platform/StopFlag.h"

#include <QTest>

#include <thread>

using namespace updater;
using namespace std::chrono_literals;

class TestClock : public QObject
{
    Q_OBJECT

private slots:
    void waitEndsAtAStop_data()
    {
        QTest::addColumn<QString>("stop");
        QTest::addColumn<bool>("stopped");
        QTest::newRow("no flag") << "none" << false;
        QTest::newRow("never requested") << "never" << false;
        QTest::newRow("requested before") << "before" << true;
        // An hour-long wait that ends only because another thread asks: the test would time out.
        QTest::newRow("requested meanwhile") << "meanwhile" << true;
    }
    void waitEndsAtAStop()
    {
        QFETCH(QString, stop);
        QFETCH(bool, stopped);
        StopFlag flag;
        if (stop == "before")
            flag.request();
        std::thread other;
        if (stop == "meanwhile")
            other = std::thread([&flag] { flag.request(); });
        const auto duration = stopped ? Clock::Duration(1h) : Clock::Duration(20ms);
        const Clock& clock = Clock::steady();
        const auto started = clock.now();
        QCOMPARE(clock.waitFor(duration, stop == "none" ? nullptr : &flag), stopped);
        if (other.joinable())
            other.join();
        if (!stopped)
            QVERIFY(clock.now() - started >= duration);
    }
};

QTEST_GUILESS_MAIN(TestClock)
#include "tst_clock.moc"
