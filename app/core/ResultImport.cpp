#include "app/core/ResultImport.h"

#include "app/core/ImportTarget.h"
#include "app/core/SnapshotBuffer.h"
#include "app/core/TornSnapshot.h"
#include "platform/Clock.h"
#include "platform/FileSnapshot.h"
#include "platform/FileWrite.h"
#include "platform/RemovedOnSignal.h"
#include "sheet/DeclaredLength.h"
#include "sheet/exceling.h"
#include "sheet/model/ReadControl.h"
#include "sheet/model/WorkbookError.h"

#include <memory>

namespace {

// Undoes what a failed import left: the workbook open in the reader and the copy on disk.
// A signal that ends the process during the import removes the copy too.
class ImportCleanup
{
public:
    explicit ImportCleanup(QString path)
        : m_path(std::move(path))
        , m_onSignal(std::make_unique<RemovedOnSignal>(m_path))
    {
    }
    ~ImportCleanup()
    {
        if (m_workbookOpen) {
            try {
                ExcelClose();
            } catch (...) {
                // The error that ended the import is the one to report.
            }
        }
        removeFile(m_path);
    }
    ImportCleanup(const ImportCleanup &) = delete;
    ImportCleanup &operator=(const ImportCleanup &) = delete;

    // `path` is the name the reader left after opening: the one to delete.
    void workbookOpened(QString path)
    {
        if (path != m_path)
            m_onSignal = std::make_unique<RemovedOnSignal>(path);
        m_path = std::move(path);
        m_workbookOpen = true;
    }
    void workbookClosed() { m_workbookOpen = false; }

private:
    QString m_path;
    std::unique_ptr<RemovedOnSignal> m_onSignal;
    bool m_workbookOpen = false;
};

class TableFill
{
public:
    explicit TableFill(ImportTarget &table)
        : m_table(table)
    {
        m_table.beginFill();
    }
    ~TableFill() { m_table.endFill(); }
    TableFill(const TableFill &) = delete;
    TableFill &operator=(const TableFill &) = delete;

private:
    ImportTarget &m_table;
};

bool isContentError(const WorkbookError &error)
{
    switch (error.kind()) {
    case WorkbookError::Kind::NotWorkbook:
    case WorkbookError::Kind::Damaged:
    case WorkbookError::Kind::Encrypted:
    case WorkbookError::Kind::NoSuchSheet:
        return true;
    case WorkbookError::Kind::SheetNotRead:
    case WorkbookError::Kind::NoWorkbookOpen:
    case WorkbookError::Kind::InvalidVariantOperation:
        return false;
    }
    return false;
}

} // namespace

QString temporaryWorkbookPath(const QString &appDir, quint64 windowId)
{
    return appDir + QStringLiteral("tempfgr") + QString::number(windowId) + QStringLiteral(".xls");
}

namespace {

// 4,096 rows are close to a megabyte of the workbook's cells.
constexpr int RowsReleasedAtOnce = 4096;

// An import on a thread of its own looks at its flag once a row: a row costs microseconds, so
// a call-off is noticed at once even in a million-row table.
void stillWanted(const std::atomic<bool> *cancelled)
{
    if (cancelled && cancelled->load(std::memory_order_relaxed))
        throw ReadCancelled();
}

// Everything after the copy is on disk: open it, take the table out, close it.
void readCopy(ImportCleanup &cleanup, const QString &tempPath, ImportTarget &table,
              const std::atomic<bool> *cancelled)
{
    QString openedPath = tempPath;
    ExcelOpen(openedPath, cancelled, ReadScope{ResultShape::Worksheet, ResultShape::ColumnCount});
    cleanup.workbookOpened(openedPath);
    ExcelSelectSheet(ResultShape::Worksheet);
    table.ClearGrid();

    // The texts go straight from the workbook into the table, with no QString per cell.
    TextBuilder scratch;
    int end = ResultShape::FirstDataRow;
    for (; !excelGetCellText(end, ResultShape::KeyColumn, scratch).isEmpty(); ++end)
        stillWanted(cancelled);

    table.SetColCount(ResultShape::ColumnCount);
    table.SetRowCount(end - 1);
    {
        // One change notice for the whole fill instead of one per cell; also when a read fails.
        const TableFill fill(table);
        for (int row = ResultShape::HeaderRow; row < end; ++row) {
            stillWanted(cancelled);
            // The workbook's cells give way to the table's as the fill goes down: the two are
            // never whole at the same time.
            if (row % RowsReleasedAtOnce == 0)
                excelReleaseRowsBefore(row);
            for (int column = 1; column <= ResultShape::ColumnCount; ++column)
                table.SetCells(column - 1, row - 1, excelGetCellText(row, column, scratch));
        }
    }
    table.setCurrentColumn(0);
    table.setCurrentRow(table.RowCount() - 1);

    ExcelClose();
    cleanup.workbookClosed();
}

} // namespace

