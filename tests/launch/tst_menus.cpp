// The settings menu and the context menu: items, captions, flags and what the items do.

#include "LaunchTestSupport.h"
#include "launch/ContextMenu.h"
#include "launch/SettingsMenu.h"
#include "platform/QuitRequest.h"
#include "support/TestSupport.h"

#include <QActionGroup>
#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QPainter>
#include <QPixmap>
#include <QTest>

using namespace updater;
using updater::test::GameFolder;

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

        QCOMPARE(menu.objectName(), QString("PopupMenu_Settings"));
        QCOMPARE(namesOf(&menu),
                 (QStringList{"GrimvaleSetup1", "N3", "MouseFreedom1", "MouseFreedomHelp1", "N2",
                              "DisableSound1", "N5", "Ignoreserverstatus1", "IgnoreServerStatusHelp1"}));
        QCOMPARE(captionsOf(&menu),
                 (QStringList{"Grimvale Setup", "-", "Mouse Freedon", "Rorer Orevovi Help", "-",
                              "Background Sound ", "-", "Ignore server status (default: OFF)",
                              "Ignore Server Status Help"}));
        QCOMPARE(menu.defaultAction(), menu.item("GrimvaleSetup1"));

        QMenu* freedom = menu.item("MouseFreedom1")->menu();
        QVERIFY(freedom);
        QVERIFY(menu.item("MouseFreedom1")->isEnabled());
        QCOMPARE(namesOf(freedom), (QStringList{"Freedom_On", "Freedom_Off"}));
        QCOMPARE(captionsOf(freedom), (QStringList{"On", "Off"}));

        QMenu* sound = menu.item("DisableSound1")->menu();
        QVERIFY(sound);
        QVERIFY(!menu.item("DisableSound1")->isEnabled());
        QCOMPARE(namesOf(sound), (QStringList{"Volume100", "Volume90", "Volume80", "Volume70", "Volume60",
                                              "Volume50", "Volume40", "Volume30", "Volume20", "Volume10",
                                              "Volume5", "N4", "DisableSound"}));
        QCOMPARE(captionsOf(sound),
                 (QStringList{"Volume 100", "Volume 90", "Volume 80", "Volume 70", "Volume 60", "Volume 50",
                              "Volume 40", "Volume 30", "Volume 20", "Volume 10", "Volume 5", "-",
                              "Disable Sound"}));

        QMenu* status = menu.item("Ignoreserverstatus1")->menu();
        QVERIFY(status);
        QVERIFY(!menu.item("Ignoreserverstatus1")->isEnabled());
        QCOMPARE(namesOf(status), (QStringList{"Off2", "On2"}));
        QCOMPARE(captionsOf(status), (QStringList{"Off", "On"}));
        QVERIFY(!menu.item("IgnoreServerStatusHelp1")->isEnabled());

        QCOMPARE(boldItemsOf(&menu), (QStringList{"Freedom_On", "GrimvaleSetup1", "Off2", "Volume80"}));
    }

    void radioGroups_data()
    {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("marked");
        QTest::newRow("mouse freedom") << QStringList{"Freedom_On", "Freedom_Off"} << "Freedom_On";
        QTest::newRow("volume") << QStringList{"Volume100", "Volume90", "Volume80", "Volume70",
                                               "Volume60",  "Volume50", "Volume40", "Volume30",
                                               "Volume20",  "Volume10", "Volume5",  "DisableSound"}
                                << "Volume80";
        QTest::newRow("server status") << QStringList{"Off2", "On2"} << "Off2";
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
        QAction* on = menu.item("Freedom_On");
        QAction* off = menu.item("Freedom_Off");

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
        QVERIFY(restored.item("Freedom_On")->isChecked());
        QVERIFY(m_journal->entries().isEmpty());
    }

    void mouseFreedomHelpBox()
    {
        RunState state;
        SettingsMenu menu(state);
        menu.item("MouseFreedomHelp1")->trigger();
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
            menu.item("GrimvaleSetup1")->trigger();
            QVERIFY(m_journal->entries().isEmpty());
            QVERIFY(!isQuitPending());
        }
        GameFolder game;
        game.write("setup.EXE", test::recordingScript());
        test::makeExecutable(game.path() + "/setup.EXE");
        menu.item("GrimvaleSetup1")->trigger();
        QTRY_VERIFY(game.exists("setup.EXE.started"));
        QVERIFY(m_journal->entries().isEmpty());
        QVERIFY(!isQuitPending());
    }

    void contextMenuItems()
    {
        QPixmap house(16, 16);
        house.fill(Qt::green);
        const QIcon icon(house);
        ContextMenu menu(icon);

        QCOMPARE(menu.objectName(), QString("PopupMenu1"));
        QCOMPARE(namesOf(&menu), (QStringList{"Homepage", "N1", "About"}));
        QCOMPARE(captionsOf(&menu), (QStringList{"Homepage", "-", "About"}));
        QCOMPARE(menu.defaultAction(), menu.item("Homepage"));
        QCOMPARE(boldItemsOf(&menu), QStringList{"Homepage"});
        QCOMPARE(menu.item("Homepage")->icon().pixmap(16, 16).toImage().pixelColor(8, 8), QColor(Qt::green));
        QVERIFY(menu.item("About")->icon().isNull());
    }

    void contextMenuActions()
    {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler("http", &catcher, "open");
        ContextMenu menu{QIcon()};

        menu.item("Homepage")->trigger();
        QCOMPARE(catcher.opened, QList<QUrl>{QUrl("http://www.tarvo-gv.example/")});

        menu.item("About")->trigger();
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
