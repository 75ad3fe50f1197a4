#include "app/UpdaterApplication.h"

#include "platform/DialogService.h"

#include <exception>

namespace updater {

UpdaterApplication::UpdaterApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName("Tarvo Updater");
    setQuitOnLastWindowClosed(true);
}

bool UpdaterApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        showErrorBox(error.what());
    } catch (...) {
        showErrorBox("Unknown error");
    }
    return false;
}

} // namespace updater
