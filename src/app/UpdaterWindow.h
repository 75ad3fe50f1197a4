#pragma once

#include "config/Configuration.h"
#include "config/RunState.h"
#include "net/HttpClient.h"
#include "platform/RegistryStore.h"

#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>

namespace Ui {
class UpdaterWindow;
}

namespace updater {

class AppMessageFilter;
class BackgroundMusic;
class ContextMenu;
class DownloadDisplay;
class DownloadUpdates;
struct MonitorWindow;
class NewsPage;
class GameStartSequence;
class SettingsMenu;

// The launcher's one main window: builds every control, runs the start-up sequence and owns the
// parts that change the window.
class UpdaterWindow : public QWidget
{
    Q_OBJECT
public:
    // Runs the construction steps; throws UpdaterError when the logo cannot be loaded.
    explicit UpdaterWindow(QWidget* parent = nullptr);
    ~UpdaterWindow() override;

    Ui::UpdaterWindow* controls() const { return ui.get(); }
    SettingsMenu* settingsMenu() const { return m_settingsMenu; }
    ContextMenu* contextMenu() const { return m_contextMenu; }
    NewsPage* newsPage() const { return m_newsPage; }
    // The controls one server's monitor works with.
    MonitorWindow monitorWindow(int serverNumber);
    BackgroundMusic* music() const { return m_music; }
    const Configuration& configuration() const { return m_config; }
    RunState& runState() { return m_state; }
    QTimer& timerWhenShowUp() { return m_timerWhenShowUp; }
    QTimer& timer1() { return m_timer1; }

public slots:
    void OnTimerWhenShowUp();
    void CloseApp();
    void TimerStatusCheck();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void loadLogo();
    void ResetStatusImages();
    void checkOnline();
    void labelFromConfiguration();
    void OnShow();
    void popupContextMenu();
    void startUpdateWorker();
    void pressStartButtonWhenAsked();

    std::unique_ptr<Ui::UpdaterWindow> ui;
    Configuration m_config;
    RunState m_state;
    RegistryStore m_registry;
    HttpClient m_http;
    std::array<QPixmap, 4> m_imageList1;
    QTimer m_timerWhenShowUp;
    QTimer m_timer1;
    AppMessageFilter* m_messageFilter = nullptr;
    std::unique_ptr<GameStartSequence> m_gameStart;
    SettingsMenu* m_settingsMenu = nullptr;
    ContextMenu* m_contextMenu = nullptr;
    std::unique_ptr<DownloadDisplay> m_downloadDisplay;
    NewsPage* m_newsPage = nullptr;
    BackgroundMusic* m_music = nullptr;
    DownloadUpdates* m_worker = nullptr; // lives until the process ends, like the monitors
    bool m_shown = false;
};

} // namespace updater
