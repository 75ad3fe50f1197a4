#include "patch/ArchivePrefetch.h"

#include "patch/PatchDownload.h"
#include "patch/RunProgress.h"
#include "platform/FileOps.h"
#include "platform/StopFlag.h"

namespace updater {

ArchivePrefetch::ArchivePrefetch(HttpClient& http, StopFlag& stop, RunProgress& progress,
                                 std::string slotName, std::string archive, Job job)
    : m_http(http), m_progress(progress), m_stop(stop), m_slotName(std::move(slotName)),
      m_archive(std::move(archive))
{
    const HttpClient::WorkEvents display = progress.workEvents();
    // Every event is noted, so that show() can replay the state the display missed; under the
    // mutex, so that a replay and the thread's next event never interleave.
    m_http.setWorkEvents({[this, display](int64_t announced) {
                              std::lock_guard<std::mutex> lock(m_mutex);
                              m_began = true;
                              m_ended = false;
                              m_announced = announced;
                              m_received = 0;
                              if (m_shown)
                                  display.begin(announced);
                          },
                          [this, display](int64_t total) {
                              std::lock_guard<std::mutex> lock(m_mutex);
                              m_received = total;
                              if (m_shown)
                                  display.work(total);
                          },
                          [this, display] {
                              std::lock_guard<std::mutex> lock(m_mutex);
                              m_ended = true;
                              if (m_shown)
                                  display.end();
                          }});
    m_http.setStopFlag(&stop);
    m_thread = std::thread([this, job = std::move(job)] {
        // A wait before a retry shows its caption only once the slot is on display; the next
        // second's tick brings it there after show().
        m_failure = job(m_http, [this](RetryWait wait) {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_shown)
                m_progress.setCaption(TransferCaption::retrying(wait, m_slotName));
        });
    });
}

ArchivePrefetch::~ArchivePrefetch()
{
    // A slot that failed, or the run's stop, came first: the transfer is not wanted.
    if (!m_taken)
        m_stop.request();
    if (m_thread.joinable())
        m_thread.join();
    if (!m_taken) {
        // The slot was never reached: its archive, whole or in part, must not outlive the run
        // that failed before it.
        removeFile(m_archive);
        PartFiles(m_archive).remove();
    }
}

void ArchivePrefetch::show()
{
    const HttpClient::WorkEvents display = m_progress.workEvents();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_shown = true;
    if (!m_began)
        return;
    display.begin(m_announced);
    if (m_received > 0)
        display.work(m_received);
    if (m_ended)
        display.end();
}

std::optional<Notice> ArchivePrefetch::take()
{
    m_thread.join();
    m_taken = true;
    return m_failure;
}

} // namespace updater
