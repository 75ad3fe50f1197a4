// The settings menu and the context menu: items, captions, flags and what the items do.

#include "GamePrograms.h"
#include "app/ContextMenu.h"
#include "app/QuitRequest.h"
#include "app/SettingsMenu.h"
#include "app/TestHooks.h"
#include "support/DialogJournal.h"
#include "support/TestSupport.h"

#include <QActionGroup>
#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QPainter>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>

using namespace updater;
using updater::test::GameFolder;
using updater::test::ProgramRecordsWithinMs;

namespace {

QStringList namesOf(const QMenu* menu)
{
    QStringList names;
    for (const QAction* action : menu->actions())
        names << action->objectName();
    return names;
}

QStringList captionsOf(const QMenu* menu)
{
    QStringList captions;
    for (const QAction* action : menu->actions())
        captions << (action->isSeparator() ? "-" : action->text());
    return captions;
}

QStringList boldItemsOf(const QMenu* menu)
{
    QStringList names;
    for (const QAction* action : menu->findChildren<QAction*>())
        if (action->font().bold())
            names << action->objectName();
    names.sort();
    return names;
}

} // namespace

// Receives the addresses the desktop would open.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened << url; }
};

class TestMenus : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_journal = std::make_unique<test::DialogJournal>(); }

    void init()
    {
        m_journal->clear();
        resetQuitRequest();
    }

    void settingsMenuItems()
    {
        RunState state;
        SettingsMenu menu(state);

        QCOMPARE(menu.objectName(), QString("settingsMenu"));
        QCOMPARE(namesOf(&menu), (QStringList{"gameSetupItem", "separator", "mouseFreedomMenu",
                                              "mouseFreedomHelpItem", "separator", "soundMenu", "separator",
                                              "serverStatusMenu", "serverStatusHelpItem", "separator",
                                              "speedLimitItem", "sharePatchesItem", "checkGameFilesItem"}));
        QCOMPARE(captionsOf(&menu),
                 (QStringList{"Grimvale Setup", "-", "Mouse Freedon", "Rorer Orevovi Help", "-",
                              "Background Sound ", "-", "Ignore server status (default: OFF)",
                              "Ignore Server Status Help", "-", QStringLiteral("Download speed limit\u2026"),
                              "Share patches with other players", "Check game files"}));
        // Until the update run is over, the game folder is the run's.
        QVERIFY(!menu.item("checkGameFilesItem")->isEnabled());
        QCOMPARE(menu.defaultAction(), menu.item("gameSetupItem"));

        QMenu* freedom = menu.item("mouseFreedomMenu")->menu();
        QVERIFY(freedom);
        QVERIFY(menu.item("mouseFreedomMenu")->isEnabled());
        QCOMPARE(namesOf(freedom), (QStringList{"mouseFreedomOn", "mouseFreedomOff"}));
        QCOMPARE(captionsOf(freedom), (QStringList{"On", "Off"}));

        QMenu* sound = menu.item("soundMenu")->menu();
        QVERIFY(sound);
        QVERIFY(!menu.item("soundMenu")->isEnabled());
        QCOMPARE(namesOf(sound), (QStringList{"volume100", "volume90", "volume80", "volume70", "volume60",
                                              "volume50", "volume40", "volume30", "volume20", "volume10",
                                              "volume5", "separator", "soundOff"}));
        QCOMPARE(captionsOf(sound),
                 (QStringList{"Volume 100", "Volume 90", "Volume 80", "Volume 70", "Volume 60", "Volume 50",
                              "Volume 40", "Volume 30", "Volume 20", "Volume 10", "Volume 5", "-",
                              "Disable Sound"}));

        QMenu* status = menu.item("serverStatusMenu")->menu();
        QVERIFY(status);
        QVERIFY(!menu.item("serverStatusMenu")->isEnabled());
        QCOMPARE(namesOf(status), (QStringList{"serverStatusOff", "serverStatusOn"}));
        QCOMPARE(captionsOf(status), (QStringList{"Off", "On"}));
        QVERIFY(!menu.item("serverStatusHelpItem")->isEnabled());

        QCOMPARE(boldItemsOf(&menu),
                 (QStringList{"gameSetupItem", "mouseFreedomOn", "serverStatusOff", "volume80"}));
    }

    void radioGroups_data()
    {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("marked");
        QTest::newRow("mouse freedom")
            << QStringList{"mouseFreedomOn", "mouseFreedomOff"} << "mouseFreedomOn";
        QTest::newRow("volume") << QStringList{"volume100", "volume90", "volume80", "volume70",
                                               "volume60",  "volume50", "volume40", "volume30",
                                               "volume20",  "volume10", "volume5",  "soundOff"}
                                << "volume80";
        QTest::newRow("server status")
            << QStringList{"serverStatusOff", "serverStatusOn"} << "serverStatusOff";
    }

    void radioGroups()
    {
        QFETCH(QStringList, items);
        QFETCH(QString, marked);
        RunState state;
        SettingsMenu menu(state);
        const QActionGroup* group = menu.item(items.first())->actionGroup();
        QVERIFY(group);
        QVERIFY(group->isExclusive());
        for (const QString& name : items) {
            QAction* item = menu.item(name);
            QVERIFY2(item, qPrintable(name));
            QCOMPARE(item->actionGroup(), group);
            QVERIFY(item->isCheckable());
            QCOMPARE(item->isChecked(), name == marked);
        }
    }

    void mouseFreedomMarksFollowTheChoice()
    {
        RunState state;
        SettingsMenu menu(state);
        QAction* on = menu.item("mouseFreedomOn");
        QAction* off = menu.item("mouseFreedomOff");

        state.freedomMouseStatus = false;
        menu.initMouseFreedomMenu();
        QVERIFY(off->isChecked() && !on->isChecked());

        on->trigger();
        QVERIFY(state.freedomMouseStatus);
        QVERIFY(on->isChecked() && !off->isChecked());

        off->trigger();
        QVERIFY(!state.freedomMouseStatus);
        QVERIFY(off->isChecked() && !on->isChecked());

        // Choosing the marked item again keeps the choice.
        off->trigger();
        QVERIFY(!state.freedomMouseStatus);
        QVERIFY(off->isChecked());

        RunState stored;
        stored.freedomMouseStatus = true;
        SettingsMenu restored(stored);
        restored.initMouseFreedomMenu();
        QVERIFY(restored.item("mouseFreedomOn")->isChecked());
        QVERIFY(m_journal->entries().isEmpty());
    }

    // The item opens the number box on the limit in use; unattended it keeps it (or a scripted No
    // cancels), so the limit stays and nothing is announced.
    void speedLimitItemAsksForTheLimit()
    {
        setDialogAnswers({DialogAnswer::Ok, DialogAnswer::No});
        RunState state;
        state.speedLimit = 200;
        SettingsMenu menu(state);
        QSignalSpy chosen(&menu, &SettingsMenu::speedLimitChosen);
        menu.item("speedLimitItem")->trigger();
        menu.item("speedLimitItem")->trigger();
        QCOMPARE(m_journal->answers(), (QStringList{"OK", "Cancel"}));
        QCOMPARE(m_journal->entries()[0]["value"].toInt(), 200);
        QCOMPARE(state.speedLimit, 200u);
        QCOMPARE(chosen.count(), 0);
    }

    // The mark shows the stored choice without announcing it; the player's toggles are announced.
    void sharePatchesItemFollowsTheChoice()
    {
        RunState state;
        state.sharePatches = true;
        SettingsMenu menu(state);
        QSignalSpy chosen(&menu, &SettingsMenu::sharePatchesChosen);
        menu.initSharePatchesItem();
        QAction* item = menu.item("sharePatchesItem");
        QVERIFY(item->isChecked());
        QVERIFY(menu.toolTipsVisible());
        QCOMPARE(chosen.count(), 0);
        item->trigger();
        QCOMPARE(state.sharePatches, false);
        QCOMPARE(chosen.count(), 1);
    }

    void mouseFreedomHelpBox()
    {
        RunState state;
        SettingsMenu menu(state);
        menu.item("mouseFreedomHelpItem")->trigger();
        const auto boxes = m_journal->entries();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0]["title"].toString(), QString("Rorer Orevovi"));
        QCOMPARE(boxes[0]["icon"].toString(), QString("information"));
        QCOMPARE(
            boxes[0]["text"].toString(),
            QString("* Gv - Rorer Orevovi V1.86\n\nLet ur mouse travel out of the Grimvale window without "
                    "pressing\nalt + tab. It works only in windowed mode. Just try it out."));
    }

    void settingsMenuOpensAtTheCursor()
    {
        RunState state;
        SettingsMenu menu(state);
        const QPoint cursor(137, 91);
        QCursor::setPos(cursor);
        QCOMPARE(QCursor::pos(), cursor);

        menu.popupAtCursor();

        QTRY_VERIFY(menu.isVisible());
        QCOMPARE(menu.pos(), cursor);
        menu.close();
    }

    void gameSetupStartsWhenPresent()
    {
        RunState state;
        SettingsMenu menu(state);
        {
            GameFolder game;
            menu.item("gameSetupItem")->trigger();
            QVERIFY(m_journal->entries().isEmpty());
            QVERIFY(!isQuitPending());
        }
        GameFolder game;
        test::writeProgram(game, "setup.EXE");
        menu.item("gameSetupItem")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(game.exists("setup.EXE.started"), ProgramRecordsWithinMs);
        QVERIFY(m_journal->entries().isEmpty());
        QVERIFY(!isQuitPending());
    }

    void contextMenuItems()
    {
        QPixmap house(16, 16);
        house.fill(Qt::green);
        const QIcon icon(house);
        ContextMenu menu(icon);

        QCOMPARE(menu.objectName(), QString("contextMenu"));
        QCOMPARE(namesOf(&menu), (QStringList{"homepageItem", "separator", "aboutItem"}));
        QCOMPARE(captionsOf(&menu), (QStringList{"Homepage", "-", "About"}));
        QCOMPARE(menu.defaultAction(), menu.item("homepageItem"));
        QCOMPARE(boldItemsOf(&menu), QStringList{"homepageItem"});
        QCOMPARE(menu.item("homepageItem")->icon().pixmap(16, 16).toImage().pixelColor(8, 8),
                 QColor(Qt::green));
        QVERIFY(menu.item("aboutItem")->icon().isNull());
    }

    void contextMenuActions()
    {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler("http", &catcher, "open");
        ContextMenu menu{QIcon()};

        menu.item("homepageItem")->trigger();
        QCOMPARE(catcher.opened, QList<QUrl>{QUrl("http://www.tarvo-gv.example/")});

        menu.item("aboutItem")->trigger();
        const auto boxes = m_journal->entries();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0]["title"].toString(), QString("Alert"));
        QCOMPARE(boxes[0]["text"].toString(), QString(""));
        QCOMPARE(boxes[0]["icon"].toString(), QString("information"));
        QDesktopServices::unsetUrlHandler("http");
    }

    void contextMenuOpensAtTheCursor()
    {
        ContextMenu menu{QIcon()};
        QCursor::setPos(QPoint(60, 200));
        menu.popupAtCursor();
        QTRY_VERIFY(menu.isVisible());
        QCOMPARE(menu.pos(), QPoint(60, 200));
        menu.close();
    }

private:
    std::unique_ptr<test::DialogJournal> m_journal;
};

QTEST_MAIN(TestMenus)
#include "tst_menus.moc"
