#include "MonitorTestWindow.h"

#include "config/RunState.h"
#include "monitor/ServerDisplay.h"
#include "monitor/StartButtonRule.h"

#include <QTest>

using namespace updater;
using updater::test::MonitorTestWindow;

namespace {

ReplyStatus answer(uint32_t roundTripMs)
{
    ReplyStatus reply;
    reply.receivedBytes = 72;
    reply.sourceAddress = "127.0.0.1";
    reply.roundTripMs = roundTripMs;
    reply.replyKind = ReplyKind::Echo;
    return reply;
}

} // namespace

class TestServerDisplay : public QObject
{
    Q_OBJECT
private slots:
    void oneServerLayout();
    void twoServerLayout_data();
    void twoServerLayout();
    void pingReply_data();
    void pingReply();
    void noAnswerShowsWarningUntilAnswered();
    void probeDisplays();
    void startButtons_data();
    void startButtons();
};

void TestServerDisplay::oneServerLayout()
{
    MonitorTestWindow w;
    showServerDisplay1(w.window(1), 1);
    const ServerControls& s = w.controls[0];
    QVERIFY(w.download->isHidden());
    QVERIFY(w.downloadStatus->isHidden());
    QVERIFY(w.logo->isVisible());
    QVERIFY(s.pingBox->isVisible());
    QVERIFY(s.infoPanel->isVisible());
    QCOMPARE(s.pingBox->width(), 499);
    QCOMPARE(s.pingBox->height(), 49);
    QCOMPARE(s.startButton->height(), 92);
    QCOMPARE(s.startButton->width(), 120);
    QCOMPARE(s.pingTime->x(), 455);
    QCOMPARE(s.pingTime->y(), 21);
    QCOMPARE(s.gauge->width(), 425);
    QCOMPARE(s.gauge->height(), 17);
    QVERIFY(w.controls[1].pingBox->isHidden());
}

void TestServerDisplay::twoServerLayout_data()
{
    QTest::addColumn<int>("howManyServers");
    QTest::newRow("two") << 2;
    QTest::newRow("three") << 3;
    QTest::newRow("zero") << 0;
}

void TestServerDisplay::twoServerLayout()
{
    QFETCH(int, howManyServers);
    MonitorTestWindow w;
    showServerDisplay1(w.window(1), howManyServers);
    const ServerControls& s = w.controls[0];
    QVERIFY(w.download->isHidden());
    QVERIFY(w.downloadStatus->isHidden());
    QVERIFY(w.logo->isHidden());
    QVERIFY(s.pingBox->isVisible());
    QVERIFY(s.infoPanel->isVisible());
    QCOMPARE(s.pingBox->size(), QSize(247, 49));
    QCOMPARE(s.startButton->height(), 45);
    QCOMPARE(s.pingTime->x(), 208);
    QCOMPARE(s.gauge->width(), 182);
    QVERIFY(w.controls[1].pingBox->isHidden());
    QVERIFY(w.controls[1].infoPanel->isHidden());

    if (howManyServers == 2) {
        showServerDisplay2(w.window(2));
        const ServerControls& s2 = w.controls[1];
        QVERIFY(s2.infoPanel->isVisible());
        QVERIFY(s2.pingBox->isVisible());
        QVERIFY(s2.startButton->isVisible());
        QCOMPARE(s2.pingBox->size(), QSize(247, 49));
    }
}

void TestServerDisplay::pingReply_data()
{
    QTest::addColumn<uint>("roundTrip");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("caption");
    QTest::newRow("0 ms") << 0u << 0 << "0 ms";
    QTest::newRow("47 ms") << 47u << 15 << "47 ms";
    QTest::newRow("299 ms") << 299u << 99 << "299 ms";
    QTest::newRow("300 ms") << 300u << 100 << "300 ms";
    QTest::newRow("2500 ms, not limited") << 2500u << 833 << "2500 ms";
}

