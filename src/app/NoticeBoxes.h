#pragma once

#include "player/PlayerContact.h"

#include <functional>

namespace updater {

// The window's side of the workers' notices: each becomes its box on the window thread, and the
// worker waits until it is answered. Answers that end the launcher or ask to close the window are
// carried out here.
class NoticeBoxes : public PlayerContact
{
public:
    // `closeWindow` asks the window to close as the QUIT button does.
    explicit NoticeBoxes(std::function<void()> closeWindow) : m_closeWindow(std::move(closeWindow)) {}

    void tell(const Notice& notice) override;
    bool keepWaitingForBusyServer(const std::string& document) override;

private:
    std::function<void()> m_closeWindow;
};

} // namespace updater
