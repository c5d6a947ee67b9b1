#pragma once

#include "app/core/BackgroundTask.h"
#include "app/core/ResultTable.h"
#include "app/core/SnapshotDigest.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <exception>
#include <functional>
#include <optional>

class SnapshotBuffer;

// The import of the scan's snapshot on a thread of its own, into a table of its own: the window
// goes on answering while the workbook is read, and the table it shows stays as it was until the
// new one is whole. One import at a time. One that is called off stops within a row of the fill
// or a few hundred kilobytes of the reading, and deletes its private copy as a failed one does.
class BackgroundImport : public QObject
{
    Q_OBJECT

public:
    explicit BackgroundImport(QObject *parent = nullptr);
    ~BackgroundImport() override;

    // From start() until finished() has been emitted.
    bool running() const { return m_task.running(); }
    // importSnapshot of `snapshot`, which is the import's until finished() and must outlive
    // this object. Nothing happens while another import is running. A snapshot whose digest
    // is `shown`, that of the table on show, is not read again: the import only hands its
    // pages back and ends as unchanged().
    void start(SnapshotBuffer &snapshot, const QString &resultFileName, const QString &tempPath,
               std::optional<SnapshotDigest> shown = std::nullopt);
    // Asks the running import to stop; finished() still comes, with ReadCancelled.
    void cancel() { m_task.cancel(); }
    // Calls the running import off and waits until it has ended; its finished() never comes.
    void stop() { m_task.stop(); }
    // The table of the import that has just finished without an error, moved out.
    ResultTable takeTable();
    // Of the import that has just finished without an error: the digest of its snapshot, and
    // whether that was the one on show, so that no table was made.
    const SnapshotDigest &digest() const { return m_digest; }
    bool unchanged() const { return m_unchanged; }
    // Frees `table` on a thread of its own: a million-row table takes some 50 ms to free.
    void dispose(ResultTable table);

    // For tests: runs on the import's thread at the start of every import, with the flag that
    // tells it is called off, so that a test can hold an import under way.
    using Hook = std::function<void(const std::atomic<bool> &cancelled)>;
    void setStartHook(Hook hook) { m_startHook = std::move(hook); }

Q_SIGNALS:
    // On the thread that started the import, once it has ended: with what it raised, if
    // anything (TornSnapshot, ReadCancelled, the errors of the import).
    void finished(std::exception_ptr error);

private:
    BackgroundTask m_task;
    BackgroundTask m_disposal;
    // The worker's while an import runs; the starting thread's otherwise.
    ResultTable m_table;
    SnapshotDigest m_digest;
    bool m_unchanged = false;
    Hook m_startHook;
};
