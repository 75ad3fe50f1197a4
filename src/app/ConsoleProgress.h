#pragma once

#include "player/PlayerContact.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <mutex>
#include <string>

namespace updater {

class UpdateRun;

// Standard error as the update run's display. On a terminal the progress is one line redrawn in
// place, which a text line first clears; elsewhere (a log file, a pipe) only whole lines are written.
class Console
{
public:
    explicit Console(bool terminal) : m_terminal(terminal) {}

    bool terminal() const { return m_terminal; }
    // A text of the launcher's own 8-bit (Latin-1) kind, as whole lines.
    void line(const std::string& latin1);
    void line(const QString& text);
    // Replaces the progress line on a terminal; ignored elsewhere.
    void bar(const QString& text);
    // Removes the progress line, before output of another stream takes its place.
    void clearBar();

private:
    bool m_terminal;
    bool m_barShown = false;
    std::mutex m_mutex; // workers tell while the main thread draws
};

// The workers' notices as text on the console; nothing waits for an answer, and since no answer
// changes the run's course, none is needed.
class ConsoleContact : public PlayerContact
{
public:
    explicit ConsoleContact(Console& console) : m_console(console) {}
    void tell(const Notice& notice) override;

private:
    Console& m_console;
};

// The run's signals as console output: a line per patch and per extraction, and the download's
// percentage, speed and time left (redrawn on a terminal, a line a second elsewhere).
class ConsoleProgress : public QObject
{
    Q_OBJECT
public:
    enum Outcome { AllApplied, Failed, Stopped };

    ConsoleProgress(UpdateRun& run, Console& console);
    // The closing line.
    void close(Outcome outcome);

private:
    void patchStarted(const QString& documentName);
    void unpackingStarted();
    void pictureChanged();
    void captionChanged();

    UpdateRun& m_run;
    Console& m_console;
    QString m_patch;
    QElapsedTimer m_transferClock; // since the patch began
    QElapsedTimer m_shownClock;    // since the progress was last shown
    bool m_shownOnce = false;
    bool m_waitingForBusyServer = false;
};

} // namespace updater
