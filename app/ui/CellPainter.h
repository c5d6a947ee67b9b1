#pragma once

#include <QFlags>
#include <QStyledItemDelegate>

class QPainter;
class QRect;
class ResultTable;

// What the grid knows about a cell it is about to paint.
enum class GridDrawFlag {
    Selected = 0x1,
    Focused = 0x2, // the current cell while the grid has the keyboard focus
    Fixed = 0x4,
};
Q_DECLARE_FLAGS(GridDrawState, GridDrawFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(GridDrawState)

// The cell drawing rule for one cell, run after the grid's default painting of it: fills a
// non-empty cell with its row's colour, draws its one or two lines in the grid's font (bold in
// row 0) and widens the cell's column in `table` to fit what it drew. `sender` is the grid:
// its font and text colour are used. `Rect` excludes the grid lines; `State` is not used.
void GridResultDrawCell(QPainter &canvas, const QWidget &sender, ResultTable &table, int ACol,
                        int ARow, const QRect &Rect, GridDrawState State);

// Paints the cells of the result grid: the grid's default painting of a cell (its background
// or the selection highlight), then the drawing rule, then the grid's overlays (the raised
// edge of fixed cells, the focus rectangle). Used for the scrolling cells through the item
// view and for the fixed row by its header.
class CellPainter : public QStyledItemDelegate
{
    Q_OBJECT

public:
    // `grid` gives the font and palette and owns the painter.
    CellPainter(ResultTable &table, QWidget &grid);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

    void paintCell(QPainter &painter, int col, int row, const QRect &rect,
                   GridDrawState state) const;

private:
    ResultTable &m_table;
    QWidget &m_grid;
};
