#pragma once

#include "app/core/ImportTarget.h"

#include <QAbstractTableModel>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <memory>
#include <vector>

// The result table: the cells, column widths, row heights, fixed rows and current cell of the
// grid that shows it. It is the only copy of the cells; the view and the import both work on
// it. Read-only for views: the import writes it through SetCells.
//
// The view follows it through the usual model signals plus the few below for what a table
// model has no signal for (widths, heights, the fixed row and the current cell).
class ResultTable : public QAbstractTableModel, public ImportTarget
{
    Q_OBJECT

public:
    static constexpr int DefaultColWidth = 64;
    static constexpr int DefaultRowHeight = 24;
    // Toolkit colour integers (red in the low byte); RgbFromToolkitColor turns them into QRgb.
    static constexpr int Color = 16119287;      // data cells: red 247, green 245, blue 245
    static constexpr int FixedColor = 14737632; // header cells: red 224, green 224, blue 224

    explicit ResultTable(QObject *parent = nullptr);

    int ColCount() const { return m_colCount; }
    // Never below 1. Columns that come into being are DefaultColWidth wide.
    void SetColCount(int count) override;
    int RowCount() const override { return m_rowCount; }
    // Never below 1. Setting 1 while row 0 is fixed unfixes it for the rest of the table's
    // life. Rows that remain keep their heights; new rows are DefaultRowHeight high.
    void SetRowCount(int count) override;
    int FixedRows() const { return m_fixedRows; }

    // Out of range: empty text, and writes are ignored.
    QString Cells(int col, int row) const;
    // The same text into `text`, whose buffer is reused: for reading many cells in a row.
    void CellsInto(int col, int row, QString &text) const;
    void SetCells(int col, int row, const QString &text);
    void SetCells(int col, int row, QString &&text);
    // The characters are copied: `text` may go as soon as the call returns.
    void SetCells(int col, int row, QStringView text) override;

    // Out of range: 0, and writes are ignored.
    int ColWidths(int col) const;
    void SetColWidths(int col, int width);
    int RowHeights(int row) const;
    void SetRowHeights(int row, int height);

    // The current cell. A value outside the table is brought into it (the row into the
    // non-fixed rows). Only a change emits currentCellChanged.
    int Col() const { return m_col; }
    void SetCol(int col) override;
    int Row() const { return m_row; }
    void SetRow(int row) override;

    // Two blank rows, every column DefaultColWidth wide; ColCount, row heights and FixedRows
    // stay as they are.
    void ClearGrid() override;
    // Row 0 one and a half times as high, the fraction dropped (24 becomes 36).
    void ApplyHeaderHeightRule();

    // A bulk fill: between BeginFill and EndFill SetCells emits nothing, and EndFill reports
    // the whole table changed once. Calls nest.
    void BeginFill() override;
    void EndFill() override;

    // Bytes held in the text arena, the garbage of overwritten cells included. A text takes
    // one byte a character when it is all Latin-1, two otherwise.
    std::size_t ArenaBytes() const { return m_arenaUsed; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

Q_SIGNALS:
    void currentCellChanged(int col, int row);
    void colWidthChanged(int col, int width);
    void rowHeightChanged(int row, int height);
    void fixedRowsChanged(int fixedRows);

private:
    // A cell's text in the arena, Latin-1 or UTF-16; an empty cell is {0, 0}.
    struct Span
    {
        static constexpr std::uint32_t Wide = 0x8000'0000u;
        static constexpr std::uint32_t LengthMask = Wide - 1;

        std::uint32_t offset = 0;         // in bytes
        std::uint32_t lengthAndWidth = 0; // characters, and Wide for UTF-16

        static Span of(std::uint32_t offset, std::size_t length, bool wide)
        {
            return {offset, std::uint32_t(length) | (wide ? Wide : 0)};
        }
        std::size_t length() const { return lengthAndWidth & LengthMask; }
        bool wide() const { return (lengthAndWidth & Wide) != 0; }
        std::size_t bytes() const { return wide() ? 2 * length() : length(); }
    };
    // 512 KiB per chunk: chunks are never moved or grown, so filling the arena never copies
    // it, and at most one chunk is partly unused.
    static constexpr std::size_t ChunkShift = 19;
    static constexpr std::size_t ChunkBytes = std::size_t(1) << ChunkShift;

    bool isCell(int col, int row) const
    {
        return col >= 0 && col < m_colCount && row >= 0 && row < m_rowCount;
    }
    Span &span(int col, int row) { return m_cells[std::size_t(row) * m_colCount + col]; }
    // Stores the text of a cell without telling the views.
    void storeCell(int col, int row, QStringView text);
    // Copies the live texts into fresh chunks, in cell order, and drops the garbage.
    void compactArena();
    void compactArenaIfWasteful();
    void dropCells(std::size_t from);
    void cellChanged(int col, int row);
    void moveCurrent(int col, int row);
    void emitAllChanged();

    int m_colCount = 12;
    int m_rowCount = 2;
    int m_fixedRows = 1;
    int m_col = 0;
    int m_row = 1;
    int m_fillDepth = 0;
    bool m_filledSomething = false;
    std::vector<Span> m_cells; // row by row, m_colCount per row
    std::vector<std::unique_ptr<char[]>> m_chunks;
    std::size_t m_arenaUsed = 0;    // bytes appended since the arena was last emptied
    std::size_t m_arenaGarbage = 0; // of those, bytes no cell refers to any more
    std::vector<int> m_colWidths;
    std::vector<int> m_rowHeights;
};
