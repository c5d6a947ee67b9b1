#include "sheet/ods/TableFiller.h"

#include "sheet/ods/RepeatBudget.h"

#include <algorithm>
#include <limits>

namespace {

std::uint64_t advanced(std::uint64_t place, std::uint64_t count)
{
    return count > std::numeric_limits<std::uint64_t>::max() - place
               ? std::numeric_limits<std::uint64_t>::max()
               : place + count;
}

} // namespace

TableFiller::TableFiller(Worksheet &sheet, RepeatBudget &budget)
    : m_sheet(sheet)
    , m_budget(budget)
{
}

void TableFiller::beginRow(std::uint64_t repeat)
{
    m_column = 0;
    m_rowRepeat = std::max<std::uint64_t>(repeat, 1);
}

void TableFiller::endRow()
{
    if (!m_rowCells.empty()) {
        const std::uint64_t rows = std::min<std::uint64_t>(m_rowRepeat, Worksheet::MaxRows - m_row);
        m_budget.spend((rows - 1) * m_rowCells.size());
        for (std::uint64_t r = 0; r < rows; ++r) {
            for (Worksheet::Cell cell : m_rowCells) {
                cell.row = std::uint32_t(m_row + r);
                m_sheet.add(cell);
            }
        }
        m_rowCells.clear();
    }
    m_row = advanced(m_row, m_rowRepeat);
    m_rowRepeat = 1;
}

void TableFiller::skip(std::uint64_t columns)
{
    m_column = advanced(m_column, columns);
}

void TableFiller::add(Worksheet::Cell cell, std::uint64_t repeat)
{
    repeat = std::max<std::uint64_t>(repeat, 1);
    if (m_row >= Worksheet::MaxRows || m_column >= Worksheet::MaxColumns) {
        skip(repeat);
        return;
    }
    const std::uint64_t columns = std::min<std::uint64_t>(repeat, Worksheet::MaxColumns - m_column);
    m_budget.spend(columns - 1);
    for (std::uint64_t c = 0; c < columns; ++c) {
        cell.column = std::uint16_t(m_column + c);
        place(cell);
    }
    skip(repeat);
}

void TableFiller::place(Worksheet::Cell cell)
{
    if (m_rowRepeat > 1) {
        m_rowCells.push_back(cell);
        return;
    }
    cell.row = std::uint32_t(m_row);
    m_sheet.add(cell);
}
