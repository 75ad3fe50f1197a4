#include "app/UpdaterWindow.h"

#include "app/AppMessageFilter.h"
#include "app/Artwork.h"
#include "config/ConfigReader.h"
#include "config/ConfigRefresh.h"
#include "config/Settings.h"
#include "launch/ContextMenu.h"
#include "launch/GameStartSequence.h"
#include "launch/SettingsMenu.h"
#include "monitor/PingMonitor.h"
#include "monitor/StartButtonRule.h"
#include "patch/DownloadDisplay.h"
#include "patch/DownloadUpdates.h"
#include "platform/DialogService.h"
#include "platform/GamePath.h"
#include "platform/OnlineState.h"
#include "platform/QuitRequest.h"
#include "platform/UpdaterError.h"
#include "platform/WindowThread.h"
#include "web/NewsPage.h"
#include "web/StatusLineText.h"
#include "widgets/BackgroundMusic.h"

#include "ui_UpdaterWindow.h"

#include <QApplication>
#include <QCloseEvent>
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

} // namespace

UpdaterWindow::UpdaterWindow(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::UpdaterWindow>())
{
    // 1. Window and components.
    ui->setupUi(this);
    QFont font("Verdana");
    font.setPixelSize(11);
    setFont(font);
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(512, 537);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    m_imageList1 = houseImages();
    ui->serverPicture->setPixmap(serverPicture());
    ui->downloadPicture->setPixmap(downloadPicture());
    ui->pingGauge1->setSteps(200);
    ui->pingGauge2->setSteps(20);
    m_timerWhenShowUp.setInterval(3000);
    m_timerWhenShowUp.setSingleShot(false);
    connect(&m_timerWhenShowUp, &QTimer::timeout, this, &UpdaterWindow::OnTimerWhenShowUp);
    m_timer1.setInterval(1000);
    connect(&m_timer1, &QTimer::timeout, this, &UpdaterWindow::TimerStatusCheck);
    connect(ui->quitButton, &QPushButton::clicked, this, &UpdaterWindow::CloseApp);
    m_settingsMenu = new SettingsMenu(m_state, this);
    m_contextMenu = new ContextMenu(QIcon(m_imageList1[2]), this);
    connect(ui->settingsButton, &QToolButton::clicked, m_settingsMenu, &SettingsMenu::popupAtCursor);
    m_gameStart = std::make_unique<GameStartSequence>(
        m_config, m_state, [this] { writeSettings(m_registry, m_state.freedomMouseStatus); });
    connect(ui->startButton1, &QPushButton::clicked, this, [this] { m_gameStart->start(1); });
    connect(ui->startButton2, &QPushButton::clicked, this, [this] { m_gameStart->start(2); });
    m_downloadDisplay = std::make_unique<DownloadDisplay>(DownloadControls{
        ui->downloadBox, ui->downloadStatusBox, ui->fileNameLabel, ui->sizeLabel,
        ui->transferLabel, ui->percentLabel, ui->downloadBar});
    m_http.setWorkEvents(m_downloadDisplay->workEvents());

    // 2. The application-wide message hook.
    m_messageFilter = new AppMessageFilter(this, [this] { popupContextMenu(); });
    qApp->installEventFilter(m_messageFilter);

    // 3. The logo (shown later in the one-server layout).
    loadLogo();
    // 4.
    ResetStatusImages();
    // 5.
    m_state.freedomMouseStatus = readSettings(m_registry);
    // 6.
    m_config = readConfig();
    // 7.
    checkOnline();
    // 8.-11.
    labelFromConfiguration();
    // 12.
    m_settingsMenu->initMouseFreedomMenu();
    // 13.
    m_newsPage = new NewsPage(ui->newsView, m_config.homepage, this);
    connect(ui->reloadButton, &QToolButton::clicked, m_newsPage, &NewsPage::reload);
    m_music = new BackgroundMusic(ui->musicButton, m_config.bgmSound, this);
    m_newsPage->showStartPage();
    m_timer1.start();
}

