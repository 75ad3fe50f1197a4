#pragma once

#include <QObject>

class QSocketNotifier;

namespace updater {

// Turns the system's requests to end the program (SIGTERM at logout or from a service manager,
// SIGINT from a terminal, SIGHUP when the terminal goes away) into a signal on the thread that
// created this object, so that the launcher can stop its transfers and end cleanly instead of
// dying mid-write. One instance per process.
class TerminationRequest : public QObject
{
    Q_OBJECT
public:
    explicit TerminationRequest(QObject* parent = nullptr);
    ~TerminationRequest() override;

signals:
    void received();

private:
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace updater
