#pragma once

namespace updater::test {

// A TCP listener on 127.0.0.1 that accepts nothing by itself: connections wait in its queue until
// accept() takes one. A silent listener also fills its queue, so that further connection attempts
// get no answer at all until close().
class LoopbackListener
{
public:
    enum Kind { Queueing, Silent };

    explicit LoopbackListener(Kind kind = Queueing);
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    int port() const { return m_port; }
    void close();
    // Accepts one waiting connection; -1 when none arrives within `ms`.
    int accept(int ms);
    // Whether a connection attempt to the listener waits for its answer (the system shows it as
    // SYN_SENT), what a silent listener leaves a client doing, and was sent again at least
    // `resent` times meanwhile.
    bool attemptWaiting(int resent = 0) const;

private:
    int m_fd = -1;
    int m_filler = -1;
    int m_port = 0;
};

} // namespace updater::test
