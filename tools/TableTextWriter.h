#pragma once

#include "app/core/ImportTarget.h"
#include "tools/TableText.h"

#include <QtGlobal>
#include <memory>

class QIODevice;

// An import target that writes the table as text (see TableTextFormat) while it is filled,
// instead of keeping it: each record goes out as soon as its cells have come, a batch of
// records per write. Cells are taken in the import's order, row by row and left to right;
// a cell that is skipped is written empty, one that comes too late is ignored. The text is
// complete once the outermost endFill has returned.
class TableTextWriter final : public ImportTarget
{
public:
    TableTextWriter(TableTextFormat format, QIODevice &out);

    // Nothing has been written yet at that point of an import: this only starts again.
    void ClearGrid() override;
    // Never below 1, like the table's; set before the fill.
    void SetColCount(int count) override;
    void SetRowCount(int count) override;
    int RowCount() const override { return m_rowCount; }
    void beginFill() override;
    void endFill() override;
    void SetCells(int col, int row, QStringView text) override;
    void setCurrentColumn(int) override {}
    void setCurrentRow(int) override {}

    // Whether the whole text has been written: false until the fill has ended, and for good
    // once `out` refused a write.
    bool written() const { return m_complete && !m_failed; }

private:
    void writeField(QStringView text);
    // Room for `bytes` more bytes in the batch.
    char *room(qsizetype bytes);
    void flush();

    TableTextFormat m_format;
    QIODevice &m_out;
    std::unique_ptr<char[]> m_batch;
    qsizetype m_capacity = 0;
    qsizetype m_used = 0;
    int m_colCount = 1;
    int m_rowCount = 1;
    int m_depth = 0;
    int m_row = 0; // where the next field goes
    int m_col = 0;
    bool m_complete = false;
    bool m_failed = false;
};
