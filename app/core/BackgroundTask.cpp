#include "app/core/BackgroundTask.h"

BackgroundTask::BackgroundTask(QObject *parent)
    : QObject(parent)
{
}

BackgroundTask::~BackgroundTask()
{
    stop();
}

void BackgroundTask::start(Work work)
{
    if (m_running)
        return;
    if (m_thread)
        m_thread->wait();
    m_running = true;
    m_cancelled = false;
    const quint64 generation = ++m_generation;
    m_thread.reset(QThread::create([this, generation, work = std::move(work)] {
        std::exception_ptr error;
        try {
            work(m_cancelled);
        } catch (...) {
            error = std::current_exception();
        }
        // Queued: handled on this object's thread once the work's thread is done with it.
        QMetaObject::invokeMethod(
            this, [this, generation, error] { done(generation, error); }, Qt::QueuedConnection);
    }));
    m_thread->start();
}

void BackgroundTask::cancel()
{
    m_cancelled = true;
}

void BackgroundTask::stop()
{
    if (!m_thread)
        return;
    m_cancelled = true;
    m_thread->wait();
    m_thread.reset();
    m_running = false;
}

void BackgroundTask::done(quint64 generation, std::exception_ptr error)
{
    // Work that was stopped in the meantime has said all it will.
    if (!m_running || generation != m_generation)
        return;
    if (m_thread)
        m_thread->wait();
    m_running = false;
    Q_EMIT finished(error);
}
