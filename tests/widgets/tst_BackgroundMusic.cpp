// The background music and its sound button, with a short generated tune and with broken or
// missing files. Boxes are answered at once and read back from the dialog log.
#include "platform/UpdaterError.h"
#include "support/TestSupport.h"
#include "widgets/BackgroundMusic.h"

#include <QApplication>
#include <QAudioDevice>
#include <QFile>
#include <QMediaDevices>
#include <QSignalSpy>
#include <QTest>
#include <QtEndian>

#include <cmath>

using namespace updater;

namespace {

// Half a second of a 440 Hz tone as a 16-bit mono WAV file.
QByteArray makeTune()
{
    const int rate = 22050;
    const int samples = rate / 2;
    QByteArray pcm;
    for (int i = 0; i < samples; ++i) {
        const qint16 v = qint16(8000 * std::sin(2 * M_PI * 440 * i / rate));
        pcm.append(char(v & 0xff)).append(char((v >> 8) & 0xff));
    }
    auto le32 = [](quint32 v) {
        QByteArray b(4, 0);
        qToLittleEndian(v, b.data());
        return b;
    };
    auto le16 = [](quint16 v) {
        QByteArray b(2, 0);
        qToLittleEndian(v, b.data());
        return b;
    };
    QByteArray wav = "RIFF" + le32(36 + pcm.size()) + "WAVE";
    wav += "fmt " + le32(16) + le16(1) + le16(1) + le32(rate) + le32(rate * 2) + le16(2) + le16(16);
    wav += "data" + le32(pcm.size()) + pcm;
    return wav;
}

bool isLoadedStatus(QMediaPlayer::MediaStatus s)
{
    return s == QMediaPlayer::LoadedMedia || s == QMediaPlayer::BufferingMedia ||
           s == QMediaPlayer::BufferedMedia || s == QMediaPlayer::EndOfMedia;
}

} // namespace

class TestBackgroundMusic : public QObject
{
    Q_OBJECT

private slots:
    void playsFromTheStart()
    {
        test::GameFolder game;
        game.write("BGM/01.mp3", makeTune()); // WAV content under the default name: the backend sniffs it
        QToolButton button;
        BackgroundMusic music(&button, "01.mp3");
        QSignalSpy failures(&music, &BackgroundMusic::failed);
        QCOMPARE(button.text(), QString("OFF"));
        QVERIFY(!music.musicStopped());

        music.start();
        QVERIFY(music.isDeviceOpen());
        QCOMPARE(music.player()->source(), QUrl::fromLocalFile(game.path() + "/BGM/01.mp3"));
        QCOMPARE(music.player()->playbackState(), QMediaPlayer::PlayingState);
        QTRY_VERIFY(isLoadedStatus(music.player()->mediaStatus()));
        QCOMPARE(music.player()->error(), QMediaPlayer::NoError);
        QCoreApplication::processEvents();
        QCOMPARE(failures.size(), 0);
    }

    void buttonStopsAndStartsAgain()
    {
        test::GameFolder game;
        game.write("bgm/Theme.MP3", makeTune()); // the folder and name in another letter case
        QToolButton button;
        BackgroundMusic music(&button, "theme.mp3");
        QSignalSpy failures(&music, &BackgroundMusic::failed);
        music.start();
        QVERIFY(music.isDeviceOpen());

        button.click();
        QCOMPARE(button.text(), QString("On"));
        QVERIFY(music.musicStopped());
        QCOMPARE(music.player()->playbackState(), QMediaPlayer::StoppedState);

        QSignalSpy sources(music.player(), &QMediaPlayer::sourceChanged);
        button.click();
        QCOMPARE(button.text(), QString("Off"));
        QVERIFY(!music.musicStopped());
        QCOMPARE(music.player()->playbackState(), QMediaPlayer::PlayingState);
        // Opened afresh, so from the beginning: closed, then the file again.
        QCOMPARE(sources.size(), 2);
        QCOMPARE(sources.at(0).at(0).toUrl(), QUrl());
        QCOMPARE(sources.at(1).at(0).toUrl(), QUrl::fromLocalFile(game.path() + "/bgm/Theme.MP3"));

        button.click();
        QCOMPARE(button.text(), QString("On"));
        QCOMPARE(music.player()->playbackState(), QMediaPlayer::StoppedState);
        QCoreApplication::processEvents();
        QCOMPARE(failures.size(), 0);
    }

    void tuneEndsByItself()
    {
        test::GameFolder game;
        game.write("BGM/01.mp3", makeTune());
        QToolButton button;
        BackgroundMusic music(&button, "01.mp3");
        QSignalSpy failures(&music, &BackgroundMusic::failed);
        if (QMediaDevices::audioOutputs().isEmpty())
            QSKIP("no audio output on this machine: the music never plays to its end");
        music.start();
        QTRY_COMPARE_WITH_TIMEOUT(music.player()->mediaStatus(), QMediaPlayer::EndOfMedia, 10000);
        button.click(); // nothing audible changes
        QCOMPARE(button.text(), QString("On"));
        button.click();
        QCOMPARE(button.text(), QString("Off"));
        QCOMPARE(music.player()->playbackState(), QMediaPlayer::PlayingState);
        QCoreApplication::processEvents();
        QCOMPARE(failures.size(), 0);
    }

    void missingFile()
    {
        test::GameFolder game;
        QToolButton button;
        BackgroundMusic music(&button, "01.mp3");
        QSignalSpy failures(&music, &BackgroundMusic::failed);
        music.start();
        QVERIFY(!music.isDeviceOpen());
        QVERIFY(music.player()->source().isEmpty());

        try {
            music.toggle();
            QFAIL("stopping without a device must fail");
        } catch (const UpdaterError& error) {
            QCOMPARE(QString(error.what()), QString("No MCI device open"));
        }
        button.click();
        button.click();
        QCOMPARE(button.text(), QString("OFF"));
        QVERIFY(!music.musicStopped());
        QCOMPARE(failures.size(), 2); // every press repeats the error
        for (const QList<QVariant>& failure : failures)
            QCOMPARE(failure.at(0).toString(), QString("No MCI device open"));
    }

    void fileGoneBeforeTheRestart()
    {
        test::GameFolder game;
        game.write("BGM/01.mp3", makeTune());
        QToolButton button;
        BackgroundMusic music(&button, "01.mp3");
        QSignalSpy failures(&music, &BackgroundMusic::failed);
        music.start();
        button.click();
        QFile::remove("BGM/01.mp3");
        button.click(); // no music, no message; the device of before stays open
        QCOMPARE(button.text(), QString("Off"));
        button.click();
        QCOMPARE(button.text(), QString("On"));
        QCoreApplication::processEvents();
        QCOMPARE(failures.size(), 0);
    }

    void brokenFileIsReportedLater()
    {
        test::GameFolder game;
        game.write("BGM/01.mp3", QByteArray("this is no music at all\n").repeated(50));
        QToolButton button;
        BackgroundMusic music(&button, "01.mp3");
        QSignalSpy failures(&music, &BackgroundMusic::failed);
        music.start(); // returns normally: the caller goes on with the update run
        QCOMPARE(failures.size(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(failures.size(), 1, 10000);
        QVERIFY(!failures.first().at(0).toString().isEmpty());
        QVERIFY(!music.isDeviceOpen());
        button.click();
        QCOMPARE(button.text(), QString("OFF"));
        QCOMPARE(failures.last().at(0).toString(), QString("No MCI device open"));
    }
};

QTEST_MAIN(TestBackgroundMusic)
#include "tst_BackgroundMusic.moc"