void TestServerDisplay::pingReply()
{
    QFETCH(uint, roundTrip);
    QFETCH(int, position);
    QFETCH(QString, caption);
    MonitorTestWindow w;
    showServerDisplay1(w.window(1), 2);
    const ServerControls& s = w.controls[0];
    showPingReply(s, answer(roundTrip));
    QCOMPARE(s.gauge->position(), position);
    QCOMPARE(s.pingTime->text(), caption);
    QVERIFY(s.gauge->isVisible());
    QVERIFY(s.pingTime->isVisible());
    QVERIFY(s.warning->isHidden());
}

void TestServerDisplay::noAnswerShowsWarningUntilAnswered()
{
    MonitorTestWindow w;
    showServerDisplay1(w.window(1), 2);
    const ServerControls& s = w.controls[0];
    QCOMPARE(s.gauge->position(), 100);

    ReplyStatus none;
    showPingReply(s, none);
    showPingReply(s, none);
    QVERIFY(s.gauge->isHidden());
    QVERIFY(s.pingTime->isHidden());
    QVERIFY(s.warning->isVisible());
    QCOMPARE(s.pingTime->text(), QString("?? ms"));

    // Any answer counts, whatever its kind.
    ReplyStatus unreachable = answer(90);
    unreachable.replyKind = ReplyKind::Unreachable;
    unreachable.messageType = 3;
    showPingReply(s, unreachable);
    QVERIFY(s.gauge->isVisible());
    QVERIFY(s.pingTime->isVisible());
    QVERIFY(s.warning->isHidden());
    QCOMPARE(s.gauge->position(), 30);
    QCOMPARE(s.pingTime->text(), QString("90 ms"));
}

void TestServerDisplay::probeDisplays()
{
    MonitorTestWindow w;
    const MonitorWindow window = w.window(2);
    const ServerControls& s = w.controls[1];
    showProbeBusy(window, ProbeStep::Char);
    QCOMPARE(MonitorTestWindow::lastHouse(s.statusPictures[1]), int(HousePicture::Busy));
    QCOMPARE(s.statusCaptions[1]->text(), QString("Check..."));
    showProbeResult(window, ProbeStep::Char, true);
    QCOMPARE(MonitorTestWindow::lastHouse(s.statusPictures[1]), int(HousePicture::On));
    QCOMPARE(s.statusCaptions[1]->text(), QString("-= On =-"));
    showProbeResult(window, ProbeStep::Map, false);
    QCOMPARE(MonitorTestWindow::lastHouse(s.statusPictures[2]), int(HousePicture::Off));
    QCOMPARE(s.statusCaptions[2]->text(), QString("-= Off =-"));
    // Server 1's controls are not touched by server 2's display.
    QVERIFY(MonitorTestWindow::houses(w.controls[0].statusPictures[1]).isEmpty());
    QCOMPARE(w.controls[0].statusCaptions[2]->text(), QString("Check..."));
}

void TestServerDisplay::startButtons_data()
{
    QTest::addColumn<bool>("online1");
    QTest::addColumn<bool>("online2");
    QTest::addColumn<bool>("refreshed");
    QTest::newRow("nothing") << false << false << false;
    QTest::newRow("online, not refreshed") << true << true << false;
    QTest::newRow("refreshed, offline") << false << false << true;
    QTest::newRow("server 1 only") << true << false << true;
    QTest::newRow("server 2 only") << false << true << true;
    QTest::newRow("both") << true << true << true;
}

void TestServerDisplay::startButtons()
{
    QFETCH(bool, online1);
    QFETCH(bool, online2);
    QFETCH(bool, refreshed);
    MonitorTestWindow w;
    RunState state;
    // Start from the opposite state so that every button must be set.
    w.controls[0].startButton->setEnabled(!(online1 && refreshed));
    w.controls[1].startButton->setEnabled(!(online2 && refreshed));
    state.serverOnline[0] = online1;
    state.serverOnline[1] = online2;
    state.configRefreshed = refreshed;
    checkStartButtons(state, w.controls[0].startButton, w.controls[1].startButton);
    QCOMPARE(w.controls[0].startButton->isEnabled(), online1 && refreshed);
    QCOMPARE(w.controls[1].startButton->isEnabled(), online2 && refreshed);
}

QTEST_MAIN(TestServerDisplay)
#include "tst_serverdisplay.moc"
