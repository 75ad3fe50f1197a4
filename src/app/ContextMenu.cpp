#include "app/ContextMenu.h"

#include "app/Dialogs.h"
#include "app/SettingsMenu.h"
#include "app/ShellOpen.h"

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
    connect(homepage, &QAction::triggered, this, &ContextMenu::openHomepage);

    addSeparator()->setObjectName("separator");

    QAction* about = addAction("About");
    about->setObjectName("aboutItem");
    connect(about, &QAction::triggered, this, &ContextMenu::showAbout);
}

QAction* ContextMenu::item(const QString& name) const
{
    return findChild<QAction*>(name);
}

void ContextMenu::popupAtCursor()
{
    popup(QCursor::pos());
}

void ContextMenu::openHomepage()
{
    shellOpen(CommunityHomepageAddress);
}

void ContextMenu::showAbout()
{
    messageBox("", "Alert", DialogIcon::Information);
}

} // namespace updater
