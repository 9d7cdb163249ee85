#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <chrono>
#include <future>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

// While alive, frees a reader blocked on the FIFO after three seconds: a writer
// opens and closes it, so that a read that waits on the FIFO ends and its test
// fails instead of hanging.
class FifoUnblocker
{
  public:
    explicit FifoUnblocker(const QString &fifo) : m_fifo(QFile::encodeName(fifo))
    {
        m_thread = std::thread([this, done = m_done.get_future()] {
            if (done.wait_for(std::chrono::seconds(3)) == std::future_status::timeout) {
                const int fd = ::open(m_fifo.constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    ::close(fd);
                }
            }
        });
    }
    ~FifoUnblocker()
    {
        m_done.set_value();
        m_thread.join();
    }
    FifoUnblocker(const FifoUnblocker &) = delete;
    FifoUnblocker &operator=(const FifoUnblocker &) = delete;

  private:
    QByteArray m_fifo;
    std::promise<void> m_done;
    std::thread m_thread;
};
