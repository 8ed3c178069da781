#include "core/SerialWorker.h"

#include <condition_variable>
#include <deque>
#include <mutex>

namespace qw {

struct SerialWorker::Queue {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::function<void(bool dropped)>> jobs;
    QThread* thread = nullptr;
    bool stopping = false;
    bool finished = false;
};

SerialWorker::SerialWorker(const QString& name, std::function<void()> interrupt,
                           std::chrono::milliseconds stopWait)
    : m_queue(std::make_shared<Queue>()), m_interrupt(std::move(interrupt)), m_stopWait(stopWait)
{
    m_worker = std::thread([queue = m_queue, name] {
        // Qt adopts the thread: QThread::currentThread() names it in operations and tests.
        QThread::currentThread()->setObjectName(name);
        serve(queue);
    });
    std::unique_lock lock(m_queue->mutex);
    m_queue->changed.wait(lock, [this] { return m_queue->thread != nullptr; });
    m_qthread = m_queue->thread;
}

void SerialWorker::serve(const std::shared_ptr<Queue>& queue)
{
    std::unique_lock lock(queue->mutex);
    queue->thread = QThread::currentThread();
    queue->changed.notify_all();
    for (;;) {
        queue->changed.wait(lock, [&] { return queue->stopping || !queue->jobs.empty(); });
        if (queue->jobs.empty())
            break;
        std::function<void(bool)> job = std::move(queue->jobs.front());
        queue->jobs.pop_front();
        const bool dropped = queue->stopping;
        lock.unlock();
        job(dropped);
        job = nullptr; // what the job captured goes with it, outside the lock
        lock.lock();
    }
    queue->finished = true;
    queue->changed.notify_all();
}

SerialWorker::~SerialWorker()
{
    stop();
    if (m_worker.joinable())
        m_worker.join();
}

bool SerialWorker::stop()
{
    // Jobs still queued run their "dropped" branch: every future handed out gets a value, so a
    // caller awaiting one never resumes on a future abandoned without one, yet nothing that has
    // not started touches the platform any more.
    {
        std::lock_guard lock(m_queue->mutex);
        if (m_queue->stopping)
            return m_queue->finished || m_worker.joinable();
        m_queue->stopping = true;
    }
    m_queue->changed.notify_all();
    if (m_interrupt)
        m_interrupt();
    std::unique_lock lock(m_queue->mutex);
    if (!m_queue->changed.wait_for(lock, m_stopWait, [this] { return m_queue->finished; })) {
        // The running call ignored its interruption. Waiting longer would hang the program's
        // exit on another program: the thread is left to finish (or to end with the process).
        m_worker.detach();
        return false;
    }
    return true;
}

void SerialWorker::post(std::function<void(bool dropped)> job)
{
    {
        std::lock_guard lock(m_queue->mutex);
        if (!m_queue->stopping) {
            m_queue->jobs.push_back(std::move(job));
            m_queue->changed.notify_one();
            return;
        }
    }
    job(true);
}

} // namespace qw
