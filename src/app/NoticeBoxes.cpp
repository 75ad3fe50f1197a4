#include "app/NoticeBoxes.h"

#include "app/Dialogs.h"
#include "app/Messages.h"
#include "app/QuitRequest.h"
#include "app/WindowThread.h"

namespace updater {

void NoticeBoxes::tell(const Notice& notice)
{
    runOnWindowThread([&] {
        const std::string text = messages::notice(notice);
        switch (notice.kind) {
        case NoticeKind::PatchListUnavailable:
        case NoticeKind::PatchUnavailable:
        case NoticeKind::RecordNotWritten:
        case NoticeKind::RecordUnreadable:
        case NoticeKind::NoRoom:
            messageBox(text, "Alert", DialogIcon::Stop);
            break;
        case NoticeKind::ArchiveUnreadable:
            showMessage(text);
            // Whether the player lets the window close or not, nothing of this archive was applied.
            if (m_closeWindow)
                m_closeWindow();
            break;
        case NoticeKind::ArchiveComment:
            // The comment is the archive's own text, handed over as UTF-8.
            showUnicodeMessage(QString::fromStdString(notice.subject));
            break;
        case NoticeKind::ArchiveEntryFailed:
        case NoticeKind::ArchiveHeaderBroken:
            showMessage(text);
            break;
        case NoticeKind::PatchPostponed:
            break; // the player's own choice: nothing to tell
        case NoticeKind::ServerUnresolved:
            if (messageBox(text, "Alert", DialogIcon::Stop, DialogButtons::YesNo) == DialogAnswer::No)
                requestQuit();
            break;
        }
    });
}

bool NoticeBoxes::keepWaitingForBusyServer(const std::string& document)
{
    return messageBox(messages::busyQuestion(document), "Server busy", DialogIcon::Question,
                      DialogButtons::YesNo) == DialogAnswer::Yes;
}

} // namespace updater
