#pragma once

#include <QMediaPlayer>
#include <QObject>
#include <QPointer>
#include <QToolButton>

#include <string>

class QAudioOutput;

namespace updater {

// The music of the window (mediaFrame) and its sound button. The file "BGM\" + BGM_Sound plays
// once from the window's first show; the button stops it and starts it again from the beginning.
class BackgroundMusic : public QObject
{
    Q_OBJECT
public:
    // `soundButton` gets its caption ("OFF" at start) and is connected to the click handling.
    BackgroundMusic(QToolButton* soundButton, std::string bgmSound, QObject* parent = nullptr);

    // Opens the music file afresh and plays it; nothing when it is missing.
    // A file that cannot be opened is reported by failed(), later, so the caller always goes on.
    void start();

    // The sound button. Stopping while no file was ever opened throws UpdaterError("No MCI device
    // open") and changes nothing; a click reports it by failed().
    void toggle();

    // Stops the music; throws UpdaterError("No MCI device open") when no file is open.
    void stop();

    bool musicStopped() const { return m_musicStopped; }
    bool isDeviceOpen() const { return m_deviceOpen; }
    QString musicPath() const;
    QMediaPlayer* player() const { return m_player; }

signals:
    // What the player should be told in the standard error box.
    void failed(const QString& message);

private:
    void handleButtonClick();
    void handlePlayerError(QMediaPlayer::Error error, const QString& text);
    void handleMediaStatus(QMediaPlayer::MediaStatus status);

    QPointer<QToolButton> m_button;
    std::string m_bgmSound;
    QMediaPlayer* m_player;
    QAudioOutput* m_audioOutput = nullptr;
    bool m_musicStopped = false;
    bool m_deviceOpen = false;
    bool m_loaded = false; // the open of the current file has completed
};

} // namespace updater
