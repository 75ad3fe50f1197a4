#include "MonitorTestWindow.h"

#include "config/Configuration.h"
#include "config/RunState.h"
#include "monitor/PingMonitor.h"
#include "monitor/StartButtonRule.h"
#include "platform/QuitRequest.h"

#include "support/PrivateNetwork.h"
#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace updater;
using updater::test::MonitorTestWindow;

namespace {

const MonitorTimings ShortTimings{20, 300};

// A port on loopback that nobody listens on.
int closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

// A loopback listener that takes and drops every connection, so that any number of probes fit.
class OpenPort : public QTcpServer
{
public:
    OpenPort(quint16 port = 0)
    {
        listen(QHostAddress::LocalHost, port);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                received += socket->readAll().size();
                socket->deleteLater();
            }
        });
    }
    qint64 received = 0;
};

// A loopback port whose accept queue is full: connection attempts get no answer at all.
class SilentPort
{
public:
    SilentPort()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_fd, 0);
        socklen_t length = sizeof address;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_filler = ::socket(AF_INET, SOCK_STREAM, 0);
        ::connect(m_filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    ~SilentPort() { close(); }
    int port() const { return m_port; }
    void close()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
            ::close(m_filler);
        }
        m_fd = -1;
    }

private:
    int m_fd = -1;
    int m_filler = -1;
    int m_port = 0;
};

ServerEntry entry(const std::string& host, int account, int charPort, int map, bool resolveHost = false)
{
    ServerEntry e;
    e.resolveHost = resolveHost;
    e.ipResolve = host;
    e.account = account;
    e.charPort = charPort;
    e.map = map;
    return e;
}

// Ends a monitor the way only tests do, keeping the window thread's events flowing meanwhile.
void stopMonitor(PingMonitor* monitor)
{
    if (monitor == nullptr)
        return;
    monitor->requestInterruption();
    QTRY_VERIFY_WITH_TIMEOUT(monitor->isFinished(), 60000);
    delete monitor;
}

QStringList captions(const ServerControls& s)
{
    return {s.statusCaptions[0]->text(), s.statusCaptions[1]->text(), s.statusCaptions[2]->text()};
}

QList<int> lastHouses(const ServerControls& s)
{
    return {MonitorTestWindow::lastHouse(s.statusPictures[0]),
            MonitorTestWindow::lastHouse(s.statusPictures[1]),
            MonitorTestWindow::lastHouse(s.statusPictures[2])};
}

bool showsAnswer(const ServerControls& s)
{
    static const QRegularExpression roundTrip("^\\d+ ms$");
    return s.gauge->isVisible() && s.pingTime->isVisible() && s.warning->isHidden() &&
           roundTrip.match(s.pingTime->text()).hasMatch();
}

bool showsNoAnswer(const ServerControls& s)
{
    return s.gauge->isHidden() && s.pingTime->isHidden() && s.warning->isVisible();
}

// Counts the times a widget is shown or hidden.
class VisibilityCounter : public QObject
{
public:
    explicit VisibilityCounter(QWidget* widget) { widget->installEventFilter(this); }
    int changes = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Show || event->type() == QEvent::Hide)
            ++changes;
        return false;
    }
};

// The ping displays of both servers, for failure messages.
QByteArray describe(const MonitorTestWindow& w)
{
    QByteArray text;
    for (const ServerControls& s : w.controls)
        text += QString("[%1 gauge %2, label %3 '%4', warning %5] ")
                    .arg(captions(s).join(','))
                    .arg(s.gauge->isVisible())
                    .arg(s.pingTime->isVisible())
                    .arg(s.pingTime->text())
                    .arg(s.warning->isVisible())
                    .toUtf8();
    return text;
}

} // namespace

class TestPingMonitor : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void probesAndPingsLoopback();
    void resolveFailureAsksEveryCycle();
    void echoErrorEndsTheMonitorQuietly();
    void silentPortKeepsTheWindowAndTheOtherServerGoing();
    void twinsShowOnlyTheirOwnResults();

private:
    QTemporaryDir m_dir;
    QString m_dialogLog;
};

void TestPingMonitor::initTestCase()
{
    // Every box is answered at once and logged; only the resolve test opens any.
    m_dialogLog = m_dir.filePath("dialogs.jsonl");
    qputenv("UPDATER_DIALOG_LOG", m_dialogLog.toLocal8Bit());
    qputenv("UPDATER_DIALOG_ANSWERS", "Yes,No");
}