void importResults(QByteArrayView snapshot, const QString &tempPath, ImportTarget &table,
                   const std::atomic<bool> *cancelled)
{
    ImportCleanup cleanup(tempPath);
    writeNewFile(tempPath, snapshot);
    readCopy(cleanup, tempPath, table, cancelled);
}

namespace {

// Whether a copy may have been caught half way through a rewrite: the change it holds is too
// fresh to have settled, or the file has moved on since. A change time further in the future
// than SettleNs says nothing (a skewed file server).
bool mayBeHalfWritten(const FileIdentity &identity, const QString &resultFileName,
                      std::int64_t nowNs)
{
    const std::int64_t age = nowNs - identity.changedNs;
    const bool fresh = age > -SettleNs && age < SettleNs;
    return fresh || fileChangedSince(resultFileName, identity);
}

// A copy that is empty, or shorter than its own structure says, is what a writer leaves just
// after truncating the file or half way through writing it (on a share, whose client can
// report a size and change time that are a second old, this is how a half-written file
// shows). While that may be so it is torn without being read: some readers would take a cut
// last sector for zero padding. Settled, a cut copy is damaged; an empty file goes to the
// reader like any other.
void refuseUnfinished(SnapshotBuffer &snapshot, const QString &resultFileName, std::int64_t nowNs)
{
    const bool whole = lengthAsDeclared(snapshot.bytes());
    if (whole && !snapshot.bytes().isEmpty())
        return;
    const bool halfWritten = mayBeHalfWritten(snapshot.identity(), resultFileName, nowNs);
    if (halfWritten || !whole)
        snapshot.release();
    if (halfWritten)
        throw TornSnapshot();
    if (!whole)
        throw WorkbookError::damaged(QStringLiteral("the file ends before its contents do"));
}

} // namespace

void importSnapshot(SnapshotBuffer &snapshot, const QString &resultFileName,
                    const QString &tempPath, ImportTarget &table, std::int64_t nowNs,
                    const std::atomic<bool> *cancelled, const CopyRead &copyRead)
{
    const FileIdentity identity = snapshot.identity();
    refuseUnfinished(snapshot, resultFileName, nowNs);
    try {
        if (copyRead)
            copyRead(snapshot.bytes());
        ImportCleanup cleanup(tempPath);
        try {
            writeNewFile(tempPath, snapshot.bytes());
        } catch (...) {
            snapshot.release();
            throw;
        }
        // From here on the copy on disk is the snapshot: the buffer's memory is not held
        // through the parse and the fill, the import's peak.
        snapshot.release();
        readCopy(cleanup, tempPath, table, cancelled);
    } catch (const WorkbookError &error) {
        // A writer that ignores locks can change a file within one timestamp tick without
        // changing its size, or be held up between truncating the file and writing it; such a
        // copy may be no workbook at all. If the file moved on since the copy, or the copy is
        // of a change too fresh to have settled, the damage is ours, not the writer's: try
        // again instead of reporting it. A mix of two versions can look like any bad content,
        // a missing first worksheet or an encryption record included; content that stays bad
        // while the file stays the same is reported by a later attempt.
        if (isContentError(error) && mayBeHalfWritten(identity, resultFileName, nowNs))
            throw TornSnapshot();
        throw;
    }
}

void importSnapshot(SnapshotBuffer &snapshot, const QString &resultFileName,
                    const QString &tempPath, ImportTarget &table)
{
    importSnapshot(snapshot, resultFileName, tempPath, table, wallClockNs());
}
