#include "widgets/BackgroundMusic.h"

#include "platform/GamePath.h"
#include "platform/UpdaterError.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QDir>
#include <QFileInfo>
#include <QMediaDevices>

namespace updater {

BackgroundMusic::BackgroundMusic(QToolButton* soundButton, std::string bgmSound, QObject* parent)
    : QObject(parent), m_button(soundButton), m_bgmSound(std::move(bgmSound)),
      m_player(new QMediaPlayer(this))
{
    // Without any sound device (servers, CI) the player gets no output and plays silently.
    if (!QMediaDevices::audioOutputs().isEmpty()) {
        m_audioOutput = new QAudioOutput(this);
        m_player->setAudioOutput(m_audioOutput);
    }
    connect(m_player, &QMediaPlayer::errorOccurred, this, &BackgroundMusic::handlePlayerError);
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, &BackgroundMusic::handleMediaStatus);
    if (m_button) {
        m_button->setText("OFF");
        connect(m_button, &QToolButton::clicked, this, &BackgroundMusic::handleButtonClick);
    }
}

QString BackgroundMusic::musicPath() const
{
    return QString::fromStdString(resolveGamePath("BGM\\" + m_bgmSound));
}

void BackgroundMusic::start()
{
    const QString path = musicPath();
    if (!QFileInfo(path).isFile())
        return;
    // Opening closes what was open and starts the new file from its beginning.
    m_player->stop();
    m_player->setSource(QUrl());
    m_loaded = false;
    m_deviceOpen = true;
    m_player->setSource(QUrl::fromLocalFile(QDir::current().absoluteFilePath(path)));
    m_player->play();
}

void BackgroundMusic::stop()
{
    if (!m_deviceOpen)
        throw UpdaterError("No MCI device open");
    m_player->stop();
}

void BackgroundMusic::toggle()
{
    if (!m_musicStopped) {
        stop();
        if (m_button)
            m_button->setText("On");
        m_musicStopped = true;
    } else {
        start();
        if (m_button)
            m_button->setText("Off");
        m_musicStopped = false;
    }
}

void BackgroundMusic::handleButtonClick()
{
    try {
        toggle();
    } catch (const UpdaterError& error) {
        emit failed(QString::fromLatin1(error.what()));
    }
}

void BackgroundMusic::handleMediaStatus(QMediaPlayer::MediaStatus status)
{
    if (status == QMediaPlayer::LoadedMedia || status == QMediaPlayer::BufferedMedia ||
        status == QMediaPlayer::EndOfMedia)
        m_loaded = true;
}

void BackgroundMusic::handlePlayerError(QMediaPlayer::Error error, const QString& text)
{
    if (error == QMediaPlayer::NoError || m_loaded)
        return; // a refused play request gives no message
    // The open failed: no device stays open, and the error box waits until the caller's
    // handler (the window's show) has run to its end.
    m_deviceOpen = false;
    const QString message = text.isEmpty() ? "Cannot open the music file " + musicPath() : text;
    QMetaObject::invokeMethod(
        this, [this, message] { emit failed(message); }, Qt::QueuedConnection);
}

} // namespace updater
