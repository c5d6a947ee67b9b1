#include "app/core/BackgroundSnapshot.h"

#include "platform/SnapshotSource.h"

BackgroundSnapshot::BackgroundSnapshot(QObject *parent)
    : QObject(parent)
{
    connect(&m_task, &BackgroundTask::finished, this,
            [this](std::exception_ptr error) { Q_EMIT taken(m_result, error); });
}

BackgroundSnapshot::~BackgroundSnapshot()
{
    m_task.stop();
}

void BackgroundSnapshot::start(SnapshotSource &source, const QString &path,
                               SnapshotStorage &storage)
{
    if (m_task.running())
        return;
    m_result = SnapshotResult();
    m_task.start([this, &source, path, &storage](const std::atomic<bool> &) {
        m_result = source.take(path, storage);
    });
}
