// The window's side of the server display: the layouts, the ping reply, the probe pictures and
// captions, and when a start button may be used.

#include "app/RunState.h"
#include "app/ServerPanel.h"
#include "widgets/LevelGauge.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace updater;

namespace {

// The server controls with the window's sizes. Every house picture given to a status label is
// appended to its property "houses".
class Panel
{
public:
    Panel()
    {
        root.resize(512, 537);
        downloadBox = new QGroupBox(&root);
        downloadStatusBox = new QGroupBox(&root);
        logo = new QLabel(&root);
        logo->hide();
        for (int s = 0; s < 2; ++s) {
            ServerControls& c = controls[s];
            c.infoPanel = new QFrame(&root);
            c.infoPanel->hide();
            for (int i = 0; i < 3; ++i) {
                c.statusCaptions[i] = new QLabel("Check...", c.infoPanel);
                c.statusPictures[i] = new QLabel(c.infoPanel);
            }
            c.pingBox = new QGroupBox(&root);
            c.pingBox->setGeometry(6 + 252 * s, 468, 248, 45);
            c.pingBox->hide();
            c.gauge = new LevelGauge(c.pingBox);
            c.gauge->setGeometry(12, 20, 182, 17);
            c.pingTime = new QLabel("?? ms", c.pingBox);
            c.pingTime->setGeometry(198, 22, 48, 13);
            c.warning = new QLabel("Server don't respond to Ping", c.pingBox);
            c.warning->setGeometry(29, 22, 187, 13);
            c.warning->hide();
            c.startButton = new QPushButton("START", &root);
            c.startButton->setGeometry(319 + 98 * s, 370, 94, 45);
        }
        controls[1].startButton->hide();
        root.show();
    }

    ServerView view(int number) const
    {
        ServerView v;
        v.server = controls[number - 1];
        v.shared = {downloadBox, downloadStatusBox, logo};
        v.setPicture = [](QLabel* label, int index) {
            label->setProperty("houses", label->property("houses").toList() << index);
        };
        return v;
    }

    QWidget root;
    QGroupBox* downloadBox;
    QGroupBox* downloadStatusBox;
    QLabel* logo;
    ServerControls controls[2];
};

QVariantList houses(QLabel* label)
{
    return label->property("houses").toList();
}

QStringList captions(const ServerControls& s)
{
    return {s.statusCaptions[0]->text(), s.statusCaptions[1]->text(), s.statusCaptions[2]->text()};
}

} // namespace

class TestServerPanel : public QObject
{
    Q_OBJECT
private slots:
    void firstServerLayout_data();
    void firstServerLayout();
    void secondServerLayout();
    void pingReply_data();
    void pingReply();
    void probeDisplay_data();
    void probeDisplay();
    void startButtons_data();
    void startButtons();
};

void TestServerPanel::firstServerLayout_data()
{
    QTest::addColumn<int>("howManyServers");
    QTest::addColumn<bool>("wide");
    QTest::newRow("one: wide") << 1 << true;
    QTest::newRow("two") << 2 << false;
    QTest::newRow("three") << 3 << false;
    QTest::newRow("zero") << 0 << false;
}

void TestServerPanel::firstServerLayout()
{
    QFETCH(int, howManyServers);
    QFETCH(bool, wide);
    Panel w;
    showFirstServer(w.view(1), howManyServers);
    const ServerControls& s = w.controls[0];
    QVERIFY(w.downloadBox->isHidden());
    QVERIFY(w.downloadStatusBox->isHidden());
    QVERIFY(s.pingBox->isVisible());
    QVERIFY(s.infoPanel->isVisible());
    QCOMPARE(w.logo->isVisible(), wide);
    QCOMPARE(s.pingBox->geometry(), QRect(6, 468, wide ? 499 : 248, 45));
    QCOMPARE(s.startButton->geometry(), QRect(319, 370, 94, wide ? 92 : 45));
    QCOMPARE(s.pingTime->geometry().right(), wide ? 492 : 245); // the right edge stays where it was
    QCOMPARE(s.gauge->size(), QSize(wide ? 425 : 182, 17));
    QVERIFY(w.controls[1].pingBox->isHidden());
    QVERIFY(w.controls[1].infoPanel->isHidden());
}

void TestServerPanel::secondServerLayout()
{
    Panel w;
    showSecondServer(w.view(2));
    const ServerControls& s = w.controls[1];
    QVERIFY(s.infoPanel->isVisible());
    QVERIFY(s.pingBox->isVisible());
    QVERIFY(s.startButton->isVisible());
    QCOMPARE(s.pingBox->size(), QSize(248, 45));
    // The first server's display and the download display are left as they are.
    QVERIFY(w.downloadBox->isVisible());
    QVERIFY(w.controls[0].pingBox->isHidden());
}

void TestServerPanel::pingReply_data()
{
    // Replies in turn: round trip in ms, -1 for no answer in time, -2 for an unreachable answer
    // after 90 ms.
    QTest::addColumn<QList<int>>("replies");
    QTest::addColumn<bool>("answered");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("caption");
    QTest::newRow("0 ms") << QList<int>{0} << true << 0 << "0 ms";
    QTest::newRow("47 ms") << QList<int>{47} << true << 15 << "47 ms";
    QTest::newRow("299 ms") << QList<int>{299} << true << 99 << "299 ms";
    QTest::newRow("300 ms") << QList<int>{300} << true << 100 << "300 ms";
    QTest::newRow("2500 ms, not limited") << QList<int>{2500} << true << 833 << "2500 ms";
    QTest::newRow("no answer keeps the numbers") << QList<int>{-1, -1} << false << 100 << "?? ms";
    QTest::newRow("an answer after none, of any kind") << QList<int>{-1, -2} << true << 30 << "90 ms";
}