void TestPingMonitor::probesAndPingsLoopback()
{
    OpenPort map;
    Configuration config;
    config.howManyServers = 1;
    config.server[0] = entry("127.0.0.1", closedPort(), closedPort(), map.serverPort());
    RunState state;
    MonitorTestWindow w;
    const ServerControls& s = w.controls[0];
    QPushButton* start1 = s.startButton;
    QPushButton* start2 = w.controls[1].startButton;

    auto* monitor = new PingMonitor(1, config, state, w.window(1), ShortTimings);
    // The constructor has switched the window to the one-server display before returning.
    QVERIFY(w.download->isHidden());
    QVERIFY(w.logo->isVisible());
    QCOMPARE(s.pingBox->width(), 499);

    QTRY_COMPARE(captions(s), QStringList({"-= Off =-", "-= Off =-", "-= On =-"}));
    QCOMPARE(lastHouses(s), QList<int>({3, 3, 2}));
    for (QLabel* picture : s.statusPictures)
        QCOMPARE(MonitorTestWindow::houses(picture).first().toInt(), int(HousePicture::Busy));
    QVERIFY(state.serverOnline[0]);
    QTRY_VERIFY(showsAnswer(s));
    QCOMPARE(s.gauge->position(), s.pingTime->text().section(' ', 0, 0).toInt() / 3);

    // The map port alone does not enable the button: the refresh must have succeeded too.
    checkStartButtons(state, start1, start2);
    QVERIFY(!start1->isEnabled());
    state.configRefreshed = true;
    checkStartButtons(state, start1, start2);
    QVERIFY(start1->isEnabled());
    QVERIFY(!start2->isEnabled());

    // The map server goes away: the next map probe clears the flag and the button follows.
    const quint16 mapPort = map.serverPort();
    map.close();
    QTRY_VERIFY_WITH_TIMEOUT(!state.serverOnline[0], 20000);
    QCOMPARE(captions(s).last(), QString("-= Off =-"));
    checkStartButtons(state, start1, start2);
    QVERIFY(!start1->isEnabled());

    // ... and comes back.
    QVERIFY(map.listen(QHostAddress::LocalHost, mapPort));
    QTRY_VERIFY_WITH_TIMEOUT(state.serverOnline[0], 20000);
    checkStartButtons(state, start1, start2);
    QVERIFY(start1->isEnabled());

    stopMonitor(monitor);
    QCOMPARE(map.received, 0);
}

void TestPingMonitor::resolveFailureAsksEveryCycle()
{
    resetQuitRequest();
    Configuration config;
    config.howManyServers = 1;
    config.server[0] = entry("no-such-host.invalid", 6900, 6121, 5121, true);
    RunState state;
    MonitorTestWindow w;
    const ServerControls& s = w.controls[0];

    auto* monitor = new PingMonitor(1, config, state, w.window(1), ShortTimings);
    const auto logLines = [this] {
        QFile log(m_dialogLog);
        log.open(QIODevice::ReadOnly);
        return log.readAll().split('\n').count() - 1;
    };
    QTRY_VERIFY_WITH_TIMEOUT(logLines() >= 3, 20000);
    stopMonitor(monitor);

    QFile log(m_dialogLog);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = log.readAll().trimmed().split('\n');
    for (int i = 0; i < 3; ++i) {
        const QJsonObject box = QJsonDocument::fromJson(lines[i]).object();
        QCOMPARE(box["title"].toString(), QString("Alert"));
        QCOMPARE(
            box["text"].toString(),
            QString("Can't resolve ip!\n\nI can try to use older updater.cfg. This works only, if there is "
                    "existing and not outdated file...\n\nWant try it with old updater.cfg?"));
        QCOMPARE(box["icon"].toString(), QString("stop"));
        QCOMPARE(box["buttons"].toArray(), QJsonArray({"Yes", "No"}));
        if (i < 2)
            QCOMPARE(box["answer"].toString(), QString(i == 0 ? "Yes" : "No"));
    }
    // No asked the application to end; the monitor went on with the empty address regardless and
    // asked again in the next cycle.
    QVERIFY(isQuitPending());
    QCOMPARE(captions(s), QStringList({"-= Off =-", "-= Off =-", "-= Off =-"}));
    QVERIFY(showsNoAnswer(s));
    QVERIFY(!state.serverOnline[0]);
    resetQuitRequest();
}

void TestPingMonitor::echoErrorEndsTheMonitorQuietly()
{
    Configuration config;
    config.howManyServers = 2;
    config.server[1] = entry(MarkerText, 6900, 6121, 5121);
    RunState state;
    MonitorTestWindow w;
    const ServerControls& s = w.controls[1];

    auto* monitor = new PingMonitor(2, config, state, w.window(2), ShortTimings);
    QVERIFY(s.infoPanel->isVisible());
    QVERIFY(s.pingBox->isVisible());
    QVERIFY(s.startButton->isVisible());
    QVERIFY(w.download->isVisible()); // the second server's layout leaves the rest alone

    // The marker text never resolves: all three probes are off, and the first echo raises.
    QTRY_VERIFY_WITH_TIMEOUT(monitor->isFinished(), 20000);
    QCOMPARE(captions(s), QStringList({"-= Off =-", "-= Off =-", "-= Off =-"}));
    QCOMPARE(s.pingTime->text(), QString("?? ms"));
    QVERIFY(s.warning->isHidden());
    QCOMPARE(s.gauge->position(), 100);
    QVERIFY(!state.serverOnline[1]);
    delete monitor;
}

