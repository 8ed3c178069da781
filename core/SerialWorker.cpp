#include "core/SerialWorker.h"

#include <QMetaObject>

namespace qw {

SerialWorker::SerialWorker(const QString& name)
    : m_thread(std::make_unique<QThread>()), m_context(std::make_unique<QObject>())
{
    m_thread->setObjectName(name);
    m_context->moveToThread(m_thread.get());
    m_thread->start();
}

SerialWorker::~SerialWorker()
{
    // Every operation queued so far still runs, so every future handed out gets its result: a
    // caller awaiting one must never resume on a future that was abandoned without a value.
    // The quit is queued behind them, and nothing new can be queued once we are here.
    QThread* thread = m_thread.get();
    post([thread] { thread->quit(); });
    m_thread->wait();
    m_context.reset();
}

void SerialWorker::post(std::function<void()> job)
{
    QMetaObject::invokeMethod(m_context.get(), std::move(job), Qt::QueuedConnection);
}

} // namespace qw
