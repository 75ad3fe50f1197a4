#pragma once

#include <QMenu>

class QIcon;

namespace updater {

// The community's home page, opened by the context menu (not the configured news page).
inline constexpr const char* CommunityHomepageAddress = "http://www.tarvo-gv.example/";

// The menu a right click anywhere in the launcher opens: the community's home page and the about
// box.
class ContextMenu : public QMenu
{
    Q_OBJECT

public:
    explicit ContextMenu(const QIcon& homepageIcon, QWidget* parent = nullptr);

    QAction* item(const QString& name) const;

public slots:
    // Opens the menu with its top-left corner at the mouse cursor.
    void popupAtCursor();
    void openHomepage();
    void showAbout();
};

} // namespace updater
