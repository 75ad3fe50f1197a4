#pragma once

#include "app/NoticeBoxes.h"
#include "app/RunState.h"
#include "app/ServerPanel.h"
#include "config/Configuration.h"
#include "patch/RunProgress.h"
#include "platform/RegistryStore.h"

#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class UpdaterWindow;
}

class QThread;

namespace updater {

class PatchSharing;

class AppMessageFilter;
class BackgroundMusic;
class ContextMenu;
class GameStart;
class NewsPage;
class ServerWatch;
class SettingsMenu;
class UpdateWorker;
struct RepairReport;

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
    RunState& runState() { return m_state; }
    // The controls one server's display works with (1 or 2).
    ServerView serverView(int serverNumber);

public slots:
    // Three seconds after the update run: refresh the configuration, then the home page.
    void showHomepageAfterUpdate();
    void updateStartButtons();
    // The update run's end: the server watches start. Its signal may arrive late, while or after
    // the workers are stopped; nothing starts then.
    void onUpdateEnded();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void loadLogo();
    void resetStatusHouses();
    void checkOnline();
    void loadSettings();
    void saveSettings();
    // Saves the limit the player chose and gives it to the next task of the run.
    void keepSpeedLimit();
    // Writes a setting the moment the player chooses it; one that cannot be saved is logged as `what`.
    void saveAtOnce(const std::string& what, const std::function<bool()>& write);
    // Saves the player's choice and starts or ends the sharing of patches accordingly.
    void keepSharePatches();
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
    void onRepairEnded(const RepairReport& report);
    void showPatchStarted();
    void showUnpacking();
    void showTransferPicture();
    void showTransferCaption();
    // The archive's name beside what is to be said of it, in the caption's room.
    void showPatchCaption(const QString& beside);

    void startServerWatch(int serverNumber);
    void pressStartButtonWhenAsked();

    std::unique_ptr<Ui::UpdaterWindow> ui;
    Configuration m_config;
    RunState m_state;
    RegistryStore m_registry;
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
    std::unique_ptr<UpdateWorker> m_worker;
    // While the player shares patches: the run's downloads come from players too, and its archives
    // are seeded until the window ends or starts the game.
    std::shared_ptr<PatchSharing> m_sharing;
    std::array<QThread*, 2> m_watchThreads{};
    std::array<ServerWatch*, 2> m_watches{};
    bool m_stopping = false; // once set, no worker starts
    bool m_shown = false;
    bool m_startButtonPressed = false; // by an unattended run, once
    bool m_updateRunDone = false;      // the worker is free for "Check game files"
    // The run's counts as last shown, and whether the caption shows the archive's progress (not a
    // wait, the unpacking or the check).
    ProgressPicture m_progress;
    bool m_captionShowsPatch = false;
    // Each server's services as last probed (nothing yet: none logged), for logging their changes.
    std::array<std::array<std::optional<bool>, 3>, 2> m_lastProbe;
};

} // namespace updater
