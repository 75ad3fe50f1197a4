#pragma once

#include "player/PlayerContact.h"

#include <QList>
#include <QMutex>
#include <QMutexLocker>

#include <functional>

namespace updater::test {

// A player contact that records every notice a worker tells, from any thread. `onTell` runs on
// the worker's thread before tell() returns (to hold a worker or end it at a chosen point).
class RecordingPlayer : public PlayerContact
{
public:
    void tell(const Notice& notice) override
    {
        {
            QMutexLocker lock(&m_mutex);
            m_notices.append(notice);
        }
        if (onTell)
            onTell(notice);
    }

    // The answer to the question about busy servers, and how often it was asked.
    bool waitsForBusyServers = true;
    int busyQuestions = 0;
    bool keepWaitingForBusyServer(const std::string&) override
    {
        ++busyQuestions;
        return waitsForBusyServers;
    }

    QList<Notice> notices() const
    {
        QMutexLocker lock(&m_mutex);
        return m_notices;
    }

    QList<NoticeKind> kinds() const
    {
        QList<NoticeKind> result;
        for (const Notice& notice : notices())
            result.append(notice.kind);
        return result;
    }

    std::function<void(const Notice&)> onTell;

private:
    mutable QMutex m_mutex;
    QList<Notice> m_notices;
};

} // namespace updater::test
