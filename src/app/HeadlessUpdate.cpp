#include "app/HeadlessUpdate.h"

#include "app/ConsoleProgress.h"
#include "app/LauncherProcess.h"
#include "app/Messages.h"
#include "app/TerminalText.h"
#include "config/ConfigReader.h"
#include "net/HttpClient.h"
#include "patch/GameFilesCheck.h"
#include "patch/UpdateRun.h"
#include "platform/ProcessInfo.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace updater {

namespace {

constexpr char updateOnlyOption[] = "--update-only";
constexpr char verifyOption[] = "--verify";
constexpr char repairOption[] = "--repair";
constexpr char gameDirOption[] = "--game-dir";

enum class Task { Update, Verify, Repair };

// A run stopped by a signal normally ends within a second; a host look-up cannot be interrupted.
constexpr int stopWaitMs = 15000;

struct Options
{
    Task task = Task::Update;
    const char* taskOption = updateOnlyOption;
    const char* gameDir = nullptr;
    const char* refused = nullptr; // the first argument that is not understood
    bool gameDirMissing = false;   // --game-dir came last, without its folder
};

Options parse(int argc, char** argv)
{
    Options options;
    bool taskSeen = false;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        const bool verify = std::strcmp(argument, verifyOption) == 0;
        const bool repair = std::strcmp(argument, repairOption) == 0;
        if (verify || repair || std::strcmp(argument, updateOnlyOption) == 0) {
            // One task a run: another one is not understood with it.
            if (taskSeen && std::strcmp(options.taskOption, argument) != 0) {
                options.refused = argument;
                break;
            }
            taskSeen = true;
            options.task = verify ? Task::Verify : repair ? Task::Repair : Task::Update;
            options.taskOption = argument;
            continue;
        }
        if (std::strcmp(argument, gameDirOption) == 0) {
            if (i + 1 == argc) {
                options.gameDirMissing = true;
                break;
            }
            options.gameDir = argv[++i];
            continue;
        }
        if (std::strncmp(argument, "--game-dir=", 11) == 0) {
            options.gameDir = argument + 11;
            continue;
        }
        options.refused = argument;
        break;
    }
    return options;
}

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

} // namespace

bool wantsHeadlessUpdate(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        for (const char* option : {updateOnlyOption, verifyOption, repairOption})
            if (std::strcmp(argv[i], option) == 0)
                return true;
    return false;
}

int runHeadlessUpdate(int argc, char** argv)
{
    const Options options = parse(argc, argv);
    if (options.gameDirMissing) {
        std::fprintf(stderr, "tarvo-updater: --game-dir needs a folder (see --help)\n");
        return 2;
    }
    if (options.refused) {
        std::fprintf(stderr, "tarvo-updater: %s is not understood with %s (see --help)\n", options.refused,
                     options.taskOption);
        return 2;
    }
    // The game folder is always the current folder: every game path is relative to it.
    if (std::string reason; options.gameDir && !enterFolder(options.gameDir, reason)) {
        std::fprintf(stderr, "tarvo-updater: cannot enter %s: %s\n", options.gameDir, reason.c_str());
        return 1;
    }
    LauncherProcess::readLocale();
    // No window system is needed, nor may one be looked for: a server has none.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("Tarvo Updater");
    LauncherProcess process;

    Console console(standardErrorIsTerminal());
    if (const auto refusal = process.takeLocks(); refusal != LauncherProcess::LockRefusal::None) {
        console.line(process.refusalText(refusal));
        return 1;
    }
    RunLog log(options.task == Task::Update   ? "update only"
               : options.task == Task::Verify ? "verify game files"
                                              : "repair game files");
    const auto end = [&log](int status) {
        log.finish();
        return status;
    };
    process.logLockNotes();
    // A check reads the game folder only: it needs neither the configuration nor the network.
    const std::optional<Configuration> config =
        options.task == Task::Verify ? std::optional<Configuration>(Configuration{}) : readConfig();
    if (!config) {
        console.line(messages::configurationMissing(configFilePath()));
        return end(1);
    }

    HttpClient http;
    ConsoleContact contact(console);
    UpdateRun run(*config, http, contact);
    ConsoleProgress progress(run, console);
    std::atomic<bool> allApplied = false;
    QObject::connect(
        &run, &UpdateRun::finished, &run, [&](bool applied) { allApplied = applied; }, Qt::DirectConnection);

    const Task task = options.task;
    std::unique_ptr<QThread> thread(QThread::create([&run, task] {
        if (task == Task::Update)
            run.run();
        else if (task == Task::Verify)
            run.verify();
        else
            run.repair();
    }));
    run.moveToThread(thread.get());
    QObject::connect(thread.get(), &QThread::finished, &app, &QCoreApplication::quit);

    bool stopped = false;
    QObject::connect(&process.termination(), &TerminationRequest::received, &app, [&] {
        stopped = true;
        run.stop();
        QTimer::singleShot(stopWaitMs, &app, &QCoreApplication::quit);
    });
    thread->start();
    app.exec();
    if (!thread->wait(QDeadlineTimer(1000))) {
        // Stuck where it cannot be stopped: end around it rather than hang a scheduled job.
        console.line(std::string("tarvo-updater: the update run did not stop; ending anyway"));
        end(1);
        std::_Exit(1);
    }
    http.setStopFlag(nullptr); // the run's flag goes with it
    if (task == Task::Update) {
        progress.close(stopped      ? ConsoleProgress::Stopped
                       : allApplied ? ConsoleProgress::AllApplied
                                    : ConsoleProgress::Failed);
    } else if (stopped) {
        console.line(std::string("The check was stopped."));
    } else {
        console.clearBar();
        const RepairReport& report = run.repairReport();
        printLines(messages::gameFilesReport(report.before));
        if (task == Task::Repair && !report.before.damaged.empty()) {
            printLines(messages::notMended(report));
            printLines({"after the repair:"});
            printLines(messages::gameFilesReport(report.after));
        }
    }
    return end(allApplied && !stopped ? 0 : 1);
}

} // namespace updater