void TestPingMonitor::silentPortKeepsTheWindowAndTheOtherServerGoing()
{
    SilentPort silent;
    OpenPort open;
    Configuration config;
    config.howManyServers = 2;
    config.server[0] = entry("127.0.0.1", open.serverPort(), open.serverPort(), silent.port());
    config.server[1] = entry("127.0.0.1", open.serverPort(), closedPort(), open.serverPort());
    RunState state;
    MonitorTestWindow w;
    const ServerControls& s1 = w.controls[0];
    const ServerControls& s2 = w.controls[1];

    const PingMonitors monitors = startPingMonitors(config, state, w.window(1), w.window(2), ShortTimings);
    QVERIFY(monitors.server1 != nullptr && monitors.server2 != nullptr);

    // Server 1 hangs in its map probe with the blue house...
    QTRY_COMPARE(lastHouses(s1), QList<int>({2, 2, 1}));
    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(50);
    // ...while the window thread keeps working and server 2 goes through cycle after cycle.
    QTRY_VERIFY_WITH_TIMEOUT(MonitorTestWindow::houses(s2.statusPictures[2]).size() >= 6, 20000);
    QVERIFY(ticks > 0);
    QCOMPARE(lastHouses(s1), QList<int>({2, 2, 1}));
    QCOMPARE(captions(s1).last(), QString("Check..."));
    QTRY_VERIFY(showsAnswer(s2));
    QCOMPARE(captions(s2), QStringList({"-= On =-", "-= Off =-", "-= On =-"}));
    QVERIFY(state.serverOnline[1]);

    // Once the port refuses, server 1's probe ends with the red house.
    silent.close();
    QTRY_VERIFY_WITH_TIMEOUT(captions(s1).last() == "-= Off =-", 30000);
    QCOMPARE(MonitorTestWindow::lastHouse(s1.statusPictures[2]), int(HousePicture::Off));

    stopMonitor(monitors.server1);
    stopMonitor(monitors.server2);
}

void TestPingMonitor::twinsShowOnlyTheirOwnResults()
{
    if (!test::insidePrivateNetwork()) {
        // Inside a private network, 10.77.0.0/16 leads into loopback where nobody answers echoes.
        QByteArray output;
        const int code = test::runInPrivateNetwork(
            QTest::currentTestFunction(), "ip link set lo up && ip route add 10.77.0.0/16 dev lo", &output);
        if (code == 77)
            QSKIP("This machine does not allow a private network namespace (unshare -n needs root or user "
                  "namespaces; ip must be installed).");
        QVERIFY2(code == 0, output.constData());
        return;
    }
    OpenPort open;
    Configuration config;
    config.howManyServers = 2;
    config.server[0] = entry("127.0.0.1", open.serverPort(), open.serverPort(), open.serverPort());
    // Ports outside the valid range fail at once, without traffic.
    config.server[1] = entry("10.77.0.1", 0, -1, 70000);
    RunState state;
    MonitorTestWindow w;
    const ServerControls& s1 = w.controls[0];
    const ServerControls& s2 = w.controls[1];

    const PingMonitors monitors = startPingMonitors(config, state, w.window(1), w.window(2), ShortTimings);
    QVERIFY(w.logo->isHidden());
    QCOMPARE(s1.pingBox->size(), QSize(247, 49));
    QVERIFY(s2.pingBox->isVisible() && s2.infoPanel->isVisible() && s2.startButton->isVisible());

    QTRY_VERIFY2_WITH_TIMEOUT(showsAnswer(s1) && showsNoAnswer(s2), describe(w).constData(), 20000);
    QCOMPARE(captions(s1), QStringList({"-= On =-", "-= On =-", "-= On =-"}));
    QCOMPARE(captions(s2), QStringList({"-= Off =-", "-= Off =-", "-= Off =-"}));
    QVERIFY(state.serverOnline[0]);
    QVERIFY(!state.serverOnline[1]);

    // A whole cycle of server 2 (ten time-outs) leaves server 1's display as it is.
    VisibilityCounter warning1(s1.warning), gauge1(s1.gauge), label1(s1.pingTime);
    const int before = MonitorTestWindow::houses(s2.statusPictures[0]).size();
    QTRY_VERIFY_WITH_TIMEOUT(MonitorTestWindow::houses(s2.statusPictures[0]).size() > before, 20000);
    QCOMPARE(warning1.changes + gauge1.changes + label1.changes, 0);
    QVERIFY(showsAnswer(s1));
    QVERIFY(showsNoAnswer(s2));
    QCOMPARE(s2.pingTime->text(), QString("?? ms"));

    stopMonitor(monitors.server1);
    stopMonitor(monitors.server2);
}

QTEST_MAIN(TestPingMonitor)
#include "tst_pingmonitor.moc"
