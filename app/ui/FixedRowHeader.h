#pragma once

#include <QHeaderView>

class CellPainter;
class ResultGrid;

// The fixed row of the result grid. It takes the place of the table view's column header,
// which is what stays put above the scrolling rows, follows the column widths and scrolls
// sideways with the cells; instead of column titles it paints row 0 of the table as fixed
// cells. The grid hides it, and shows row 0 among the others, once row 0 is no longer fixed.
class FixedRowHeader : public QHeaderView
{
    Q_OBJECT

public:
    // A child of `grid`, which shows it.
    FixedRowHeader(const CellPainter &painter, ResultGrid &grid);

    // The colour of the 1-pixel lines between cells, the same as the table view draws.
    void setGridLineColor(const QColor &color) { m_gridLineColor = color; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;

private:
    const CellPainter &m_painter;
    ResultGrid &m_grid;
    QColor m_gridLineColor;
};
