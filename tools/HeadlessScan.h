#pragma once

#include "app/core/ScanHost.h"
#include "app/core/SnapshotBuffer.h"
#include "platform/Clock.h"

#include <QByteArrayView>
#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>

class ImportTarget;
class SnapshotSource;

// One scan of the watched workbook as the viewer's timers run it, without a window or an event
// loop: the scan scheduler's attempts back to back with a pause between them (the first one
// at once), the snapshot imported into a table. A locked file is retried as often as the
// viewer retries it, and so is a snapshot that turned out torn. What the dump tool runs.
class HeadlessScan final : private ScanHost
{
public:
    enum class Outcome {
        Imported, // the table holds the workbook's table
        Missing,  // no file at the path; the table was emptied
        GaveUp,   // every attempt found the file locked or changing
    };
    using Pause = std::function<void(std::chrono::milliseconds)>;
    // CLOCK_REALTIME in nanoseconds, for the import's torn-read rule.
    using Clock = std::function<std::int64_t()>;

    HeadlessScan(SnapshotSource &source, QString tempPath, Pause pause, Clock clock = wallClockNs);

    // Called with every copy handed to the workbook reader, before it is read: what the
    // snapshot let through, for a check of the copies themselves.
    using CopySeen = std::function<void(QByteArrayView)>;
    void watchCopies(CopySeen seen) { m_copySeen = std::move(seen); }

    // Import errors, and the I/O error of a copy the scan gave up on, leave as exceptions.
    Outcome run(const QString &workbook, ImportTarget &table, std::chrono::milliseconds retry);

    // Of the last run: open attempts made, and snapshots that turned out torn.
    int attempts() const noexcept { return m_attempts; }
    int tornSnapshots() const noexcept { return m_torn; }

private:
    void setRetryTimerEnabled(bool) override {}
    void ClearGrid() override;
    void LoadResults() override;

    SnapshotSource &m_source;
    SnapshotBuffer m_snapshot;
    QString m_tempPath;
    Pause m_pause;
    Clock m_clock;
    CopySeen m_copySeen;
    QString m_workbook;
    ImportTarget *m_table = nullptr;
    bool m_missing = false;
    bool m_imported = false;
    int m_attempts = 0;
    int m_torn = 0;
};
