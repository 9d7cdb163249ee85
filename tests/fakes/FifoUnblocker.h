#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <thread>
#include <unistd.h>

// Keeps a test that opens a FIFO from hanging: unless destroyed before the
// delay is up, it opens the FIFO's write side again and again, which releases
// a reader stuck in a blocking open(). The test's own clock then shows the
// wait as a failure.
class FifoUnblocker
{
  public:
    explicit FifoUnblocker(const QString &path,
                           std::chrono::milliseconds delay = std::chrono::milliseconds(1500))
        : m_name(QFile::encodeName(path)), m_thread([this, delay] { run(delay); })
    {}
    ~FifoUnblocker()
    {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }
    FifoUnblocker(const FifoUnblocker &) = delete;
    FifoUnblocker &operator=(const FifoUnblocker &) = delete;

  private:
    void run(std::chrono::milliseconds delay)
    {
        std::unique_lock lock(m_mutex);
        if (m_wake.wait_for(lock, delay, [this] { return m_done; }))
            return;
        while (!m_done) {
            // Fails with ENXIO while nobody has the FIFO open for reading.
            const int fd = ::open(m_name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0)
                ::close(fd);
            m_wake.wait_for(lock, std::chrono::milliseconds(50), [this] { return m_done; });
        }
    }

    const QByteArray m_name;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_done = false;
    std::thread m_thread;
};
