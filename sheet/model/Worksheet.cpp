#include "sheet/model/Worksheet.h"

#include "platform/MemoryPages.h"

#include <algorithm>

static_assert(sizeof(Worksheet::Cell) == 16, "cells are kept compact");
static_assert(Worksheet::MaxRows <= (1u << 24), "a row fits its 24 bits");

Worksheet::Worksheet(QString name)
    : m_name(std::move(name))
{
}

Worksheet::Worksheet(QString name, std::uint32_t columns)
    : m_name(std::move(name))
    , m_keptColumns(std::min(columns, MaxColumns))
{
}

void Worksheet::finish()
{
    const auto before = [](const Cell &a, const Cell &b) {
        return a.row != b.row ? a.row < b.row : a.column < b.column;
    };
    // Writers emit cells row by row, once each, so usually there is nothing to sort and
    // nothing to drop: one look through the cells tells.
    bool ordered = true;
    for (std::size_t i = 1; i < m_cells.size() && ordered; ++i)
        ordered = before(m_cells[i - 1], m_cells[i]);
    if (!ordered) {
        std::stable_sort(m_cells.begin(), m_cells.end(), before);
        // Keep the last of several cells at one place, as a reader going through the records
        // would see it.
        std::size_t kept = 0;
        for (std::size_t i = 0; i < m_cells.size(); ++i) {
            if (kept > 0 && m_cells[kept - 1].row == m_cells[i].row &&
                m_cells[kept - 1].column == m_cells[i].column)
                m_cells[kept - 1] = m_cells[i];
            else
                m_cells[kept++] = m_cells[i];
        }
        m_cells.resize(kept);
    }

    m_rowStart.clear();
    m_columnCount = 0;
    if (m_cells.empty())
        return;
    const std::size_t rows = std::size_t(m_cells.back().row) + 1;
    m_rowStart.assign(rows + 1, 0);
    std::uint32_t widest = 0;
    std::size_t i = 0;
    for (std::size_t r = 0; r <= rows; ++r) {
        m_rowStart[r] = static_cast<std::uint32_t>(i);
        while (i < m_cells.size() && m_cells[i].row == r)
            widest = std::max<std::uint32_t>(widest, m_cells[i++].column);
    }
    m_columnCount = int(widest) + 1;
}

void Worksheet::resolveTexts(const StringTable &strings)
{
    for (Cell &cell : m_cells) {
        if (cell.kind == Kind::Text)
            cell.chars = strings.place(cell.text);
    }
}

void Worksheet::release()
{
    // Assigning {} would keep the capacity: only a fresh vector gives the memory back.
    m_cells = decltype(m_cells)();
    m_rowStart = std::vector<std::uint32_t>();
    m_columnCount = 0;
    m_releasedRows = 0;
    m_releasedUpTo = nullptr;
}

void Worksheet::releaseRowsBefore(std::int64_t row)
{
    row = std::min<std::int64_t>(row, rowCount());
    if (row <= m_releasedRows)
        return;
    m_releasedRows = row;
    const auto *cells = reinterpret_cast<const std::uint8_t *>(m_cells.data());
    const auto *end = reinterpret_cast<const std::uint8_t *>(m_cells.data() + m_rowStart[row]);
    m_releasedUpTo = releasePages(std::max(cells, m_releasedUpTo), end);
}

const Worksheet::Cell *Worksheet::find(std::int64_t row, std::int64_t column) const
{
    if (row < 0 || row < m_releasedRows || column < 0 || column >= MaxColumns ||
        row + 1 >= std::int64_t(m_rowStart.size()))
        return nullptr;
    const Cell *begin = m_cells.data() + m_rowStart[std::size_t(row)];
    const Cell *end = m_cells.data() + m_rowStart[std::size_t(row) + 1];
    // Rows filled from their first column on are found directly.
    if (column < end - begin && begin[column].column == column)
        return begin + column;
    const Cell *it = std::lower_bound(
        begin, end, column, [](const Cell &c, std::int64_t col) { return c.column < col; });
    return it != end && it->column == column ? it : nullptr;
}
