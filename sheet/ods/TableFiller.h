#pragma once

#include "sheet/model/Worksheet.h"

#include <cstdint>
#include <vector>

class RepeatBudget;

// Puts the rows and cells of one OpenDocument table on its worksheet as they come, with their
// repeat counts. A repeated empty cell or row only moves the place on, so any count of them
// costs nothing; repeated cells with content are written out as far as the sheet reaches,
// against the workbook's repeat budget. Whatever lies beyond the sheet is dropped.
class TableFiller
{
public:
    TableFiller(Worksheet &sheet, RepeatBudget &budget);

    // A row that stands for `repeat` rows (its cells are the same in each).
    void beginRow(std::uint64_t repeat);
    void endRow();
    // Cells without content, or covered by another.
    void skip(std::uint64_t columns);
    // Whether the sheet keeps a cell at the current place.
    bool keepsColumn() const { return m_sheet.keepsColumn(m_column); }
    // A cell with content `repeat` times; its place is set here.
    void add(Worksheet::Cell cell, std::uint64_t repeat);

private:
    void place(Worksheet::Cell cell);

    Worksheet &m_sheet;
    RepeatBudget &m_budget;
    std::uint64_t m_row = 0;
    std::uint64_t m_column = 0;
    std::uint64_t m_rowRepeat = 1;
    // A repeated row's cells, written out once it ends.
    std::vector<Worksheet::Cell> m_rowCells;
};
