#pragma once

#include "app/core/ImportTarget.h"
#include "platform/ZeroedArray.h"

#include <QString>
#include <QStringView>
#include <cstdint>
#include <memory>
#include <vector>

// The result table's cells: ColCount columns by RowCount rows of text, row 0 the header, the
// first FixedRows rows fixed above the others. A plain value: the import fills it through
// ImportTarget, and it moves in constant time, so that a table filled elsewhere can be taken
// over whole. ResultTableModel shows it to views; the grid that shows it keeps the column
// widths, the row heights and the current cell.
class ResultTable final : public ImportTarget
{
public:
    ResultTable();
    // A table moved from has no rows: it reads as empty until its rows are set again.
    ResultTable(ResultTable &&other) noexcept;
    ResultTable &operator=(ResultTable &&other) noexcept;
    ResultTable(const ResultTable &) = delete;
    ResultTable &operator=(const ResultTable &) = delete;
    ~ResultTable() override;

    int ColCount() const { return m_colCount; }
    // Never below 1.
    void SetColCount(int count) override;
    int RowCount() const override { return m_rowCount; }
    // Never below 1. Rows that stay keep their cells; new rows are blank. Setting as many
    // rows as are fixed or fewer lowers FixedRows below the new count.
    void SetRowCount(int count) override;
    int FixedRows() const { return m_fixedRows; }
    // Within 0 and RowCount() - 1: there is always a row that scrolls.
    void SetFixedRows(int rows);

    bool holds(int col, int row) const
    {
        return col >= 0 && col < m_colCount && row >= 0 && row < m_rowCount;
    }
    // Out of range: empty text, and writes are ignored.
    QString Cells(int col, int row) const;
    // The same text into `text`, whose buffer is reused: for reading many cells in a row.
    void cellTextInto(int col, int row, QString &text) const;
    void SetCells(int col, int row, QStringView text) override;

    // Two blank rows; ColCount and FixedRows stay as they are.
    void ClearGrid() override;

    // Bytes held in the text arena, the garbage of overwritten cells included. A text takes
    // one byte a character when it is all Latin-1 or all Windows-1251, two otherwise.
    std::size_t arenaBytes() const { return m_arenaUsed; }

    // How a text is held in the arena: one byte a character when it is all Latin-1, or all
    // of Windows-1251 (ASCII and Cyrillic, the results' usual texts); UTF-16 otherwise.
    enum class Encoding : std::uint32_t {
        Latin1 = 0,
        Cyrillic = 0x4000'0000u,
        Utf16 = 0x8000'0000u,
    };

private:
    // A table alone has no views to tell and no current cell: these are the grid's.
    void beginFill() override {}
    void endFill() override {}
    void setCurrentColumn(int) override {}
    void setCurrentRow(int) override {}

    // A cell's text in the arena; an empty cell is {0, 0}.
    struct Span
    {
        static constexpr std::uint32_t EncodingMask = 0xC000'0000u;
        static constexpr std::uint32_t LengthMask = ~EncodingMask;

        std::uint32_t offset = 0;            // in bytes
        std::uint32_t lengthAndEncoding = 0; // characters, and the Encoding

        static Span of(std::uint32_t offset, std::size_t length, Encoding encoding)
        {
            return {offset, std::uint32_t(length) | std::uint32_t(encoding)};
        }
        std::size_t length() const { return lengthAndEncoding & LengthMask; }
        Encoding encoding() const { return Encoding(lengthAndEncoding & EncodingMask); }
        bool wide() const { return encoding() == Encoding::Utf16; }
        std::size_t bytes() const { return wide() ? 2 * length() : length(); }
    };
    // 512 KiB per chunk: chunks are never moved or grown, so filling the arena never copies
    // it, and at most one chunk is partly unused.
    static constexpr std::size_t ChunkShift = 19;
    static constexpr std::size_t ChunkBytes = std::size_t(1) << ChunkShift;

    Span &span(int col, int row) { return m_cells[std::size_t(row) * m_colCount + col]; }
    const Span &span(int col, int row) const
    {
        return m_cells[std::size_t(row) * m_colCount + col];
    }
    // The text of a cell that may have one already: the old text becomes garbage.
    void storeCell(int col, int row, QStringView text);
    // Copies the live texts into fresh chunks, in cell order, and drops the garbage.
    void compactArena();
    void compactArenaIfWasteful();
    void dropCells(std::size_t from);

    int m_colCount = 12;
    int m_rowCount = 2;
    int m_fixedRows = 1;
    // Row by row, m_colCount per row. A blank cell is all zero bytes: a new table's cells cost
    // memory only as far as the fill has come, not all at once when its rows are set.
    ZeroedArray<Span> m_cells;
    std::vector<std::unique_ptr<char[]>> m_chunks;
    std::size_t m_arenaUsed = 0;    // bytes appended since the arena was last emptied
    std::size_t m_arenaGarbage = 0; // of those, bytes no cell refers to any more
};
