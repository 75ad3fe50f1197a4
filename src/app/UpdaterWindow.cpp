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
#include "app/SharingStart.h"
#include "app/UpdateWorker.h"
#include "config/ConfigReader.h"
#include "config/Settings.h"
#include "fetch/ConfigRefresh.h"
#include "monitor/ServerWatch.h"
#include "net/DownloadSpeedLimit.h"
#include "patch/UpdateRun.h"
#include "platform/Clock.h"
#include "platform/EventLog.h"
#include "platform/GamePath.h"
#include "platform/OnlineState.h"
#include "platform/UnattendedSwitches.h"
#include "platform/UpdaterError.h"
#include "share/PatchSharing.h"
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

// The window's caption. An empty one stays empty on screen: desktops show the program's name for
// an empty title, but not for an invisible character.
QString captionOf(const std::string& configured)
{
    return configured.empty() ? QString(QChar(0x200B)) : latin1(configured);
}

} // namespace

UpdaterWindow::UpdaterWindow(QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::UpdaterWindow>()), m_noticeBoxes([this] { close(); })
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
    // Named children, so that a look at the window's objects finds them.
    for (QTimer* timer : {&m_afterUpdateTimer, &m_startButtonTimer})
        timer->setParent(this);
    m_afterUpdateTimer.setObjectName("afterUpdateTimer");
    m_startButtonTimer.setObjectName("startButtonTimer");
    m_afterUpdateTimer.setInterval(3000);
    connect(&m_afterUpdateTimer, &QTimer::timeout, this, &UpdaterWindow::showHomepageAfterUpdate);
    m_startButtonTimer.setInterval(1000);
    connect(&m_startButtonTimer, &QTimer::timeout, this, &UpdaterWindow::updateStartButtons);
    connect(ui->quitButton, &QPushButton::clicked, this, &QWidget::close);
    m_settingsMenu = new SettingsMenu(m_state, this);
    m_contextMenu = new ContextMenu(QIcon(m_houses[2]), this);
    connect(ui->settingsButton, &QToolButton::clicked, m_settingsMenu, &SettingsMenu::popupAtCursor);
    connect(m_settingsMenu, &SettingsMenu::checkGameFilesRequested, this, &UpdaterWindow::checkGameFiles);
    connect(m_settingsMenu, &SettingsMenu::speedLimitChosen, this, &UpdaterWindow::keepSpeedLimit);
    connect(m_settingsMenu, &SettingsMenu::sharePatchesChosen, this, &UpdaterWindow::keepSharePatches);
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
    m_settingsMenu->initSharePatchesItem();
    m_newsPage = new NewsPage(ui->newsView, m_config.homepage, this);
    connect(ui->reloadButton, &QToolButton::clicked, m_newsPage, &NewsPage::reload);
    connect(m_newsPage, &NewsPage::navigationFailed, this, [](const QUrl& url, const QString& reason) {
        logEvent("news page failed: " + url.toDisplayString(QUrl::RemoveUserInfo).toStdString() + ": " +
                 reason.toStdString());
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
    m_state.speedLimit = readSpeedLimit(m_registry);
    m_state.sharePatches = readSharePatches(m_registry);
}

void UpdaterWindow::saveAtOnce(const std::string& what, const std::function<bool()>& write)
{
    try {
        if (!write())
            logEvent(what + " not saved: the settings cannot be written");
    } catch (const std::exception& error) {
        logEvent(what + " not saved: " + error.what());
    }
}

void UpdaterWindow::keepSpeedLimit()
{
    // Saved at once: the limit is for the player's line, whatever becomes of this window.
    saveAtOnce("download speed limit", [this] { return writeSpeedLimit(m_registry, m_state.speedLimit); });
    if (m_worker)
        m_worker->run().setSpeedLimit({m_state.speedLimit});
}

void UpdaterWindow::keepSharePatches()
{
    saveAtOnce("the choice to share patches",
               [this] { return writeSharePatches(m_registry, m_state.sharePatches); });
    if (m_state.sharePatches && !m_sharing && m_worker) {
        m_sharing = startSharing(m_registry, m_state.speedLimit);
        m_worker->run().setSharing(m_sharing);
    } else if (!m_state.sharePatches && m_sharing) {
        // A shared download in progress gives way to HTTP; nothing more is uploaded.
        m_sharing->turnOff();
        m_sharing->seedingEnds();
        if (m_worker)
            m_worker->run().setSharing(nullptr);
        m_sharing.reset();
    }
}

void UpdaterWindow::saveSettings()
{
    if (!writeSettings(m_registry, m_state.freedomMouseStatus))
        showMessage(messages::settingsNotSaved());
}

void UpdaterWindow::loadConfiguration()
{
    ConfigRead read = readConfig();
    if (!read.config) {
        messageBox(read.problem == ConfigRead::Problem::TooLarge
                       ? messages::configurationTooLarge(configFilePath())
                       : messages::configurationMissing(configFilePath()),
                   "Alert", DialogIcon::Stop);
        requestQuit();
    }
    // Without a file the window goes on with empty values until the requested end takes effect.
    m_config = read.config.value_or(Configuration{});
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
    m_state.updating = true;
    m_worker = std::make_unique<UpdateWorker>(m_config, m_noticeBoxes);
    UpdateRun& run = m_worker->run();
    run.setSpeedLimit({m_state.speedLimit});
    if (m_state.sharePatches) {
        m_sharing = startSharing(m_registry, m_state.speedLimit);
        run.setSharing(m_sharing);
    }
    connect(&run, &UpdateRun::patchStarted, this, &UpdaterWindow::showPatchStarted);
    connect(&run, &UpdateRun::unpackingStarted, this, &UpdaterWindow::showUnpacking);
    connect(&run.progress(), &RunProgress::pictureChanged, this, &UpdaterWindow::showTransferPicture);
    connect(&run.progress(), &RunProgress::captionChanged, this, &UpdaterWindow::showTransferCaption);
    connect(&run, &UpdateRun::checkingFiles, this, &UpdaterWindow::showCheckingFiles);
    connect(&run, &UpdateRun::updateEnded, this, &UpdaterWindow::onUpdateEnded);
    connect(&run, &UpdateRun::repairEnded, this, &UpdaterWindow::onRepairEnded);
    m_worker->start(UpdateWorker::Task::Update);
}

void UpdaterWindow::showPatchStarted()
{
    m_captionShowsPatch = true;
    showPatchCaption({});
    ui->downloadBox->setVisible(true);
    ui->downloadStatusBox->setVisible(true);
}

void UpdaterWindow::showUnpacking()
{
    ui->downloadStatusBox->setVisible(false);
    ui->fileNameLabel->setText(latin1(messages::unpackingStarted()));
}

void UpdaterWindow::showTransferPicture()
{
    m_progress = m_worker->run().progress().takePicture();
    const DownloadTexts texts = downloadTexts(m_progress.gauge);
    ui->transferLabel->setText(texts.received);
    ui->downloadBar->setValue(m_progress.gauge.bar);
    ui->percentLabel->setText(texts.percent);
    ui->sizeLabel->setText(texts.announced);
    // The time left has the bar's room, whatever the length of the archive's name.
    const QString left = timeLeftText(m_progress.archiveSecondsLeft, m_progress.runSecondsLeft);
    ui->downloadBar->setFormat(left);
    ui->downloadBar->setTextVisible(!left.isEmpty());
    if (m_captionShowsPatch)
        showPatchCaption({});
}

void UpdaterWindow::showTransferCaption()
{
    const TransferCaption caption = m_worker->run().progress().takeCaption();
    m_captionShowsPatch = caption.kind == TransferCaption::Kind::Patch;
    switch (caption.kind) {
    case TransferCaption::Kind::Patch:
        showPatchCaption({});
        break;
    case TransferCaption::Kind::RetryWait:
    case TransferCaption::Kind::BusyWait:
        // A wait keeps the archive's name, and the numbers stay as they were before it.
        showPatchCaption(latin1(messages::transferCaption(caption)));
        break;
    case TransferCaption::Kind::Unpacked:
        ui->fileNameLabel->setText(latin1(messages::transferCaption(caption)));
        ui->fileNameLabel->setToolTip({});
        break;
    }
}

// "p1.rar (2 of 5), 412 kB/s" in the caption's room, or during a wait "p1.rar: server busy, next
// try in 20 s". The name matters most, then the place and the speed: what does not fit beside the
// whole name is left out (the time left is on the bar). A wait's text always shows, and a name too
// long beside it gives way in its middle.
void UpdaterWindow::showPatchCaption(const QString& wait)
{
    const QFontMetrics metrics(ui->fileNameLabel->font());
    const int room = ui->fileNameLabel->width();
    const QString name = latin1(m_progress.archiveName);
    const int number = m_progress.archiveNumber, count = m_progress.archiveCount;
    const qint64 speed = m_progress.bytesPerSecond / 1024;
    if (!wait.isEmpty()) {
        const QString after = ": " + wait;
        ui->fileNameLabel->setToolTip(name + after);
        ui->fileNameLabel->setText(
            metrics.elidedText(name, Qt::ElideMiddle, std::max(room - metrics.horizontalAdvance(after), 0)) +
            after);
        return;
    }
    // The whole of it is there for the pointer, whatever the room leaves out.
    const QString whole = patchProgressText(number, count, speed, 0);
    const QString left = timeLeftText(m_progress.archiveSecondsLeft, m_progress.runSecondsLeft);
    const QString shared = fromPlayersText(m_progress.archiveFromPlayers, m_progress.archiveBytes);
    ui->fileNameLabel->setToolTip((whole.isEmpty() ? name : name + " " + whole) +
                                  (left.isEmpty() ? QString() : ", " + left) +
                                  (shared.isEmpty() ? QString() : ", " + shared));
    const QString candidates[] = {whole, patchProgressText(number, count, 0, 0)};
    for (const QString& progress : candidates) {
        const QString text = progress.isEmpty() ? name : name + " " + progress;
        if (metrics.horizontalAdvance(text) <= room) {
            ui->fileNameLabel->setText(text);
            return;
        }
    }
    ui->fileNameLabel->setText(metrics.elidedText(name, Qt::ElideMiddle, room));
}

void UpdaterWindow::onUpdateEnded()
{
    if (m_stopping)
        return;
    m_state.updating = false;
    m_updateRunDone = true;
    m_settingsMenu->setCheckGameFilesAvailable(true);
    startServerWatch(1);
    if (m_config.howManyServers == 2)
        startServerWatch(2);
    m_afterUpdateTimer.start();
    // Measuring runs end the launcher once the game folder is up to date.
    if (qEnvironmentVariableIsSet(switches::ExitAfterUpdate))
        requestQuit();
}

void UpdaterWindow::checkGameFiles()
{
    if (m_stopping || !m_updateRunDone || m_state.repairingGameFiles)
        return;
    logEvent("check game files: begun by the player");
    m_state.repairingGameFiles = true;
    m_settingsMenu->setCheckGameFilesAvailable(false);
    updateStartButtons();
    for (int server = 1; server <= m_config.howManyServers; ++server) {
        const ServerView view = serverView(server);
        view.server.infoPanel->hide();
        view.server.pingBox->hide();
    }
    showCheckingFiles(0, 0);
    // On the worker's thread, where the update run ran.
    m_worker->start(UpdateWorker::Task::Repair);
}

void UpdaterWindow::showCheckingFiles(int done, int total)
{
    m_captionShowsPatch = false;
    ui->downloadBox->setVisible(true);
    ui->downloadStatusBox->setVisible(false);
    ui->fileNameLabel->setText(latin1(messages::checkingGameFiles(done, total)));
    ui->fileNameLabel->setToolTip({});
    ui->downloadBar->setValue(total > 0 ? int(qint64(done) * 100 / total) : 0);
}

void UpdaterWindow::onRepairEnded(const RepairReport& report)
{
    if (m_stopping)
        return;
    const GameFilesReport& outcome = report.before.damaged.empty() ? report.before : report.after;
    logEvent("check game files: " + std::to_string(report.before.checked) + " checked, " +
             std::to_string(report.before.damaged.size()) + " damaged, " +
             std::to_string(outcome.damaged.size()) + " left damaged");
    showFirstServer(serverView(1), m_config.howManyServers);
    if (m_config.howManyServers == 2)
        showSecondServer(serverView(2));
    m_state.repairingGameFiles = false;
    m_settingsMenu->setCheckGameFilesAvailable(true);
    updateStartButtons();
    showMessage(messages::gameFilesChecked(report));
}

ServerView UpdaterWindow::serverView(int serverNumber)
{
    const bool one = serverNumber == 1;
    ServerView view;
    ServerControls& server = view.server;
    server.statusCaptions = {one ? ui->accountStatus1 : ui->accountStatus2,
                             one ? ui->charStatus1 : ui->charStatus2, one ? ui->mapStatus1 : ui->mapStatus2};
    server.statusPictures = {one ? ui->accountHouse1 : ui->accountHouse2,
                             one ? ui->charHouse1 : ui->charHouse2, one ? ui->mapHouse1 : ui->mapHouse2};
    server.infoPanel = one ? static_cast<QWidget*>(ui->serverInfo1) : ui->serverInfo2;
    server.pingBox = one ? ui->pingBox1 : ui->pingBox2;
    server.gauge = one ? ui->pingGauge1 : ui->pingGauge2;
    server.pingTime = one ? ui->pingTime1 : ui->pingTime2;
    server.warning = one ? ui->noAnswerWarning1 : ui->noAnswerWarning2;
    server.startButton = one ? ui->startButton1 : ui->startButton2;
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
    // A client of its own: a repair may be downloading on the worker's thread meanwhile.
    HttpClient http;
    http.setMaximumSpeed(DownloadSpeedLimit{m_state.speedLimit}.bytesPerSecond());
    const RefreshOutcome outcome = refreshConfig(m_config, http);
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
    updater::updateStartButtons(m_state, ui->startButton1, ui->startButton2,
                                {latin1(m_config.entry(1).serverName), latin1(m_config.entry(2).serverName)});
    pressStartButtonWhenAsked();
}

void UpdaterWindow::pressStartButtonWhenAsked()
{
    // Unattended runs (demo, end-to-end tests) press a start button as soon as it is usable.
    const int server = qEnvironmentVariableIntValue(switches::AutostartServer);
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
    if (m_worker)
        m_worker->stop();
    for (ServerWatch* watch : m_watches)
        if (watch)
            watch->stop();

    const QDeadlineTimer deadline(limitMs);
    bool allEnded = true;
    if (m_worker)
        allEnded = m_worker->waitForEnd(deadline);
    for (QThread* thread : m_watchThreads) {
        if (!thread)
            continue;
        thread->quit();
        allEnded = waitServing(thread, deadline) && allEnded;
    }
    if (!allEnded)
        return false;

    m_worker.reset();
    // The game starts or the window ends: the archives have served.
    if (m_sharing) {
        m_sharing->seedingEnds();
        m_sharing.reset();
    }
    for (ServerWatch*& watch : m_watches) {
        delete watch;
        watch = nullptr;
    }
    return true;
}

} // namespace updater
