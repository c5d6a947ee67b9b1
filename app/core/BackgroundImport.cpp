#include "app/core/BackgroundImport.h"

#include "app/core/ResultImport.h"
#include "app/core/SnapshotBuffer.h"
#include "platform/Clock.h"
#include "platform/LargePages.h"

#include <memory>

BackgroundImport::BackgroundImport(QObject *parent)
    : QObject(parent)
{
    connect(&m_task, &BackgroundTask::finished, this, &BackgroundImport::finished);
}

// The tasks go first: the import's work uses the table.
BackgroundImport::~BackgroundImport()
{
    m_task.stop();
    m_disposal.stop();
}

void BackgroundImport::start(SnapshotBuffer &snapshot, const QString &resultFileName,
                             const QString &tempPath, std::optional<SnapshotDigest> shown)
{
    if (m_task.running())
        return;
    m_task.start([this, &snapshot, resultFileName, tempPath, shown,
                  hook = m_startHook](const std::atomic<bool> &cancelled) {
        m_table = ResultTable(); // as a window's grid starts: 12 columns, the header fixed
        if (hook)
            hook(cancelled);
        // Some 10 ms for a snapshot of 100 MB, against seconds to read it again.
        m_digest = SnapshotDigest::of(snapshot.bytes());
        m_unchanged = shown == m_digest;
        if (m_unchanged) {
            // Nothing reads these bytes: no private copy is written either.
            snapshot.release();
            return;
        }
        try {
            importSnapshot(snapshot, resultFileName, tempPath, m_table, wallClockNs(), &cancelled);
        } catch (...) {
            // What a failed import had filled is freed here, off the window's thread.
            m_table = ResultTable();
            returnFreedMemory();
            throw;
        }
        // The parse's garbage would stay in this thread's heap otherwise.
        returnFreedMemory();
    });
}

ResultTable BackgroundImport::takeTable()
{
    if (m_task.running())
        return ResultTable();
    return std::move(m_table);
}

void BackgroundImport::dispose(ResultTable table)
{
    // Still freeing the one before (imports are seconds apart): this one goes here after all.
    auto held = std::make_shared<ResultTable>(std::move(table));
    m_disposal.start([held = std::move(held)](const std::atomic<bool> &) mutable {
        held.reset();
        returnFreedMemory();
    });
}
