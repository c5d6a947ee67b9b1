#pragma once

#include <QFlags>
#include <QStyledItemDelegate>

class QPainter;
class QRect;
class ResultGrid;

// What the grid knows about a cell it is about to paint.
enum class GridDrawFlag {
    Selected = 0x1,
    Focused = 0x2, // the current cell while the grid has the keyboard focus
    Fixed = 0x4,
};
Q_DECLARE_FLAGS(GridDrawState, GridDrawFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(GridDrawState)

// The cell drawing rule for one cell of `Sender`, run after the grid's default painting of it:
// fills a non-empty cell with its row's colour, draws its one or two lines in the grid's font
// (bold in row 0) and widens the cell's column to fit what it drew. `Rect` excludes the grid
// lines; `State` is not used.
void GridResultDrawCell(QPainter &canvas, ResultGrid &Sender, int ACol, int ARow, const QRect &Rect,
                        GridDrawState State);

// Paints the cells of the result grid: the grid's default painting of a cell (its background
// or the selection highlight), then the drawing rule, then the grid's overlays (the raised
// edge of fixed cells, the focus rectangle). Used for the scrolling cells through the item
// view and for the fixed row by its header.
class CellPainter : public QStyledItemDelegate
{
    Q_OBJECT

public:
    // `grid` gives the cells, the font and the palette, and owns the painter.
    explicit CellPainter(ResultGrid &grid);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

    void paintCell(QPainter &painter, int col, int row, const QRect &rect,
                   GridDrawState state) const;

private:
    ResultGrid &m_grid;
};