void TestServerPanel::pingReply()
{
    QFETCH(QList<int>, replies);
    QFETCH(bool, answered);
    QFETCH(int, position);
    QFETCH(QString, caption);
    Panel w;
    showFirstServer(w.view(1), 2);
    const ServerControls& s = w.controls[0];
    for (int roundTrip : replies) {
        ReplyStatus reply;
        if (roundTrip != -1) {
            reply.receivedBytes = 72;
            reply.sourceAddress = "127.0.0.1";
            reply.roundTripMs = roundTrip == -2 ? 90 : roundTrip;
            reply.replyKind = roundTrip == -2 ? ReplyKind::Unreachable : ReplyKind::Echo;
        }
        showPingReply(s, reply);
    }
    QCOMPARE(s.gauge->isVisible(), answered);
    QCOMPARE(s.pingTime->isVisible(), answered);
    QCOMPARE(s.warning->isVisible(), !answered);
    QCOMPARE(s.gauge->position(), position);
    QCOMPARE(s.pingTime->text(), caption);
}

void TestServerPanel::probeDisplay_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("house");
    QTest::addColumn<QString>("caption");
    QTest::newRow("char accepted") << int(ProbeStep::Char) << true << int(HousePicture::On) << "-= On =-";
    QTest::newRow("map refused") << int(ProbeStep::Map) << false << int(HousePicture::Off) << "-= Off =-";
}

void TestServerPanel::probeDisplay()
{
    QFETCH(int, step);
    QFETCH(bool, accepted);
    QFETCH(int, house);
    QFETCH(QString, caption);
    Panel w;
    const ServerControls& s = w.controls[1];
    const ServerView view = w.view(2);

    // The blue house while the service is probed; the caption changes only with the result.
    showProbeBusy(view, ProbeStep(step));
    QCOMPARE(houses(s.statusPictures[step]), QVariantList({int(HousePicture::Busy)}));
    QCOMPARE(s.statusCaptions[step]->text(), QString("Check..."));
    showProbeResult(view, ProbeStep(step), accepted);
    QCOMPARE(houses(s.statusPictures[step]), QVariantList({int(HousePicture::Busy), house}));
    QCOMPARE(s.statusCaptions[step]->text(), caption);

    // Nothing else changes: not the other services, not the other server.
    for (int other = 0; other < 3; ++other) {
        QCOMPARE(houses(w.controls[0].statusPictures[other]), QVariantList());
        if (other != step)
            QCOMPARE(houses(s.statusPictures[other]), QVariantList());
    }
    QCOMPARE(captions(w.controls[0]), QStringList({"Check...", "Check...", "Check..."}));
}

void TestServerPanel::startButtons_data()
{
    QTest::addColumn<bool>("online1");
    QTest::addColumn<bool>("online2");
    QTest::addColumn<bool>("refreshed");
    QTest::addColumn<QString>("busyWith"); // "", "update" or "check"
    QTest::addColumn<QStringList>("tips");
    const QString notRefreshed =
        "Not now: the configuration could not be refreshed from the community's site in this run";
    const QString alphaOff = "Not now: the map server of Alpha does not accept connections";
    const QString betaOff = "Not now: the map server of Beta does not accept connections";
    QTest::newRow("nothing") << false << false << false << "" << QStringList{notRefreshed, notRefreshed};
    QTest::newRow("online, not refreshed")
        << true << true << false << "" << QStringList{notRefreshed, notRefreshed};
    QTest::newRow("refreshed, offline") << false << false << true << "" << QStringList{alphaOff, betaOff};
    QTest::newRow("server 1 only") << true << false << true << ""
                                   << QStringList{"Start the game on Alpha", betaOff};
    QTest::newRow("server 2 only") << false << true << true << ""
                                   << QStringList{alphaOff, "Start the game on Beta"};
    QTest::newRow("both") << true << true << true << ""
                          << QStringList{"Start the game on Alpha", "Start the game on Beta"};
    const QString updating = "Not yet: the game files are being brought up to date";
    QTest::newRow("updating") << true << true << false << "update" << QStringList{updating, updating};
    const QString checking = "Not yet: the game files are being checked";
    QTest::newRow("checking, online and refreshed")
        << true << true << true << "check" << QStringList{checking, checking};
}

void TestServerPanel::startButtons()
{
    QFETCH(bool, online1);
    QFETCH(bool, online2);
    QFETCH(bool, refreshed);
    QFETCH(QString, busyWith);
    QFETCH(QStringList, tips);
    Panel w;
    QPushButton* start1 = w.controls[0].startButton;
    QPushButton* start2 = w.controls[1].startButton;
    // Start from the opposite state so that every button must be set.
    start1->setEnabled(!(online1 && refreshed));
    start2->setEnabled(!(online2 && refreshed));
    RunState state;
    state.serverOnline[0] = online1;
    state.serverOnline[1] = online2;
    state.configRefreshed = refreshed;
    state.updating = busyWith == "update";
    state.repairingGameFiles = busyWith == "check";
    updateStartButtons(state, start1, start2, {"Alpha", "Beta"});
    const bool ready = refreshed && busyWith != "check";
    QCOMPARE(start1->isEnabled(), online1 && ready);
    QCOMPARE(start2->isEnabled(), online2 && ready);
    QCOMPARE((QStringList{start1->toolTip(), start2->toolTip()}), tips);
}

QTEST_MAIN(TestServerPanel)
#include "tst_serverpanel.moc"
