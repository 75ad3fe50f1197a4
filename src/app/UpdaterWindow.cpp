#include "app/UpdaterWindow.h"

#include "app/AppMessageFilter.h"
#include "app/Artwork.h"
#include "app/ContextMenu.h"
#include "app/Dialogs.h"
#include "app/DownloadTexts.h"
#include "app/GameStart.h"
#include "app/Messages.h"
#include "app/QuitRequest.h"
#include "app/SettingsMenu.h"
#include "config/ConfigReader.h"
#include "config/Settings.h"
#include "fetch/ConfigRefresh.h"
#include "monitor/ServerWatch.h"
#include "patch/UpdateRun.h"
#include "platform/Clock.h"
#include "platform/EventLog.h"
#include "platform/GamePath.h"
#include "platform/OnlineState.h"
#include "platform/UpdaterError.h"
#include "widgets/BackgroundMusic.h"
#include "widgets/LevelGauge.h"
#include "widgets/NewsPage.h"

#include "ui_UpdaterWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFontMetrics>
#include <QImageReader>
#include <QScreen>
#include <QThread>

namespace updater {

namespace {

constexpr const char* LogoPath = "Tarvo-Updater\\GUI\\LOGO.BMP";

QString latin1(const std::string& text)
{
    return QString::fromLatin1(text);
}

// Waits for a worker's thread while answering the calls it waits for on this thread. Sleeps until
// an event comes: a call, the thread's end (its signal wakes this thread) or the deadline's timer.
bool waitServing(QThread* thread, const QDeadlineTimer& deadline)
{
    bool ended = false;
    QObject wake;
    QObject::connect(thread, &QThread::finished, &wake, [&ended] { ended = true; });
    QTimer expiry;
    expiry.setSingleShot(true);
    if (!deadline.isForever())
        expiry.start(std::max<qint64>(deadline.remainingTime(), 0));
    while (!ended && thread->isRunning() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return thread->wait(deadline);
}

// The window's caption. An empty one stays empty on screen: desktops show the program's name for
// an empty title, but not for an invisible character.
QString captionOf(const std::string& configured)
{
    return configured.empty() ? QString(QChar(0x200B)) : latin1(configured);
}

} // namespace

UpdaterWindow::UpdaterWindow(QWidget* parent)
    : QWidget(parent), m_runLog(), ui(std::make_unique<Ui::UpdaterWindow>()),
      m_noticeBoxes([this] { close(); })
{
    // A narrow face, so that every text of the fixed layout fits its control; DejaVu Sans
    // Condensed comes with Debian's DejaVu fonts, the others stand in elsewhere. Set before the
    // controls exist, so that those with a style sheet of their own take it too.
    QFont font("DejaVu Sans Condensed");
    font.setFamilies({"DejaVu Sans Condensed", "Liberation Sans Narrow", "Arial Narrow", "Arial"});
    font.setPixelSize(11);
    setFont(font);
    ui->setupUi(this);
    // A normal top-level window, so that it has a taskbar entry and comes back after minimising;
    // the caption bar keeps only the system menu, minimise and close.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(512, 537);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    m_houses = houseImages();
    ui->serverPicture->setPixmap(serverIcon());
    ui->downloadPicture->setPixmap(downloadIcon());
    ui->pingGauge1->setSteps(200);
    ui->pingGauge2->setSteps(20);
    m_afterUpdateTimer.setInterval(3000);
    connect(&m_afterUpdateTimer, &QTimer::timeout, this, &UpdaterWindow::showHomepageAfterUpdate);
    m_startButtonTimer.setInterval(1000);
    connect(&m_startButtonTimer, &QTimer::timeout, this, &UpdaterWindow::updateStartButtons);
    connect(ui->quitButton, &QPushButton::clicked, this, &QWidget::close);
    m_settingsMenu = new SettingsMenu(m_state, this);
    m_contextMenu = new ContextMenu(QIcon(m_houses[2]), this);
    connect(ui->settingsButton, &QToolButton::clicked, m_settingsMenu, &SettingsMenu::popupAtCursor);
    connect(m_settingsMenu, &SettingsMenu::checkGameFilesRequested, this, &UpdaterWindow::checkGameFiles);
    m_gameStart = std::make_unique<GameStart>(m_config, m_state, [this] { saveSettings(); });
    connect(ui->startButton1, &QPushButton::clicked, this, [this] { m_gameStart->start(1); });
    connect(ui->startButton2, &QPushButton::clicked, this, [this] { m_gameStart->start(2); });

    m_messageFilter = new AppMessageFilter(this, [this] { m_contextMenu->popupAtCursor(); });
    qApp->installEventFilter(m_messageFilter);

    // The logo is shown later, in the one-server layout; without it the launcher does not start.
    loadLogo();
    resetStatusHouses();
    loadSettings();
    loadConfiguration();
    checkOnline();
    captionsFromConfiguration();
    m_settingsMenu->initMouseFreedomMenu();
    m_newsPage = new NewsPage(ui->newsView, m_config.homepage, this);
    connect(ui->reloadButton, &QToolButton::clicked, m_newsPage, &NewsPage::reload);
    connect(m_newsPage, &NewsPage::navigationFailed, this, [](const QUrl& url) {
        logEvent("news page failed: " + url.toDisplayString(QUrl::RemoveUserInfo).toStdString());
    });
    m_music = new BackgroundMusic(ui->musicButton, m_config.bgmSound, this);
    connect(m_music, &BackgroundMusic::failed, this, [](const QString& message) {
        logEvent("background music: " + message.toStdString());
        showErrorBox(message.toLatin1().toStdString());
    });
    m_newsPage->showStartPage();
    m_startButtonTimer.start();
}

UpdaterWindow::~UpdaterWindow()
{
    stopWorkers();
    qApp->removeEventFilter(m_messageFilter);
}

void UpdaterWindow::loadLogo()
{
    QImageReader reader(QString::fromLocal8Bit(resolveGamePath(LogoPath)));
    const QImage logo = reader.read();
    if (logo.isNull())
        throw UpdaterError(std::string("Cannot open file ") + LogoPath);
    ui->logo->setPixmap(QPixmap::fromImage(logo));
}

void UpdaterWindow::resetStatusHouses()
{
    for (QLabel* picture : {ui->accountHouse1, ui->charHouse1, ui->mapHouse1, ui->accountHouse2,
                            ui->charHouse2, ui->mapHouse2}) {
        picture->setPixmap(m_houses[0]);
        picture->repaint();
    }
}

void UpdaterWindow::loadSettings()
{
    const StoredSettings stored = readSettings(m_registry);
    if (stored.state == StoredSettings::FirstStart)
        messageBox(messages::firstStart(), "Read this carefully plz", DialogIcon::Information);
    else if (stored.state == StoredSettings::Damaged)
        messageBox(messages::settingsRepaired(), "Info", DialogIcon::Information);
    m_state.freedomMouseStatus = stored.freedomMouse;
}

void UpdaterWindow::saveSettings()
{
    if (!writeSettings(m_registry, m_state.freedomMouseStatus))
        showMessage(messages::settingsNotSaved());
}

void UpdaterWindow::loadConfiguration()
{
    std::optional<Configuration> config = readConfig();
    if (!config) {
        messageBox(messages::configurationMissing(configFilePath()), "Alert", DialogIcon::Stop);
        requestQuit();
    }
    // Without a file the window goes on with empty values until the requested end takes effect.
    m_config = config.value_or(Configuration{});
}

void UpdaterWindow::checkOnline()
{
    if (isConnectedToInternet())
        return;
    messageBox(messages::offline(), "Panic", DialogIcon::None);
    requestQuit();
    Clock::steady().waitFor(std::chrono::seconds(1), nullptr);
}

void UpdaterWindow::captionsFromConfiguration()
{
    setWindowTitle(captionOf(m_config.titleWindowName));
    const ServerEntry& one = m_config.entry(1);
    const ServerEntry& two = m_config.entry(2);
    ui->serverName1->setText(latin1(one.serverName));
    ui->serverName2->setText(latin1(two.serverName));
    ui->pingBox1->setTitle("Ping " + latin1(one.serverName));
    ui->pingBox2->setTitle("Ping " + latin1(two.serverName));
    ui->startButton1->setText("Go " + latin1(one.serverName));
    ui->startButton2->setText("Go " + latin1(two.serverName));
    explainControls();
}

// Captions such as "RE" or "OFF" say little to a newcomer or a screen reader: each control says
// what it does, in a tooltip and as its accessible name. The captions themselves stay.
void UpdaterWindow::explainControls()
{
    const auto explain = [](QWidget* control, const QString& text) {
        control->setToolTip(text);
        control->setAccessibleName(text);
    };
    explain(ui->reloadButton, "Reload the news page");
    explain(ui->musicButton, "Background music: on or off");
    explain(ui->settingsButton, "Settings: mouse add-on, background sound, server status, check game files");
    explain(ui->quitButton, "End the launcher");
    for (int server : {1, 2}) {
        const QString name = latin1(m_config.entry(server).serverName);
        explain(server == 1 ? ui->startButton1 : ui->startButton2, "Start the game on " + name);
        explain(server == 1 ? ui->pingGauge1 : ui->pingGauge2, "How fast " + name + " answers a ping");
    }
}

void UpdaterWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    onFirstShow();
}

void UpdaterWindow::onFirstShow()
{
    setWindowTitle(captionOf(m_config.titleWindowName));
    ui->statusLine->setPanelText(0, latin1(messages::statusLine(m_config.homepage)));
    m_music->start();
    startUpdateRun();
}

void UpdaterWindow::startUpdateRun()
{
    m_updateThread = new QThread(this);
    m_updateRun = new UpdateRun(m_config, m_http, m_noticeBoxes);
    m_updateRun->moveToThread(m_updateThread);
    connect(m_updateThread, &QThread::started, m_updateRun, &UpdateRun::run);
    connect(m_updateRun, &UpdateRun::patchNumbered, this, [this](int number, int count) {
        m_patchNumber = number;
        m_patchCount = count;
    });
    connect(m_updateRun, &UpdateRun::patchStarted, this, &UpdaterWindow::showPatchStarted);
    connect(m_updateRun, &UpdateRun::unpackingStarted, this, &UpdaterWindow::showUnpacking);
    connect(&m_updateRun->progress(), &TransferProgress::pictureChanged, this,
            &UpdaterWindow::showTransferPicture);
    connect(&m_updateRun->progress(), &TransferProgress::captionChanged, this,
            &UpdaterWindow::showTransferCaption);
    connect(m_updateRun, &UpdateRun::checkingFiles, this, &UpdaterWindow::showCheckingFiles);
    connect(m_updateRun, &UpdateRun::finished, this,
            [this] { m_state.repairingGameFiles ? onRepairFinished() : onUpdateFinished(); });
    m_updateThread->start();
}

void UpdaterWindow::showPatchStarted(const QString& documentName)
{
    m_patchName = documentName;
    m_patchClock.start();
    m_patchFirstKilobytes.reset();
    m_captionShowsPatch = true;
    showPatchCaption(0, 0);
    ui->downloadBox->setVisible(true);
    ui->downloadStatusBox->setVisible(true);
}

void UpdaterWindow::showUnpacking()
{
    ui->downloadStatusBox->setVisible(false);
    ui->fileNameLabel->setText("unrar... (please wait!)");
}

void UpdaterWindow::showTransferPicture()
{
    const DownloadPicture picture = m_updateRun->progress().takePicture();
    const DownloadTexts texts = downloadTexts(picture);
    ui->transferLabel->setText(texts.received);
    ui->downloadBar->setValue(picture.bar);
    ui->percentLabel->setText(texts.percent);
    ui->sizeLabel->setText(texts.announced);
    if (!m_captionShowsPatch || !m_patchClock.isValid())
        return;
    // The speed counts this run's bytes only: a resumed archive starts with an earlier run's.
    if (!m_patchFirstKilobytes)
        m_patchFirstKilobytes = picture.receivedKilobytes;
    const qint64 ms = m_patchClock.elapsed();
    // The first second of a transfer says little about its speed.
    const qint64 speed = ms >= 1000 ? (picture.receivedKilobytes - *m_patchFirstKilobytes) * 1000 / ms : 0;
    const qint64 left = speed > 0 ? (picture.announcedKilobytes - picture.receivedKilobytes) / speed : 0;
    showPatchCaption(speed, left);
}

void UpdaterWindow::showTransferCaption()
{
    const TransferCaption caption = m_updateRun->progress().takeCaption();
    m_captionShowsPatch = caption.kind == TransferCaption::Kind::Patch;
    if (m_captionShowsPatch) {
        m_patchName = latin1(caption.patch);
        showPatchCaption(0, 0);
        return;
    }
    ui->fileNameLabel->setText(latin1(messages::transferCaption(caption)));
    ui->fileNameLabel->setToolTip({});
}

// "p1.rar (2 of 5), 412 kB/s, 0:42 left" in the caption's room. The name matters most, then the
// place, the speed and the time left: what does not fit beside the whole name is left out, and only
// a name too long on its own gives way in its middle.
void UpdaterWindow::showPatchCaption(qint64 kilobytesPerSecond, qint64 secondsLeft)
{
    const QFontMetrics metrics(ui->fileNameLabel->font());
    const int room = ui->fileNameLabel->width();
    // The whole of it is there for the pointer, whatever the room leaves out.
    const QString whole = patchProgressText(m_patchNumber, m_patchCount, kilobytesPerSecond, secondsLeft);
    ui->fileNameLabel->setToolTip(whole.isEmpty() ? m_patchName : m_patchName + " " + whole);
    const QString candidates[] = {
        patchProgressText(m_patchNumber, m_patchCount, kilobytesPerSecond, secondsLeft),
        patchProgressText(m_patchNumber, m_patchCount, kilobytesPerSecond, 0),
        patchProgressText(m_patchNumber, m_patchCount, 0, 0),
    };
    for (const QString& progress : candidates) {
        const QString text = progress.isEmpty() ? m_patchName : m_patchName + " " + progress;
        if (metrics.horizontalAdvance(text) <= room) {
            ui->fileNameLabel->setText(text);
            return;
        }
    }
    ui->fileNameLabel->setText(metrics.elidedText(m_patchName, Qt::ElideMiddle, room));
}

void UpdaterWindow::onUpdateFinished()
{
    if (m_stopping)
        return;
    m_updateRunDone = true;
    m_settingsMenu->item("checkGameFilesItem")->setEnabled(true);
    startServerWatch(1);
    if (m_config.howManyServers == 2)
        startServerWatch(2);
    m_afterUpdateTimer.start();
    // Measuring runs end the launcher once the game folder is up to date.
    if (qEnvironmentVariableIsSet("UPDATER_EXIT_AFTER_UPDATE"))
        requestQuit();
}

void UpdaterWindow::checkGameFiles()
{
    if (m_stopping || !m_updateRunDone || m_state.repairingGameFiles)
        return;
    logEvent("check game files: begun by the player");
    m_state.repairingGameFiles = true;
    m_settingsMenu->item("checkGameFilesItem")->setEnabled(false);
    updateStartButtons();
    for (int server = 1; server <= m_config.howManyServers; ++server) {
        const ServerView view = serverView(server);
        view.server.infoPanel->hide();
        view.server.pingBox->hide();
    }
    showCheckingFiles(0, 0);
    // Queued to the worker's thread, where the update run ran.
    QMetaObject::invokeMethod(m_updateRun, &UpdateRun::repair, Qt::QueuedConnection);
}

void UpdaterWindow::showCheckingFiles(int done, int total)
{
    m_captionShowsPatch = false;
    ui->downloadBox->setVisible(true);
    ui->downloadStatusBox->setVisible(false);
    ui->fileNameLabel->setText(total > 0 ? QString("Checking game files (%1 of %2)").arg(done).arg(total)
                                         : QString("Checking game files"));
    ui->fileNameLabel->setToolTip({});
    ui->downloadBar->setValue(total > 0 ? int(qint64(done) * 100 / total) : 0);
}

void UpdaterWindow::onRepairFinished()
{
    if (m_stopping)
        return;
    const RepairReport& report = m_updateRun->repairReport();
    const GameFilesReport& outcome = report.before.damaged.empty() ? report.before : report.after;
    logEvent("check game files: " + std::to_string(report.before.checked) + " checked, " +
             std::to_string(report.before.damaged.size()) + " damaged, " +
             std::to_string(outcome.damaged.size()) + " left damaged");
    showFirstServer(serverView(1), m_config.howManyServers);
    if (m_config.howManyServers == 2)
        showSecondServer(serverView(2));
    m_state.repairingGameFiles = false;
    m_settingsMenu->item("checkGameFilesItem")->setEnabled(true);
    updateStartButtons();
    showMessage(messages::gameFilesChecked(report));
}

ServerView UpdaterWindow::serverView(int serverNumber)
{
    const QString n = QString::number(serverNumber);
    const auto label = [this](const QString& name) { return findChild<QLabel*>(name); };
    ServerView view;
    ServerControls& server = view.server;
    server.statusCaptions = {label("accountStatus" + n), label("charStatus" + n), label("mapStatus" + n)};
    server.statusPictures = {label("accountHouse" + n), label("charHouse" + n), label("mapHouse" + n)};
    server.infoPanel = findChild<QWidget*>("serverInfo" + n);
    server.pingBox = findChild<QGroupBox*>("pingBox" + n);
    server.gauge = findChild<LevelGauge*>("pingGauge" + n);
    server.pingTime = label("pingTime" + n);
    server.warning = label("noAnswerWarning" + n);
    server.startButton = findChild<QPushButton*>("startButton" + n);
    view.shared = {ui->downloadBox, ui->downloadStatusBox, ui->logo};
    view.setPicture = [this](QLabel* label, int index) {
        label->setPixmap(m_houses[index]);
        label->setProperty("house", index);
    };
    return view;
}

void UpdaterWindow::startServerWatch(int serverNumber)
{
    const int index = serverNumber - 1;
    const ServerView view = serverView(serverNumber);
    if (serverNumber == 1)
        showFirstServer(view, m_config.howManyServers);
    else
        showSecondServer(view);

    auto* thread = new QThread(this);
    auto* watch = new ServerWatch(m_config.entry(serverNumber), m_noticeBoxes);
    watch->moveToThread(thread);
    connect(thread, &QThread::started, watch, &ServerWatch::run);
    connect(watch, &ServerWatch::probing, this, [view](ProbeStep step) { showProbeBusy(view, step); });
    connect(watch, &ServerWatch::probed, this, [this, view, index](ProbeStep step, bool accepted) {
        // Only changes: a community reads when a service went away or came back.
        auto& last = m_lastProbe[index][static_cast<int>(step)];
        if (last != accepted) {
            static const char* const services[] = {"account", "char", "map"};
            logEvent("server " + std::to_string(index + 1) + " " + services[static_cast<int>(step)] +
                     (accepted ? ": accepts connections" : ": refuses connections"));
            last = accepted;
        }
        showProbeResult(view, step, accepted);
        if (step == ProbeStep::Map)
            m_state.serverOnline[index] = accepted;
    });
    connect(watch, &ServerWatch::pingAnswered, this,
            [view](const ReplyStatus& reply) { showPingReply(view.server, reply); });
    m_watchThreads[index] = thread;
    m_watches[index] = watch;
    thread->start();
}

void UpdaterWindow::showHomepageAfterUpdate()
{
    m_afterUpdateTimer.stop();
    if (m_config.overWriteClientInfo != 0)
        refreshConfiguration();
    m_newsPage->showHomepage();
    ui->reloadButton->setEnabled(true);
}

void UpdaterWindow::refreshConfiguration()
{
    const RefreshOutcome outcome = refreshConfig(m_config, m_http);
    if (outcome.result == RefreshOutcome::Refreshed)
        m_state.configRefreshed = true;
    if (outcome.result != RefreshOutcome::Failed)
        return;
    if (messageBox(messages::refreshFailed(m_config.configLink, outcome.reply), "Alert", DialogIcon::Stop,
                   DialogButtons::YesNo) == DialogAnswer::No)
        requestQuit();
}

void UpdaterWindow::updateStartButtons()
{
    updater::updateStartButtons(m_state, ui->startButton1, ui->startButton2);
    pressStartButtonWhenAsked();
}

void UpdaterWindow::pressStartButtonWhenAsked()
{
    // Unattended runs (demo, end-to-end tests) press a start button as soon as it is usable.
    const int server = qEnvironmentVariableIntValue("UPDATER_AUTOSTART_SERVER");
    QPushButton* button = server == 1 ? ui->startButton1 : server == 2 ? ui->startButton2 : nullptr;
    if (m_startButtonPressed || !button || !button->isEnabled() || !button->isVisible())
        return;
    m_startButtonPressed = true;
    QTimer::singleShot(0, button, &QPushButton::click);
}

void UpdaterWindow::closeEvent(QCloseEvent* event)
{
    // Stays refused unless the player answers Yes.
    event->ignore();
    if (!confirmYesNo(messages::closeQuestion()))
        return;
    saveSettings();
    event->accept();
    // A tool window does not end the application by closing, so ask for the end explicitly.
    requestQuit();
}

bool UpdaterWindow::stopWorkers(int limitMs)
{
    // The threads are waited for below, answering their calls meanwhile: a worker started from
    // one of those calls would be missed, and deleted while it runs.
    m_stopping = true;
    m_afterUpdateTimer.stop();
    m_startButtonTimer.stop();
    if (m_updateRun)
        m_updateRun->stop();
    for (ServerWatch* watch : m_watches)
        if (watch)
            watch->stop();

    const QDeadlineTimer deadline(limitMs);
    bool allEnded = true;
    for (QThread* thread : {m_updateThread, m_watchThreads[0], m_watchThreads[1]}) {
        if (!thread)
            continue;
        thread->quit();
        allEnded = waitServing(thread, deadline) && allEnded;
    }
    if (!allEnded)
        return false;

    m_http.setStopFlag(nullptr);
    delete m_updateRun;
    m_updateRun = nullptr;
    for (ServerWatch*& watch : m_watches) {
        delete watch;
        watch = nullptr;
    }
    return true;
}

} // namespace updater
