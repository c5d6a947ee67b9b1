#pragma once

#include "app/core/BackgroundTask.h"
#include "platform/SnapshotResult.h"

#include <QObject>
#include <QString>
#include <exception>

class SnapshotSource;
class SnapshotStorage;

// One snapshot attempt on a thread of its own: copying a workbook of a hundred megabytes into
// memory takes longer than the window may go without answering. The file is held open only
// for the copy, as on the window's thread.
class BackgroundSnapshot : public QObject
{
    Q_OBJECT

public:
    explicit BackgroundSnapshot(QObject *parent = nullptr);
    ~BackgroundSnapshot() override;

    bool running() const { return m_task.running(); }
    // source.take(path, storage) on a thread of its own; both are the attempt's until taken()
    // and must outlive this object. Nothing happens while another attempt is running.
    void start(SnapshotSource &source, const QString &path, SnapshotStorage &storage);
    // Waits for the running attempt; its taken() never comes.
    void stop() { m_task.stop(); }

Q_SIGNALS:
    // On the thread that started the attempt, once it has ended: what it came to, or what it
    // raised.
    void taken(const SnapshotResult &result, std::exception_ptr error);

private:
    BackgroundTask m_task;
    SnapshotResult m_result; // the worker's while an attempt runs
};
