#pragma once

#include <QStringView>

// What an import fills: the grid that shows the result table, the table on its own, or a
// writer that turns the rows into text as they arrive (the dump tool). The calls come in this
// order: ClearGrid once the workbook is open; SetColCount and SetRowCount; beginFill;
// SetCells for every cell, row by row and left to right within a row; endFill; then
// setCurrentColumn and setCurrentRow, the current cell where a grid has one.
class ImportTarget
{
public:
    virtual ~ImportTarget() = default;

    virtual void ClearGrid() = 0;
    virtual void SetColCount(int count) = 0;
    virtual void SetRowCount(int count) = 0;
    virtual int RowCount() const = 0;
    virtual void beginFill() = 0;
    virtual void endFill() = 0;
    // The characters are copied or written: `text` may go as soon as the call returns.
    virtual void SetCells(int col, int row, QStringView text) = 0;
    virtual void setCurrentColumn(int col) = 0;
    virtual void setCurrentRow(int row) = 0;

protected:
    ImportTarget() = default;
    ImportTarget(const ImportTarget &) = default;
    ImportTarget &operator=(const ImportTarget &) = default;
};