UpdaterWindow::~UpdaterWindow()
{
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

void UpdaterWindow::ResetStatusImages()
{
    for (QLabel* picture : {ui->accountHouse1, ui->charHouse1, ui->mapHouse1,
                            ui->accountHouse2, ui->charHouse2, ui->mapHouse2}) {
        picture->setPixmap(m_imageList1[0]);
        picture->repaint();
    }
}

void UpdaterWindow::checkOnline()
{
    if (isConnectedToInternet())
        return;
    messageBox("OFFLINE", "Panic", DialogIcon::None);
    requestQuit();
    QThread::msleep(1000);
}

void UpdaterWindow::labelFromConfiguration()
{
    setWindowTitle(latin1(m_config.titleWindowName));
    const ServerEntry& one = m_config.entry(1);
    const ServerEntry& two = m_config.entry(2);
    ui->serverName1->setText(latin1(one.serverName));
    ui->serverName2->setText(latin1(two.serverName));
    ui->pingBox1->setTitle("Ping " + latin1(one.serverName));
    ui->pingBox2->setTitle("Ping " + latin1(two.serverName));
    ui->startButton1->setText("Go " + latin1(one.serverName));
    ui->startButton2->setText("Go " + latin1(two.serverName));
}

void UpdaterWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    OnShow();
}

void UpdaterWindow::OnShow()
{
    setWindowTitle(latin1(m_config.titleWindowName));
    ui->statusLine->setPanelText(0, latin1(statusLineText(m_config.homepage)));
    m_music->start();
    startUpdateWorker();
}

void UpdaterWindow::startUpdateWorker()
{
    DownloadUpdates::Hooks hooks;
    hooks.startMonitors = [this] {
        startPingMonitors(m_config, m_state, monitorWindow(1), monitorWindow(2));
    };
    hooks.armTimer = [this] {
        postToWindowThread([this] {
            m_timerWhenShowUp.start();
            // Measuring runs end the launcher once the game folder is up to date.
            if (qEnvironmentVariableIsSet("UPDATER_EXIT_AFTER_UPDATE"))
                requestQuit();
        });
    };
    hooks.requestWindowClose = [this] { return close(); };
    m_worker = new DownloadUpdates(m_config, m_http, *m_downloadDisplay, hooks);
    m_worker->start();
}

MonitorWindow UpdaterWindow::monitorWindow(int serverNumber)
{
    // The twins' controls differ only in their number.
    const QString n = QString::number(serverNumber);
    const auto label = [this](const QString& name) { return findChild<QLabel*>(name); };
    MonitorWindow window;
    ServerControls& server = window.server;
    server.statusCaptions = {label("accountStatus" + n), label("charStatus" + n), label("mapStatus" + n)};
    server.statusPictures = {label("accountHouse" + n), label("charHouse" + n), label("mapHouse" + n)};
    server.infoPanel = serverNumber == 1 ? static_cast<QWidget*>(ui->serverInfo1) : ui->serverInfo2;
    server.pingBox = findChild<QGroupBox*>("pingBox" + n);
    server.gauge = findChild<LevelGauge*>("pingGauge" + n);
    server.pingTime = label("pingTime" + n);
    server.warning = label("noAnswerWarning" + n);
    server.startButton = findChild<QPushButton*>("startButton" + n);
    window.shared = {ui->downloadBox, ui->downloadStatusBox, ui->logo};
    window.setPicture = [this](QLabel* label, int index) {
        label->setPixmap(m_imageList1[index]);
        label->repaint();
    };
    return window;
}

void UpdaterWindow::OnTimerWhenShowUp()
{
    m_timerWhenShowUp.stop();
    if (m_config.overWriteClientInfo != 0)
        refreshConfig(m_config, m_http, m_state);
    m_newsPage->showHomepage();
    ui->reloadButton->setEnabled(true);
}

void UpdaterWindow::TimerStatusCheck()
{
    checkStartButtons(m_state, ui->startButton1, ui->startButton2);
    pressStartButtonWhenAsked();
}

void UpdaterWindow::pressStartButtonWhenAsked()
{
    // Unattended runs (demo, end-to-end tests) press a start button as soon as it is usable.
    static const int server = qEnvironmentVariableIntValue("UPDATER_AUTOSTART_SERVER");
    static bool pressed = false;
    QPushButton* button = server == 1 ? ui->startButton1 : server == 2 ? ui->startButton2 : nullptr;
    if (pressed || !button || !button->isEnabled() || !button->isVisible())
        return;
    pressed = true;
    QTimer::singleShot(0, button, &QPushButton::click);
}

void UpdaterWindow::CloseApp()
{
    close();
}

void UpdaterWindow::closeEvent(QCloseEvent* event)
{
    // Stays refused unless the player answers Yes and the settings could be saved.
    event->ignore();
    if (!confirmYesNo("It's bitter like beer for kids...\n\nThe End?"))
        return;
    writeSettings(m_registry, m_state.freedomMouseStatus);
    event->accept();
    // A tool window does not end the application by closing, so ask for the end explicitly.
    requestQuit();
}

void UpdaterWindow::popupContextMenu()
{
    m_contextMenu->popupAtCursor();
}

} // namespace updater
