#include "net/HostLookup.h"
#include "net/NetErrors.h"

#include <QTest>

#include <arpa/inet.h>

using namespace updater;

class TestHostLookup : public QObject
{
    Q_OBJECT
private slots:
    void lookUp_data();
    void lookUp();
    void echoAndProbeAddresses();
};

void TestHostLookup::lookUp_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("expected"); // dotted; empty for no address
    QTest::newRow("empty") << ""
                           << "0.0.0.0";
    QTest::newRow("dotted") << "192.168.10.7"
                            << "192.168.10.7";
    QTest::newRow("all zero") << "0.0.0.0"
                              << "0.0.0.0";
    QTest::newRow("edges") << "255.0.255.0"
                           << "255.0.255.0";
    QTest::newRow("part above 255") << "10.0.0.256"
                                    << "";
    QTest::newRow("first part above 255") << "300.1.1.1"
                                          << "";
    QTest::newRow("three parts") << "10.0.1"
                                 << "";
    QTest::newRow("five parts") << "10.0.0.1.5"
                                << "";
    QTest::newRow("empty part") << "10..0.1"
                                << "";
    QTest::newRow("trailing dot") << "10.0.0.1."
                                  << "";
    QTest::newRow("trailing blank") << "10.0.0.1 "
                                    << "";
    QTest::newRow("leading zero") << "010.0.0.1"
                                  << "";
    QTest::newRow("digit then name") << "9gag.invalid"
                                     << "";
    QTest::newRow("localhost by name") << "localhost"
                                       << "127.0.0.1";
    QTest::newRow("unknown name") << "no-such-host.invalid"
                                  << "";
    QTest::newRow("marker text") << "Bad Configured Updater (kick GM's ass!)"
                                 << "";
}

void TestHostLookup::lookUp()
{
    QFETCH(QString, host);
    QFETCH(QString, expected);
    const std::optional<IPv4Address> found = lookUpHost(host.toStdString());
    QCOMPARE(found ? QString::fromStdString(found->dotted()) : QString(), expected);
}

void TestHostLookup::echoAndProbeAddresses()
{
    const auto dotted = [](IPv4Address address) { return QString::fromStdString(address.dotted()); };
    QCOMPARE(dotted(resolveIPv4("LOCALHOST")), QString("127.0.0.1"));
    QCOMPARE(dotted(resolveIPv4("LocalHost")), QString("127.0.0.1"));
    QCOMPARE(dotted(resolveIPv4("10.20.30.40")), QString("10.20.30.40"));
    QCOMPARE(resolveIPv4("1.2.3.4").networkOrder(), inet_addr("1.2.3.4"));
    QVERIFY_THROWS_EXCEPTION(NetworkError, resolveIPv4("no-such-host.invalid"));
    QVERIFY_THROWS_EXCEPTION(NetworkError, resolveIPv4(""));
}

QTEST_GUILESS_MAIN(TestHostLookup)
#include "tst_hostlookup.moc"
