#include "app/HeadlessUpdate.h"

#include "app/CommandLine.h"
#include "app/ConsoleProgress.h"
#include "app/LauncherProcess.h"
#include "app/Messages.h"
#include "app/SharingStart.h"
#include "app/TerminalText.h"
#include "app/UpdateWorker.h"
#include "config/ConfigReader.h"
#include "config/Settings.h"
#include "patch/UpdateRun.h"
#include "platform/EventLog.h"
#include "platform/ProcessInfo.h"
#include "platform/RegistryStore.h"
#include "platform/StopFlag.h"
#include "share/PatchSharing.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

namespace updater {

namespace {

// A run stopped by a signal normally ends within a second; a host look-up cannot be interrupted.
constexpr int stopWaitMs = 15000;

// The lines of a check's report on standard output, each made safe for a terminal: the names in
// it come from archives.
void printLines(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines)
        std::printf("%s\n", withoutTerminalControls(QString::fromStdString(line), LineBreaks::Shown)
                                .toLocal8Bit()
                                .constData());
    std::fflush(stdout);
}

UpdateWorker::Task taskOf(CommandLine::Mode mode)
{
    return mode == CommandLine::Mode::Verify   ? UpdateWorker::Task::Verify
           : mode == CommandLine::Mode::Repair ? UpdateWorker::Task::Repair
                                               : UpdateWorker::Task::Update;
}

const char* logModeOf(UpdateWorker::Task task)
{
    return task == UpdateWorker::Task::Update   ? "update only"
           : task == UpdateWorker::Task::Verify ? "verify game files"
                                                : "repair game files";
}

// Seeds the run's archives for the seconds asked, a stop signal ending it early, then ends the
// sharing: its archives go as the run's other downloads went.
void shareAfterTheRun(PatchSharing& sharing, int seconds, const StopFlag& stop, Console& console)
{
    if (seconds > 0) {
        console.line("Sharing the patches with other players for " + std::to_string(seconds) + " s");
        const QDeadlineTimer end(std::chrono::seconds{seconds});
        // The stop signal arrives through the event loop.
        while (!end.hasExpired() && !stop.requested()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
            sharing.seedFor(
                std::min(std::chrono::milliseconds(200), std::chrono::milliseconds(end.remainingTime())),
                stop);
        }
    }
    sharing.seedingEnds();
}

} // namespace

int runHeadless(const CommandLine& line, int argc, char** argv)
{
    // The game folder is always the current folder: every game path is relative to it.
    if (std::string reason; !line.gameDir.empty() && !enterFolder(line.gameDir.c_str(), reason)) {
        std::fprintf(stderr, "tarvo-updater: cannot enter %s: %s\n", line.gameDir.c_str(), reason.c_str());
        return 1;
    }
    const UpdateWorker::Task task = taskOf(line.mode);
    LauncherProcess::readLocale();
    // No window system is needed, nor may one be looked for: a server has none.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("Tarvo Updater");
    LauncherProcess process;
    Console console(standardErrorIsTerminal());
    if (const std::optional<std::string> refusal = process.start(logModeOf(task))) {
        if (!process.openOnThisFolder()) {
            console.line(*refusal);
            return 1;
        }
        // The log is shared with the open launcher, which a player hands on when asking why.
        RunLog log(logModeOf(task));
        logEvent(line.taskOption + " refused: the launcher is open on this game folder");
        console.line(messages::openOnThisFolder(task != UpdateWorker::Task::Update));
        return 1;
    }
    // A check reads the game folder only: it needs neither the configuration nor the network.
    const ConfigRead read = task == UpdateWorker::Task::Verify ? ConfigRead{Configuration{}} : readConfig();
    const std::optional<Configuration>& config = read.config;
    if (!config) {
        console.line(read.problem == ConfigRead::Problem::TooLarge
                         ? messages::configurationTooLarge(configFilePath())
                         : messages::configurationMissing(configFilePath()));
        return 1;
    }

    ConsoleContact contact(console);
    UpdateWorker worker(*config, contact);
    UpdateRun& run = worker.run();
    // The limit the player set in the window holds here too, unless the command line names one.
    const uint32_t speedLimit = line.maxSpeed.value_or(readSpeedLimit(RegistryStore()));
    run.setSpeedLimit({speedLimit});
    // Shared only when the player chose it, here or in the window; a check fetches nothing.
    std::shared_ptr<PatchSharing> sharing;
    if (task == UpdateWorker::Task::Update && (line.sharePatches || readSharePatches(RegistryStore()))) {
        sharing = startSharing(RegistryStore(), speedLimit, line.uploadLimit);
        run.setSharing(sharing);
    }
    ConsoleProgress progress(run, console);
    if (line.busyWaitSeconds)
        run.setBusyWaitLimit(std::chrono::seconds(*line.busyWaitSeconds));
    // The task's outcome, once it has one: a stopped task has none.
    std::optional<bool> allApplied;
    std::optional<RepairReport> report;
    QObject::connect(&run, &UpdateRun::updateEnded, &app, [&](bool applied) { allApplied = applied; });
    QObject::connect(&run, &UpdateRun::verifyEnded, &app, [&](const RepairReport& found) {
        report = found;
        allApplied = found.before.whole();
    });
    QObject::connect(&run, &UpdateRun::repairEnded, &app, [&](const RepairReport& found) {
        report = found;
        allApplied = found.after.whole();
    });
    QObject::connect(worker.thread(), &QThread::finished, &app, &QCoreApplication::quit);

    bool stopped = false;
    StopFlag seedingStop;
    QObject::connect(&process.termination(), &TerminationRequest::received, &app, [&] {
        stopped = true;
        seedingStop.request();
        worker.stop();
        QTimer::singleShot(stopWaitMs, &app, &QCoreApplication::quit);
    });
    worker.start(task, UpdateWorker::Then::End);
    app.exec();
    if (!worker.waitForEnd(QDeadlineTimer(1000))) {
        // Stuck where it cannot be stopped: end around it rather than hang a scheduled job.
        console.line(std::string("tarvo-updater: the update run did not stop; ending anyway"));
        process.finishLog();
        std::_Exit(1);
    }
    // The outcome signals were queued before the thread's end.
    QCoreApplication::processEvents();
    // What the task achieved; a stop while sharing afterwards takes nothing from it.
    const int status = allApplied.value_or(false) && !stopped ? 0 : 1;
    if (task == UpdateWorker::Task::Update) {
        progress.close(stopped                      ? ConsoleProgress::Stopped
                       : allApplied.value_or(false) ? ConsoleProgress::AllApplied
                                                    : ConsoleProgress::Failed);
        if (sharing)
            shareAfterTheRun(*sharing, stopped ? 0 : line.seedForSeconds, seedingStop, console);
    } else if (stopped || !report) {
        console.line(std::string("The check was stopped."));
    } else {
        console.clearBar();
        printLines(messages::gameFilesReport(report->before));
        if (task == UpdateWorker::Task::Repair && !report->before.damaged.empty()) {
            printLines(messages::notMended(*report));
            printLines({"after the repair:"});
            printLines(messages::gameFilesReport(report->after));
        }
    }
    return status;
}

} // namespace updater
