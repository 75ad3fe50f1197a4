#pragma once

#include <QApplication>

namespace updater {

// Shows an error that escapes an event handler in the standard error box; the window goes on.
class UpdaterApplication : public QApplication
{
public:
    UpdaterApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace updater
