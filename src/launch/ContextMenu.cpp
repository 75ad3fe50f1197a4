#include "launch/ContextMenu.h"

#include "launch/SettingsMenu.h"
#include "platform/DialogService.h"
#include "platform/ShellOpen.h"

#include <QCursor>
#include <QIcon>

namespace updater {

ContextMenu::ContextMenu(const QIcon& homepageIcon, QWidget* parent) : QMenu(parent)
{
    setObjectName("contextMenu");

    QAction* homepage = addAction(homepageIcon, "Homepage");
    homepage->setObjectName("homepageItem");
    markAsDefaultItem(homepage);
    setDefaultAction(homepage);
    connect(homepage, &QAction::triggered, this, &ContextMenu::homepageClick);

    addSeparator()->setObjectName("separator");

    QAction* about = addAction("About");
    about->setObjectName("aboutItem");
    connect(about, &QAction::triggered, this, &ContextMenu::aboutClick);
}

QAction* ContextMenu::item(const QString& name) const
{
    return findChild<QAction*>(name);
}

void ContextMenu::popupAtCursor()
{
    popup(QCursor::pos());
}

void ContextMenu::homepageClick()
{
    shellOpen(CommunityHomepageAddress);
}

void ContextMenu::aboutClick()
{
    messageBox("", "Alert", DialogIcon::Information);
}

} // namespace updater
