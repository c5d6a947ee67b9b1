#pragma once

#include "platform/LargePages.h"
#include "sheet/model/StringTable.h"

#include <QString>
#include <cstdint>
#include <vector>

// The cells of one worksheet, whatever format they were read from, stored once at open for
// constant-time lookup: one compact array sorted by row and column, and for each row the
// position of its first cell. A cell is 16 bytes; its text, if any, lives in the workbook's
// string table.
class Worksheet
{
public:
    // The largest sheet any of the formats holds.
    static constexpr std::uint32_t MaxRows = 1'048'576;
    static constexpr std::uint32_t MaxColumns = 16'384;

    enum class Kind : std::uint8_t {
        Number,   // shown as a date when its style says so
        DateTime, // a date serial number in the workbook's date system, always shown as a date
        Text,
        Boolean,
        Error,     // `code` holds the BIFF error code
        EmptyText, // a formula whose result is empty text: a cell without content
    };

    struct Cell
    {
        union {
            double number;
            std::uint32_t text;       // string table number, for Text, while the workbook is read
            StringTable::Place chars; // for Text, once the workbook is finished
            std::uint8_t code;        // 0/1 for Boolean, the BIFF error code for Error
        };
        std::uint32_t row : 24; // 0-based
        Kind kind : 8;
        std::uint16_t column; // 0-based
        std::uint16_t style;  // the number format's entry in the workbook's date styles

        static Cell numberAt(std::uint32_t row, std::uint32_t column, double value,
                             std::uint16_t style = 0)
        {
            Cell cell = at(row, column, Kind::Number, style);
            cell.number = value;
            return cell;
        }
        static Cell dateTimeAt(std::uint32_t row, std::uint32_t column, double serial)
        {
            Cell cell = at(row, column, Kind::DateTime);
            cell.number = serial;
            return cell;
        }
        static Cell textAt(std::uint32_t row, std::uint32_t column, std::uint32_t string,
                           std::uint16_t style = 0)
        {
            Cell cell = at(row, column, Kind::Text, style);
            cell.text = string;
            return cell;
        }
        static Cell booleanAt(std::uint32_t row, std::uint32_t column, bool value)
        {
            Cell cell = at(row, column, Kind::Boolean);
            cell.code = value ? 1 : 0;
            return cell;
        }
        static Cell errorAt(std::uint32_t row, std::uint32_t column, std::uint8_t code)
        {
            Cell cell = at(row, column, Kind::Error);
            cell.code = code;
            return cell;
        }
        static Cell at(std::uint32_t row, std::uint32_t column, Kind kind, std::uint16_t style = 0)
        {
            Cell cell{};
            cell.row = row;
            cell.kind = kind;
            cell.column = std::uint16_t(column);
            cell.style = style;
            return cell;
        }
    };

    explicit Worksheet(QString name = QString());
    // A sheet that keeps only the cells of its first `columns` columns; with 0 it keeps none
    // and is not read at all, a place in the sheet list only.
    Worksheet(QString name, std::uint32_t columns);

    const QString &name() const { return m_name; }
    // Whether its cells were read: false for a sheet outside the scope the workbook was read in.
    bool isRead() const { return m_keptColumns > 0; }
    // Whether a cell in this column (0-based) is kept; a reader need not read one that is not.
    bool keepsColumn(std::uint64_t column) const { return column < m_keptColumns; }

    // Whether a place lies inside the largest sheet; readers refuse or drop cells outside.
    static bool holds(std::uint64_t row, std::uint64_t column)
    {
        return row < MaxRows && column < MaxColumns;
    }

    // Cells in any order; a later cell at the same place replaces an earlier one. The place
    // must lie inside the sheet (holds()). A cell in a column the sheet does not keep is
    // dropped: false then.
    bool add(const Cell &cell)
    {
        if (!keepsColumn(cell.column))
            return false;
        m_cells.push_back(cell);
        return true;
    }
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
    // Gives back the memory of the cells of the rows before `row` (0-based), whole pages of it,
    // for a reader that goes down the rows and never looks back; those rows read as empty from
    // then on.
    void releaseRowsBefore(std::int64_t row);

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
    std::uint32_t m_keptColumns = MaxColumns;
    std::vector<Cell, LargePageAllocator<Cell>> m_cells;
    std::vector<std::uint32_t> m_rowStart;
    int m_columnCount = 0;
    std::int64_t m_releasedRows = 0;
    // Where the pages not handed back yet begin.
    const std::uint8_t *m_releasedUpTo = nullptr;
};
