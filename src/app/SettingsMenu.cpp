#include "app/SettingsMenu.h"

#include "app/Dialogs.h"
#include "app/GameStart.h"
#include "app/Messages.h"
#include "platform/AtomicFile.h"
#include "platform/GamePath.h"

#include <QActionGroup>
#include <QCursor>
#include <QSignalBlocker>

#include <algorithm>
#include <optional>

namespace updater {

namespace {
// The most the box takes, in kB/s: far above any line, within what its field can hold.
constexpr int MaximumSpeedLimit = 1000 * 1000 * 1000;
} // namespace

void markAsDefaultItem(QAction* action)
{
    QFont font = action->font();
    font.setBold(true);
    action->setFont(font);
}

SettingsMenu::SettingsMenu(RunState& state, QWidget* parent) : QMenu(parent), m_state(state)
{
    setObjectName("settingsMenu");

    QAction* setup = addItem(this, "gameSetupItem", "Grimvale Setup");
    markAsDefaultItem(setup);
    setDefaultAction(setup);
    connect(setup, &QAction::triggered, this, &SettingsMenu::startGameSetup);
    addSeparator()->setObjectName("separator");

    QMenu* freedom = addSubMenu("mouseFreedomMenu", "Mouse Freedon");
    auto* freedomGroup = new QActionGroup(freedom);
    m_freedomOn = addItem(freedom, "mouseFreedomOn", "On");
    m_freedomOff = addItem(freedom, "mouseFreedomOff", "Off");
    for (QAction* choice : {m_freedomOn, m_freedomOff}) {
        choice->setCheckable(true);
        freedomGroup->addAction(choice);
    }
    markAsDefaultItem(m_freedomOn);
    m_freedomOn->setChecked(true);
    connect(m_freedomOn, &QAction::triggered, this, &SettingsMenu::chooseMouseFreedomOn);
    connect(m_freedomOff, &QAction::triggered, this, &SettingsMenu::chooseMouseFreedomOff);

    QAction* help = addItem(this, "mouseFreedomHelpItem", "Rorer Orevovi Help");
    connect(help, &QAction::triggered, this, &SettingsMenu::showMouseFreedomHelp);
    addSeparator()->setObjectName("separator");

    buildSoundMenu();
    addSeparator()->setObjectName("separator");
    buildServerStatusMenu();
    addItem(this, "serverStatusHelpItem", "Ignore Server Status Help")->setEnabled(false);
    addSeparator()->setObjectName("separator");
    QAction* speedLimit = addItem(this, "speedLimitItem", QStringLiteral("Download speed limit\u2026"));
    connect(speedLimit, &QAction::triggered, this, &SettingsMenu::chooseSpeedLimit);
    m_sharePatches = addItem(this, "sharePatchesItem", "Share patches with other players");
    m_sharePatches->setCheckable(true);
    m_sharePatches->setToolTip(QString::fromLatin1(messages::sharePatchesTip()));
    // What the player agrees to must show before the choice.
    setToolTipsVisible(true);
    connect(m_sharePatches, &QAction::toggled, this, &SettingsMenu::chooseSharePatches);
    m_checkGameFiles = addItem(this, "checkGameFilesItem", "Check game files");
    m_checkGameFiles->setEnabled(false);
    connect(m_checkGameFiles, &QAction::triggered, this, &SettingsMenu::checkGameFilesRequested);
}

void SettingsMenu::initSharePatchesItem()
{
    const QSignalBlocker quiet(m_sharePatches);
    m_sharePatches->setChecked(m_state.sharePatches);
}

void SettingsMenu::chooseSharePatches(bool share)
{
    if (share == m_state.sharePatches)
        return;
    m_state.sharePatches = share;
    emit sharePatchesChosen();
}

void SettingsMenu::setCheckGameFilesAvailable(bool available)
{
    m_checkGameFiles->setEnabled(available);
}

QAction* SettingsMenu::addItem(QMenu* menu, const char* name, const QString& caption)
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
}

QMenu* SettingsMenu::addSubMenu(const char* name, const QString& caption)
{
    QMenu* menu = addMenu(caption);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    return menu;
}

// Shown but not available: its parent item is greyed, so it cannot be opened.
void SettingsMenu::buildSoundMenu()
{
    QMenu* sound = addSubMenu("soundMenu", "Background Sound ");
    sound->menuAction()->setEnabled(false);
    auto* volumes = new QActionGroup(sound);
    for (int volume : {100, 90, 80, 70, 60, 50, 40, 30, 20, 10, 5}) {
        const QByteArray name = "volume" + QByteArray::number(volume);
        QAction* item = addItem(sound, name.constData(), QString("Volume %1").arg(volume));
        item->setCheckable(true);
        volumes->addAction(item);
        if (volume == 80) {
            item->setChecked(true);
            markAsDefaultItem(item);
        }
    }
    sound->addSeparator()->setObjectName("separator");
    QAction* off = addItem(sound, "soundOff", "Disable Sound");
    off->setCheckable(true);
    volumes->addAction(off);
}

void SettingsMenu::buildServerStatusMenu()
{
    QMenu* status = addSubMenu("serverStatusMenu", "Ignore server status (default: OFF)");
    status->menuAction()->setEnabled(false);
    auto* choices = new QActionGroup(status);
    QAction* off = addItem(status, "serverStatusOff", "Off");
    QAction* on = addItem(status, "serverStatusOn", "On");
    for (QAction* choice : {off, on}) {
        choice->setCheckable(true);
        choice->setEnabled(false);
        choices->addAction(choice);
    }
    off->setChecked(true);
    markAsDefaultItem(off);
}

QAction* SettingsMenu::item(const QString& name) const
{
    return findChild<QAction*>(name);
}

void SettingsMenu::initMouseFreedomMenu()
{
    (m_state.freedomMouseStatus ? m_freedomOn : m_freedomOff)->setChecked(true);
}

void SettingsMenu::popupAtCursor()
{
    popup(QCursor::pos());
}

void SettingsMenu::startGameSetup()
{
    if (fileExists(resolveGamePath("Setup.exe")))
        startProgramOrTell("Setup.exe");
}

void SettingsMenu::chooseMouseFreedomOn()
{
    m_freedomOn->setChecked(true);
    m_state.freedomMouseStatus = true;
}

void SettingsMenu::chooseMouseFreedomOff()
{
    m_freedomOff->setChecked(true);
    m_state.freedomMouseStatus = false;
}

void SettingsMenu::showMouseFreedomHelp()
{
    messageBox(messages::addOnHelp(), "Rorer Orevovi", DialogIcon::Information);
}

void SettingsMenu::chooseSpeedLimit()
{
    const int current = static_cast<int>(std::min<uint32_t>(m_state.speedLimit, MaximumSpeedLimit));
    const std::optional<int> chosen =
        askNumber(messages::speedLimitQuestion(), "Download speed limit", current, 0, MaximumSpeedLimit);
    if (!chosen || static_cast<uint32_t>(*chosen) == m_state.speedLimit)
        return;
    m_state.speedLimit = static_cast<uint32_t>(*chosen);
    emit speedLimitChosen();
}

} // namespace updater
