#include "app/TForm1.h"

#include "app/AppMessageFilter.h"
#include "app/Artwork.h"
#include "config/ConfigReader.h"
#include "config/Settings.h"
#include "platform/DialogService.h"
#include "platform/GamePath.h"
#include "platform/OnlineState.h"
#include "platform/QuitRequest.h"
#include "platform/UpdaterError.h"

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
}

void TForm1::OnTimerWhenShowUp()
{
    m_timerWhenShowUp.stop();
    ui->SpeedButton_BrowserReloadPage->setEnabled(true);
}

void TForm1::TimerStatusCheck()
{
    ui->Button_Start1->setEnabled(m_state.serverOnline[0] && m_state.configRefreshed);
    ui->Button_Start2->setEnabled(m_state.serverOnline[1] && m_state.configRefreshed);
}

void TForm1::CloseApp()
{
    close();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (!confirmYesNo("It's bitter like beer for kids...\n\nThe End?")) {
        event->ignore();
        return;
    }
    writeSettings(m_registry, m_state.freedomMouseStatus);
    event->accept();
}

void TForm1::popupContextMenu() {}

} // namespace updater
