#include "app/UpdateWorker.h"

#include "patch/UpdateRun.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace updater {

bool waitServing(QThread* thread, const QDeadlineTimer& deadline)
{
    bool ended = false;
    QObject wake;
    QObject::connect(thread, &QThread::finished, &wake, [&ended] { ended = true; });
    QTimer expiry;
    expiry.setSingleShot(true);
    if (!deadline.isForever())
        expiry.start(std::max<qint64>(deadline.remainingTime(), 0));
    while (!ended && thread->isRunning() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return thread->wait(deadline);
}

UpdateWorker::UpdateWorker(const Configuration& config, PlayerContact& player, QObject* parent)
    : QObject(parent), m_thread(new QThread(this)), m_run(std::make_unique<UpdateRun>(config, player))
{
    m_run->moveToThread(m_thread);
}

UpdateWorker::~UpdateWorker()
{
    stop();
    // Stuck where it cannot be interrupted (a host look-up): the run stays with its thread, which
    // the process ends around.
    if (!waitForEnd(QDeadlineTimer(1500))) {
        m_thread->setParent(nullptr);
        (void)m_run.release();
    }
}

void UpdateWorker::start(Task task, Then then)
{
    if (!m_thread->isRunning())
        m_thread->start();
    UpdateRun* run = m_run.get();
    QThread* thread = m_thread;
    QMetaObject::invokeMethod(
        run,
        [run, thread, task, then] {
            switch (task) {
            case Task::Update:
                run->run();
                break;
            case Task::Verify:
                run->verify();
                break;
            case Task::Repair:
                run->repair();
                break;
            }
            if (then == Then::End)
                thread->quit();
        },
        Qt::QueuedConnection);
}

void UpdateWorker::stop()
{
    m_run->stop();
    m_thread->quit();
}

bool UpdateWorker::waitForEnd(QDeadlineTimer deadline)
{
    return !m_thread->isRunning() || waitServing(m_thread, deadline);
}

} // namespace updater
