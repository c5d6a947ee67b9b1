#pragma once

#include "app/core/ImportTarget.h"

#include <QTableView>
#include <vector>

class CellPainter;
class FixedRowHeader;
class QAction;
struct CellRange;
class ResultTable;
class ResultTableModel;

// The result grid: shows the result table, which it owns through its model, with row 0 fixed
// above the scrolling rows, range selection, no editing and no resizing or moving by the
// user. It is what the import fills, and it keeps what belongs to the view: the column
// widths and row heights (each view section is the width or height plus a grid line) and the
// current cell, which a change scrolls into view.
class ResultGrid : public QTableView, public ImportTarget
{
    Q_OBJECT

public:
    static constexpr int DefaultColWidth = 64;
    static constexpr int DefaultRowHeight = 24;
    // Grid lines are 1 pixel wide.
    static constexpr int GridLineWidth = 1;

    explicit ResultGrid(QWidget *parent = nullptr);
    ~ResultGrid() override;

    const ResultTable &table() const;
    const ResultTableModel &tableModel() const { return *m_model; }

    // The table's operations, shown as they happen. ClearGrid also brings every column back
    // to DefaultColWidth. Columns and rows that come into being are DefaultColWidth wide and
    // DefaultRowHeight high; those that stay keep their sizes.
    void ClearGrid() override;
    void SetColCount(int count) override;
    void SetRowCount(int count) override;
    int RowCount() const override;
    void SetCells(int col, int row, QStringView text) override;
    void beginFill() override;
    void endFill() override;
    // Shows a whole table filled elsewhere as if it had been imported here: every column back
    // to DefaultColWidth as ClearGrid leaves it, the table, then the current cell at column 0
    // of its last row. Constant time but for the view's own sections. Returns the table shown
    // before, so that the caller can free its memory where it costs the window nothing.
    ResultTable showTable(ResultTable table);
    // Shows the table it holds as if it had been imported again unchanged: the same as
    // showTable with an equal table.
    void showTableAgain();

    // The current cell. A value outside the table is brought into it, the row into the rows
    // that scroll; only a change moves the view's current cell (selecting it alone) and
    // scrolls it into view. The cell also follows the user, and leaves the rows and columns
    // that go before they go.
    int currentColumn() const { return m_col; }
    void setCurrentColumn(int col) override;
    int currentRow() const { return m_row; }
    void setCurrentRow(int row) override;

    // Out of range: 0, and writes are ignored. A width set while the grid paints its cells
    // reaches the column once that paint is over: resizing the column during it would move
    // the cells still to be painted.
    int ColWidths(int col) const;
    void SetColWidths(int col, int width);
    int RowHeights(int row) const;
    void SetRowHeights(int row, int height);
    // Row 0 one and a half times as high, the fraction dropped (24 becomes 36).
    void applyHeaderHeightRule();

    void keyboardSearch(const QString &search) override;

    // The selected cells (the current cell when none is selected), as one rectangle.
    CellRange selectedRange() const;
    // Puts the selected range on the clipboard as tab-separated text and as an HTML table.
    // Ctrl+C and the context menu's "Копировать" do this.
    void copySelection();
    QAction *copyAction() const { return m_copy; }

    // Held while cells of the grid are painted, by the grid and by its fixed row.
    class Painting
    {
    public:
        explicit Painting(ResultGrid &grid);
        ~Painting();
        Painting(const Painting &) = delete;
        Painting &operator=(const Painting &) = delete;

    private:
        ResultGrid &m_grid;
    };

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void changeEvent(QEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void updateGeometries() override;

private:
    void moveCurrent(int col, int row);
    void showCurrentCell();
    void followShape();
    void followTable();
    void followFixedRows();
    void applyRowHeight(int row);
    void applyColWidths();
    void placeCurrentAtEnd();
    void updateGridLineColor();
    void alignTopRow();

    ResultTableModel *m_model;
    CellPainter *m_painter;
    FixedRowHeader *m_fixedRow;
    QAction *m_copy;
    std::vector<int> m_colWidths;
    std::vector<int> m_rowHeights;
    int m_col = 0;
    int m_row = 1;
    int m_painting = 0;
    bool m_colWidthsPending = false;
    bool m_showingCurrent = false;
};
