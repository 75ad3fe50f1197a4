#include "app/UpdaterApplication.h"

#include "app/Dialogs.h"

#include <exception>

namespace updater {

UpdaterApplication::UpdaterApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName("Tarvo Updater");
    // The window's layout puts group titles on the frame line, as the classic Windows look does;
    // a style the player chooses (QT_STYLE_OVERRIDE, -style) still wins.
    if (!qEnvironmentVariableIsSet("QT_STYLE_OVERRIDE") && !arguments().contains("-style"))
        setStyle("Windows");
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
