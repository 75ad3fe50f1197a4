#include "app/ConsoleProgress.h"

#include "app/DownloadTexts.h"
#include "app/Messages.h"
#include "app/TerminalText.h"
#include "patch/UpdateRun.h"

#include <QCoreApplication>

#include <cstdio>

namespace updater {

namespace {

// Terminal redraws are limited so that a fast download is not held up by the terminal.
constexpr qint64 terminalIntervalMs = 100;
constexpr qint64 plainIntervalMs = 1000;
constexpr int barWidth = 30;

} // namespace

void Console::line(const std::string& latin1)
{
    line(QString::fromLatin1(latin1));
}

void Console::line(const QString& text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_barShown)
        std::fputs("\r\033[K", stderr);
    m_barShown = false;
    const QByteArray bytes = withoutTerminalControls(text, LineBreaks::Kept).toLocal8Bit();
    std::fprintf(stderr, "%s\n", bytes.constData());
    std::fflush(stderr);
}

void Console::clearBar()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_barShown)
        std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    m_barShown = false;
}

void Console::bar(const QString& text)
{
    if (!m_terminal)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    const QByteArray bytes = withoutTerminalControls(text, LineBreaks::Shown).toLocal8Bit();
    std::fprintf(stderr, "\r%s\033[K", bytes.constData());
    std::fflush(stderr);
    m_barShown = true;
}

void ConsoleContact::tell(const Notice& notice)
{
    // The comment is the archive's own text, handed over as UTF-8.
    const QString text = notice.kind == NoticeKind::ArchiveComment
                             ? QString::fromStdString(notice.subject)
                             : QString::fromLatin1(messages::notice(notice));
    // Through the main thread's queue, as the run's progress lines come: printed in the run's order.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [this, text] { m_console.line(text); }, Qt::QueuedConnection);
}

ConsoleProgress::ConsoleProgress(UpdateRun& run, Console& console) : m_run(run), m_console(console)
{
    connect(&run, &UpdateRun::patchStarted, this, &ConsoleProgress::patchStarted);
    connect(&run, &UpdateRun::unpackingStarted, this, &ConsoleProgress::unpackingStarted);
    connect(&run.progress(), &RunProgress::pictureChanged, this, &ConsoleProgress::pictureChanged);
    connect(&run.progress(), &RunProgress::captionChanged, this, &ConsoleProgress::captionChanged);
    // A check of a large game folder reads every byte: a terminal shows how far it is.
    connect(&run, &UpdateRun::checkingFiles, this, [this](int done, int total) {
        m_console.bar(QString::fromLatin1(messages::checkingGameFiles(done, total)));
    });
}

void ConsoleProgress::patchStarted(const QString& documentName)
{
    m_patch = documentName;
    m_transferClock.start();
    m_shownOnce = false;
    m_console.line("Downloading " + documentName);
}

void ConsoleProgress::unpackingStarted()
{
    m_console.line("Unpacking " + m_patch);
}

void ConsoleProgress::pictureChanged()
{
    const ProgressPicture progress = m_run.progress().takePicture();
    const DownloadPicture& picture = progress.gauge;
    if (!m_transferClock.isValid())
        return; // the patch list: too small to show
    const qint64 interval = m_console.terminal() ? terminalIntervalMs : plainIntervalMs;
    const bool complete = picture.bar >= 100;
    if (m_shownOnce && m_shownClock.elapsed() < interval && !(complete && m_console.terminal()))
        return;
    if (!m_shownOnce && !m_console.terminal() && m_transferClock.elapsed() < plainIntervalMs)
        return;

    const qint64 done = picture.receivedKilobytes;
    const qint64 total = picture.announcedKilobytes;
    const qint64 speed = progress.bytesPerSecond / 1024;
    QString text = m_patch + ": " + downloadTexts(picture).percent + " (" + QString::number(done) + " of " +
                   QString::number(total) + " kb), " + (speed > 0 ? QString::number(speed) : QString("?")) +
                   " kB/s";
    if (const QString left = timeLeftText(progress.archiveSecondsLeft, progress.runSecondsLeft);
        !left.isEmpty())
        text += ", " + left;
    if (const QString shared = fromPlayersText(progress.archiveFromPlayers, progress.archiveBytes);
        !shared.isEmpty())
        text += ", " + shared;
    m_shownOnce = true;
    m_shownClock.start();
    if (!m_console.terminal()) {
        m_console.line(text);
        return;
    }
    const int filled = qBound(0, picture.bar, 100) * barWidth / 100;
    m_console.bar("[" + QString(filled, '#') + QString(barWidth - filled, '.') + "] " + text);
}

void ConsoleProgress::captionChanged()
{
    const TransferCaption caption = m_run.progress().takeCaption();
    const bool wait =
        caption.kind == TransferCaption::Kind::BusyWait || caption.kind == TransferCaption::Kind::RetryWait;
    // A wait keeps the archive's name.
    const QString text =
        (wait ? m_patch + ": " : QString()) + QString::fromLatin1(messages::transferCaption(caption));
    // Off a terminal the bar is not drawn; a wait for a busy server still gets its line, once.
    const bool busy = caption.kind == TransferCaption::Kind::BusyWait;
    if (busy && !m_waitingForBusyServer && !m_console.terminal())
        m_console.line(text);
    m_waitingForBusyServer = busy;
    m_console.bar(text);
}

void ConsoleProgress::close(Outcome outcome)
{
    switch (outcome) {
    case AllApplied:
        m_console.line(QString("Every patch is applied."));
        break;
    case Failed:
        m_console.line(QString("The update is not complete; the next run tries again."));
        break;
    case Stopped:
        m_console.line(QString("The update was stopped; the next run goes on from there."));
        break;
    }
}

} // namespace updater
