#include "app/ui/FixedRowHeader.h"

#include "app/ui/CellPainter.h"
#include "app/ui/ResultGrid.h"

#include <QPaintEvent>
#include <QPainter>

FixedRowHeader::FixedRowHeader(const CellPainter &painter, ResultGrid &grid)
    : QHeaderView(Qt::Horizontal, &grid)
    , m_painter(painter)
    , m_grid(grid)
{
    setSectionsClickable(false);
    setSectionsMovable(false);
    setHighlightSections(false);
    setSectionResizeMode(QHeaderView::Fixed);
}

void FixedRowHeader::paintEvent(QPaintEvent *event)
{
    const ResultGrid::Painting painting(m_grid);
    // Beyond the last column lies the grid's background, as below the last row.
    QPainter painter(viewport());
    painter.fillRect(event->rect(), palette().color(QPalette::Base));
    const int first = visualIndexAt(event->rect().left());
    if (first < 0)
        return;
    int last = visualIndexAt(event->rect().right());
    if (last < 0)
        last = count() - 1;
    for (int visual = first; visual <= last; ++visual) {
        const int logical = logicalIndex(visual);
        if (isSectionHidden(logical))
            continue;
        const QRect section(sectionViewportPosition(logical), 0, sectionSize(logical),
                            viewport()->height());
        paintSection(&painter, section, logical);
    }
}

void FixedRowHeader::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const
{
    // The section holds the cell and, on its right and bottom, the grid lines.
    const QRect cell = rect.adjusted(0, 0, -1, -1);
    painter->save();
    painter->setPen(m_gridLineColor);
    painter->drawLine(rect.topRight(), rect.bottomRight());
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    painter->restore();
    m_painter.paintCell(*painter, logicalIndex, 0, cell, GridDrawFlag::Fixed);
}
