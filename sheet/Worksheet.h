#pragma once

#include "platform/LargePages.h"
#include "sheet/StringTable.h"

#include <QString>
#include <cstdint>
#include <vector>

// The cells of one worksheet, stored once at open for constant-time lookup: one compact array
// sorted by row and column, and for each row the position of its first cell. A cell is 16
// bytes; its text, if any, lives in the workbook's string table.
class Worksheet
{
public:
    enum class Kind : std::uint8_t { Number, Text, Boolean, Error, EmptyText };

    struct Cell
    {
        union {
            double number;
            std::uint32_t text;       // string table index, for Text, while the workbook is parsed
            StringTable::Place chars; // for Text, after resolveTexts
            std::uint8_t code;        // 0/1 for Boolean, the BIFF error code for Error
        };
        std::uint16_t row;
        std::uint16_t column;
        std::uint16_t xf;
        Kind kind;
    };

    explicit Worksheet(QString name = QString());

    const QString &name() const { return m_name; }

    // Cells in any order; a later cell at the same place replaces an earlier one.
    void add(const Cell &cell) { m_cells.push_back(cell); }
    void reserve(std::size_t cells) { m_cells.reserve(cells); }
    std::size_t cellCount() const { return m_cells.size(); }
    // A cell added before, by its position in the order of add(); for a formula whose text
    // result follows in a record of its own.
    Cell &addedCell(std::size_t index) { return m_cells[index]; }
    // Sorts the cells and builds the row index; call once after the last add().
    void finish();
    // Turns every Text cell's string number into the place of its characters, so that reading
    // a text needs no look-up in the table's index; call once, after finish().
    void resolveTexts(const StringTable &strings);
    // Gives the cells' memory back; the sheet then holds no cell.
    void release();

    // 0-based; null when the place holds no cell.
    const Cell *find(std::int64_t row, std::int64_t column) const;

    // Past the last cell: the cells that follow one found by find() go up to here.
    const Cell *cellsEnd() const { return m_cells.data() + m_cells.size(); }

    // Rows and columns up to the last one that holds a cell.
    int rowCount() const
    {
        return static_cast<int>(m_rowStart.empty() ? 0 : m_rowStart.size() - 1);
    }
    int columnCount() const { return m_columnCount; }

private:
    QString m_name;
    std::vector<Cell, LargePageAllocator<Cell>> m_cells;
    std::vector<std::uint32_t> m_rowStart;
    int m_columnCount = 0;
};
