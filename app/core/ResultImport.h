#pragma once

#include <QByteArrayView>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>

class ImportTarget;
class SnapshotBuffer;

// The shape of the table taken from the first worksheet.
namespace ResultShape {
constexpr int HeaderRow = 1;
constexpr int FirstDataRow = 2;
constexpr int KeyColumn = 3; // the first empty cell below the header ends the table
constexpr int ColumnCount = 13;
constexpr int Worksheet = 1;
} // namespace ResultShape

// The private copy of the snapshot that the workbook reader opens: the application directory,
// "tempfgr", the window's id and ".xls".
QString temporaryWorkbookPath(const QString &appDir, quint64 windowId);

// Replaces the table's contents with the first 13 columns of the snapshot's first worksheet
// (the viewer's grid, a table on its own, or a writer that writes them out as they come).
// The snapshot is written to `tempPath`, read from there and the copy deleted. Whatever step
// fails, the workbook is closed and the copy deleted before the error leaves, so a failed import
// never blocks the next one; the table keeps its contents unless the failure came after the
// workbook was opened and its sheet selected.
// An import on a thread of its own passes `cancelled`: once it is true, the reading and the fill
// stop and ReadCancelled is raised, with the copy deleted like after any failure.
void importResults(QByteArrayView snapshot, const QString &tempPath, ImportTarget &table,
                   const std::atomic<bool> *cancelled = nullptr);

// importResults on the scan's snapshot of `resultFileName`. A copy that is not a readable
// workbook, or is empty or shorter than its own structure declares (lengthAsDeclared; such a
// copy is not even read), raises TornSnapshot instead of its error, so that the scan tries again,
// while the watched file has changed since it was taken, or while the change the copy holds is less
// than SettleNs old at `nowNs` (CLOCK_REALTIME in nanoseconds; a change time more than SettleNs
// ahead counts as settled): a writer that takes no lock can be caught half way and stay there
// for a while. Content that stays bad is reported once it has settled.
// The snapshot is used up: once its copy is written, or has failed to be, the buffer is
// released (see SnapshotBuffer::release), so an attempt after this one takes a new snapshot.
// `copyRead`, when given, sees every copy just before it is handed to the workbook reader.
constexpr std::int64_t SettleNs = 2'000'000'000;
using CopyRead = std::function<void(QByteArrayView)>;
void importSnapshot(SnapshotBuffer &snapshot, const QString &resultFileName,
                    const QString &tempPath, ImportTarget &table, std::int64_t nowNs,
                    const std::atomic<bool> *cancelled = nullptr, const CopyRead &copyRead = {});
// The same at the present time.
void importSnapshot(SnapshotBuffer &snapshot, const QString &resultFileName,
                    const QString &tempPath, ImportTarget &table);
