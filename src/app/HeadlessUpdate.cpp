#include "app/HeadlessUpdate.h"

#include "app/ConsoleProgress.h"
#include "app/LauncherProcess.h"
#include "app/Messages.h"
#include "config/ConfigReader.h"
#include "net/HttpClient.h"
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
constexpr char gameDirOption[] = "--game-dir";

// A run stopped by a signal normally ends within a second; a host look-up cannot be interrupted.
constexpr int stopWaitMs = 15000;

struct Options
{
    const char* gameDir = nullptr;
    const char* refused = nullptr; // the first argument that is not understood
    bool gameDirMissing = false;   // --game-dir came last, without its folder
};

Options parse(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, updateOnlyOption) == 0)
            continue;
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

} // namespace

bool wantsHeadlessUpdate(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], updateOnlyOption) == 0)
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
        std::fprintf(stderr, "tarvo-updater: %s is not understood with --update-only (see --help)\n",
                     options.refused);
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
    if (!process.acquireLock()) {
        console.line(messages::alreadyRunning());
        return 1;
    }
    if (!process.acquireGameFolderLock()) {
        console.line(messages::gameFolderInUse());
        return 1;
    }
    RunLog log("update only");
    const auto end = [&log](int status) {
        log.finish();
        return status;
    };
    const std::optional<Configuration> config = readConfig();
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

    std::unique_ptr<QThread> thread(QThread::create([&run] { run.run(); }));
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
    progress.close(stopped      ? ConsoleProgress::Stopped
                   : allApplied ? ConsoleProgress::AllApplied
                                : ConsoleProgress::Failed);
    return end(allApplied && !stopped ? 0 : 1);
}

} // namespace updater
