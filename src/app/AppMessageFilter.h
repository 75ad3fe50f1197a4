#pragma once

#include <QObject>

#include <functional>

class QWidget;

namespace updater {

// The application-wide message hook: swallows Ctrl+N everywhere and turns a right-button release
// anywhere in the main window (the news page included) into the context menu at the cursor.
class AppMessageFilter : public QObject
{
public:
    AppMessageFilter(QWidget* window, std::function<void()> popupContextMenu);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window;
    std::function<void()> m_popupContextMenu;
};

} // namespace updater
