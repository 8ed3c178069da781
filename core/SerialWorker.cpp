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
    // Operations already queued still run to completion; nothing new can be queued.
    m_thread->quit();
    m_thread->wait();
    m_context.reset();
}

void SerialWorker::post(std::function<void()> job)
{
    QMetaObject::invokeMethod(m_context.get(), std::move(job), Qt::QueuedConnection);
}

} // namespace qw
