// Boxes a person must answer: once the start sequence has asked the application to end, a later
// box of the same click closes at once instead of waiting, and the later steps still run.

#include "LaunchTestSupport.h"
#include "config/ConfigReader.h"
#include "launch/GameStartSequence.h"
#include "platform/ProfileFile.h"
#include "platform/QuitRequest.h"
#include "support/TestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

using namespace updater;
using updater::test::GameFolder;

class TestPendingQuit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_journal = std::make_unique<test::DialogJournal>(false); }

    void laterBoxClosesAtOnceWhileQuitIsPending()
    {
        GameFolder game; // no Data folder, no client
        game.write("Tarvo-Updater/updater4.cfg",
                   "[Main]\r\nHowManyClientInfos=1\r\n[Config_1]\r\nClientName=gone.exe\r\n");
        const Configuration config = readConfigurationFrom(ProfileFile("Tarvo-Updater/updater4.cfg"));
        RunState state;
        int settingsSaved = 0;

        // Plays the person: presses OK on every box that is shown.
        QStringList pressed;
        QTimer person;
        connect(&person, &QTimer::timeout, [&] {
            for (QWidget* window : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(window); box && box->isVisible()) {
                    pressed << box->text();
                    box->button(QMessageBox::Ok)->click();
                }
        });
        person.start(20);

        GameStartSequence(config, state, [&] { ++settingsSaved; }).start(1);
        person.stop();

        const QString dataMissing = "Can't find Data folder!\n\nThis Tool is installed wrong locaton. It "
                                    "must be Grimvale Folder! End...";
        QCOMPARE(pressed, QStringList{dataMissing});
        QCOMPARE(
            m_journal->texts(),
            (QStringList{dataMissing, "-= Can't find GV Client =-\n\nThe name of client must be: gone.exe"}));
        QCOMPARE(settingsSaved, 1);
        QVERIFY(isQuitPending());
    }

private:
    std::unique_ptr<test::DialogJournal> m_journal;
};

QTEST_MAIN(TestPendingQuit)
#include "tst_pendingquit.moc"
