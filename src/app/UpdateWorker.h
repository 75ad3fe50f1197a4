#pragma once

#include "config/Configuration.h"

#include <QDeadlineTimer>
#include <QObject>

#include <memory>

class QThread;

namespace updater {

class PlayerContact;
class UpdateRun;

// The update run on a thread of its own, as the window and the console both use it: one task at a
// time runs there (the update, a check or a repair of the game files), and the run's signals reach
// the receivers on their own threads.
class UpdateWorker : public QObject
{
    Q_OBJECT
public:
    enum class Task { Update, Verify, Repair };

    // The run takes its own copy of the configuration; the contact must outlive the worker.
    UpdateWorker(const Configuration& config, PlayerContact& player, QObject* parent = nullptr);
    // Stops the run and waits for its thread; a thread that does not end keeps the run alive.
    ~UpdateWorker() override;

    UpdateRun& run() { return *m_run; }
    // What the thread does once the task is over: wait for the next one, or end (a run without a
    // window does one task and ends when its thread does).
    enum class Then { NextTask, End };
    // Queues the task behind any other on the run's thread, which starts with the first task.
    void start(Task task, Then then = Then::NextTask);
    // Asks the run to end soon; the task ends without its outcome signal.
    void stop();
    // Waits for the thread's end after stop(), answering the calls it waits for on this thread
    // meanwhile (a box the run asks for). False when the deadline came first.
    bool waitForEnd(QDeadlineTimer deadline);
    QThread* thread() const { return m_thread; }

private:
    QThread* m_thread = nullptr;
    std::unique_ptr<UpdateRun> m_run;
};

// Waits for the thread's end while answering the calls it waits for on this thread. Sleeps until
// an event comes: a call, the thread's end or the deadline.
bool waitServing(QThread* thread, const QDeadlineTimer& deadline);

} // namespace updater
