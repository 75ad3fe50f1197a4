#include "app/TForm1.h"

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

#include "ui_TForm1.h"

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

TForm1::TForm1(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::TForm1>())
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
    ui->Image1->setPixmap(serverPicture());
    ui->Image3->setPixmap(downloadPicture());
    ui->AdvProgress_S1->setSteps(200);
    ui->AdvProgress_S2->setSteps(20);
    m_timerWhenShowUp.setInterval(3000);
    m_timerWhenShowUp.setSingleShot(false);
    connect(&m_timerWhenShowUp, &QTimer::timeout, this, &TForm1::OnTimerWhenShowUp);
    m_timer1.setInterval(1000);
    connect(&m_timer1, &QTimer::timeout, this, &TForm1::TimerStatusCheck);
    connect(ui->Button_Quit, &QPushButton::clicked, this, &TForm1::CloseApp);
    m_settingsMenu = new SettingsMenu(m_state, this);
    m_contextMenu = new ContextMenu(QIcon(m_imageList1[2]), this);
    connect(ui->SpeedButton_Settings, &QToolButton::clicked, m_settingsMenu, &SettingsMenu::popupAtCursor);
    m_gameStart = std::make_unique<GameStartSequence>(
        m_config, m_state, [this] { writeSettings(m_registry, m_state.freedomMouseStatus); });
    connect(ui->Button_Start1, &QPushButton::clicked, this, [this] { m_gameStart->start(1); });
    connect(ui->Button_Start2, &QPushButton::clicked, this, [this] { m_gameStart->start(2); });
    m_downloadDisplay = std::make_unique<DownloadDisplay>(DownloadControls{
        ui->GroupBox_Download, ui->GroupBox_DownloadStatus, ui->Label_Filename, ui->Label_Size,
        ui->Label_Progress, ui->Label_ProzentAnzeige, ui->ProgressBar_Download});
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
    m_newsPage = new NewsPage(ui->CppWebBrowser1, m_config.homepage, this);
    connect(ui->SpeedButton_BrowserReloadPage, &QToolButton::clicked, m_newsPage, &NewsPage::reload);
    m_music = new BackgroundMusic(ui->SpeedButton_BrowserBackPage, m_config.bgmSound, this);
    m_newsPage->showStartPage();
    m_timer1.start();
}

TForm1::~TForm1()
{
    qApp->removeEventFilter(m_messageFilter);
}

void TForm1::loadLogo()
{
    QImageReader reader(QString::fromLocal8Bit(resolveGamePath(LogoPath)));
    const QImage logo = reader.read();
    if (logo.isNull())
        throw UpdaterError(std::string("Cannot open file ") + LogoPath);
    ui->Image_Logo->setPixmap(QPixmap::fromImage(logo));
}

void TForm1::ResetStatusImages()
{
    for (QLabel* picture : {ui->Server1_Image_Account, ui->Server1_Image_Char, ui->Server1_Image_Map,
                            ui->Server2_Image_Account, ui->Server2_Image_Char, ui->Server2_Image_Map}) {
        picture->setPixmap(m_imageList1[0]);
        picture->repaint();
    }
}

void TForm1::checkOnline()
{
    if (isConnectedToInternet())
        return;
    messageBox("OFFLINE", "Panic", DialogIcon::None);
    requestQuit();
    QThread::msleep(1000);
}

void TForm1::labelFromConfiguration()
{
    setWindowTitle(latin1(m_config.titleWindowName));
    const ServerEntry& one = m_config.entry(1);
    const ServerEntry& two = m_config.entry(2);
    ui->Label_ServerName1->setText(latin1(one.serverName));
    ui->Label_ServerName2->setText(latin1(two.serverName));
    ui->GroupBox_Ping_S1->setTitle("Ping " + latin1(one.serverName));
    ui->GroupBox_Ping_S2->setTitle("Ping " + latin1(two.serverName));
    ui->Button_Start1->setText("Go " + latin1(one.serverName));
    ui->Button_Start2->setText("Go " + latin1(two.serverName));
}

void TForm1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    OnShow();
}

void TForm1::OnShow()
{
    setWindowTitle(latin1(m_config.titleWindowName));
    ui->HTMLStatusBar1->setPanelText(0, latin1(statusLineText(m_config.homepage)));
    m_music->start();
    startUpdateWorker();
}

void TForm1::startUpdateWorker()
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

MonitorWindow TForm1::monitorWindow(int serverNumber)
{
    // The twins' controls differ only in their suffix ("_S1", "Server1_", "2").
    const QString n = QString::number(serverNumber);
    const auto label = [this](const QString& name) { return findChild<QLabel*>(name); };
    MonitorWindow window;
    ServerControls& server = window.server;
    server.statusCaptions = {label("Label_Status_Account_S" + n), label("Label_Status_Char_S" + n),
                             label("Label_Status_Map_S" + n)};
    server.statusPictures = {label("Server" + n + "_Image_Account"), label("Server" + n + "_Image_Char"),
                             label("Server" + n + "_Image_Map")};
    server.infoPanel = serverNumber == 1 ? static_cast<QWidget*>(ui->GroupBox_Info) : ui->GroupBox_Info2;
    server.pingBox = findChild<QGroupBox*>("GroupBox_Ping_S" + n);
    server.gauge = findChild<LevelGauge*>("AdvProgress_S" + n);
    server.pingTime = label("Label_PingTime_S" + n);
    server.warning = label("Label_SteahlModeWarming_S" + n);
    server.startButton = findChild<QPushButton*>("Button_Start" + n);
    window.shared = {ui->GroupBox_Download, ui->GroupBox_DownloadStatus, ui->Image_Logo};
    window.setPicture = [this](QLabel* label, int index) {
        label->setPixmap(m_imageList1[index]);
        label->repaint();
    };
    return window;
}

void TForm1::OnTimerWhenShowUp()
{
    m_timerWhenShowUp.stop();
    if (m_config.overWriteClientInfo != 0)
        refreshConfig(m_config, m_http, m_state);
    m_newsPage->showHomepage();
    ui->SpeedButton_BrowserReloadPage->setEnabled(true);
}

void TForm1::TimerStatusCheck()
{
    checkStartButtons(m_state, ui->Button_Start1, ui->Button_Start2);
    pressStartButtonWhenAsked();
}

void TForm1::pressStartButtonWhenAsked()
{
    // Unattended runs (demo, end-to-end tests) press a start button as soon as it is usable.
    static const int server = qEnvironmentVariableIntValue("UPDATER_AUTOSTART_SERVER");
    static bool pressed = false;
    QPushButton* button = server == 1 ? ui->Button_Start1 : server == 2 ? ui->Button_Start2 : nullptr;
    if (pressed || !button || !button->isEnabled() || !button->isVisible())
        return;
    pressed = true;
    QTimer::singleShot(0, button, &QPushButton::click);
}

void TForm1::CloseApp()
{
    close();
}

void TForm1::closeEvent(QCloseEvent* event)
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

void TForm1::popupContextMenu()
{
    m_contextMenu->popupAtCursor();
}

} // namespace updater
