#pragma once

#include "app/LauncherProcess.h"
#include "app/NoticeBoxes.h"
#include "app/RunState.h"
#include "app/ServerPanel.h"
#include "config/Configuration.h"
#include "net/HttpClient.h"
#include "platform/RegistryStore.h"

#include <QElapsedTimer>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>

namespace Ui {
class UpdaterWindow;
}

class QThread;

namespace updater {

class AppMessageFilter;
class BackgroundMusic;
class ContextMenu;
class GameStart;
class NewsPage;
class ServerWatch;
class SettingsMenu;
class UpdateRun;

// The launcher's one main window: builds every control, runs the start-up sequence, owns the
// update run and the server watches with their threads, and shows the player what they report.
class UpdaterWindow : public QWidget
{
    Q_OBJECT
public:
    // Runs the start-up sequence; throws UpdaterError when the logo cannot be loaded.
    explicit UpdaterWindow(QWidget* parent = nullptr);
    ~UpdaterWindow() override;

    // Stops the update run and the server watches and waits for their threads, answering their
    // pending boxes meanwhile. False when a thread did not end within the limit; the window must
    // then stay alive until the process ends.
    bool stopWorkers(int limitMs = 1500);

    SettingsMenu* settingsMenu() const { return m_settingsMenu; }
    ContextMenu* contextMenu() const { return m_contextMenu; }
    NewsPage* newsPage() const { return m_newsPage; }
    BackgroundMusic* music() const { return m_music; }
    const Configuration& configuration() const { return m_config; }
    RunState& runState() { return m_state; }
    // The controls one server's display works with (1 or 2).
    ServerView serverView(int serverNumber);
    QTimer& afterUpdateTimer() { return m_afterUpdateTimer; }
    QTimer& startButtonTimer() { return m_startButtonTimer; }

public slots:
    // Three seconds after the update run: refresh the configuration, then the home page.
    void showHomepageAfterUpdate();
    void updateStartButtons();
    // The update run's end: the server watches start. Its signal may arrive late, while or after
    // the workers are stopped; nothing starts then.
    void onUpdateFinished();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void loadLogo();
    void resetStatusHouses();
    void checkOnline();
    void loadSettings();
    void saveSettings();
    void loadConfiguration();
    void captionsFromConfiguration();
    void explainControls();
    void onFirstShow();
    void refreshConfiguration();

    void startUpdateRun();
    // "Check game files": the update run's worker checks and mends the game folder, with the
    // download display in the servers' place, then tells the outcome in a box.
    void checkGameFiles();
    void showCheckingFiles(int done, int total);
    void onRepairFinished();
    void showPatchStarted(const QString& documentName);
    void showUnpacking();
    void showTransferPicture();
    void showTransferCaption();
    void showPatchCaption(qint64 kilobytesPerSecond, qint64 secondsLeft);

    void startServerWatch(int serverNumber);
    void pressStartButtonWhenAsked();

    // First made and last gone: the log covers this instance from its start to its end.
    RunLog m_runLog;
    std::unique_ptr<Ui::UpdaterWindow> ui;
    Configuration m_config;
    RunState m_state;
    RegistryStore m_registry;
    HttpClient m_http;
    NoticeBoxes m_noticeBoxes;
    std::array<QPixmap, 4> m_houses;
    QTimer m_afterUpdateTimer;
    QTimer m_startButtonTimer;
    AppMessageFilter* m_messageFilter = nullptr;
    std::unique_ptr<GameStart> m_gameStart;
    SettingsMenu* m_settingsMenu = nullptr;
    ContextMenu* m_contextMenu = nullptr;
    NewsPage* m_newsPage = nullptr;
    BackgroundMusic* m_music = nullptr;
    QThread* m_updateThread = nullptr;
    UpdateRun* m_updateRun = nullptr;
    std::array<QThread*, 2> m_watchThreads{};
    std::array<ServerWatch*, 2> m_watches{};
    bool m_stopping = false; // once set, no worker starts
    bool m_shown = false;
    bool m_startButtonPressed = false; // by an unattended run, once
    bool m_updateRunDone = false;      // the worker is free for "Check game files"
    // The caption while an archive downloads: its name, place, speed and time left.
    QString m_patchName;
    int m_patchNumber = 0, m_patchCount = 0;
    QElapsedTimer m_patchClock;
    std::optional<qint64> m_patchFirstKilobytes;
    bool m_captionShowsPatch = false;
    // Each server's services as last probed (nothing yet: none logged), for logging their changes.
    std::array<std::array<std::optional<bool>, 3>, 2> m_lastProbe;
};

} // namespace updater
