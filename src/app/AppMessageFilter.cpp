#include "app/AppMessageFilter.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

namespace updater {

AppMessageFilter::AppMessageFilter(QWidget* window, std::function<void()> popupContextMenu)
    : QObject(window), m_window(window), m_popupContextMenu(std::move(popupContextMenu))
{}

bool AppMessageFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_N && (key->modifiers() & Qt::ControlModifier))
            return true;
        return false;
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        auto* widget = qobject_cast<QWidget*>(watched);
        if (mouse->button() == Qt::RightButton && widget && widget->window() == m_window) {
            m_popupContextMenu();
            return true;
        }
    }
    if (event->type() == QEvent::ContextMenu) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == m_window)
            return true; // no control opens a menu of its own
    }
    return false;
}

} // namespace updater
