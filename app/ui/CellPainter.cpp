#include "app/ui/CellPainter.h"

#include "app/core/CellLayout.h"
#include "app/core/ResultTable.h"
#include "app/core/ToolkitColor.h"
#include "app/ui/ResultGrid.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>

namespace {

QColor colorOf(int toolkitColor)
{
    return QColor::fromRgb(rgbFromToolkitColor(toolkitColor));
}

// Bold replaces whatever style the grid's font had.
QFont boldOf(QFont font)
{
    font.setBold(true);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

FontMeasure measureOf(const QFont &font, QPaintDevice *device)
{
    const QFontMetrics metrics(font, device);
    FontMeasure measure;
    measure.width = [metrics](QStringView text) {
        return metrics.horizontalAdvance(text.toString());
    };
    measure.lineHeight = metrics.height();
    // A font height given as a character height is negative: -11 for the window font.
    measure.heightSetting = -QFontInfo(font).pixelSize();
    return measure;
}

CellRect cellRectOf(const QRect &rect)
{
    return {rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
}

// A 1-pixel raised frame inside the cell: light on the top and left, dark on the bottom and
// right.
void drawRaisedEdge(QPainter &painter, const QRect &rect, const QPalette &palette)
{
    painter.save();
    painter.setPen(palette.color(QPalette::Light));
    painter.drawLine(rect.topLeft(), rect.topRight());
    painter.drawLine(rect.topLeft(), rect.bottomLeft());
    painter.setPen(palette.color(QPalette::Dark));
    painter.drawLine(rect.bottomLeft(), rect.bottomRight());
    painter.drawLine(rect.topRight(), rect.bottomRight());
    painter.restore();
}

void drawFocusRect(QPainter &painter, const QRect &rect, const QPalette &palette)
{
    painter.save();
    QPen pen(palette.color(QPalette::WindowText), 0, Qt::DotLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
    painter.restore();
}

} // namespace

void GridResultDrawCell(QPainter &canvas, ResultGrid &Sender, int ACol, int ARow, const QRect &Rect,
                        GridDrawState State)
{
    Q_UNUSED(State);
    const QString text = Sender.table().Cells(ACol, ARow);
    if (text.isEmpty())
        return;

    const QFont regular = Sender.font();
    const QFont bold = boldOf(regular);
    const TextMeasure measure{measureOf(regular, canvas.device()),
                              measureOf(bold, canvas.device())};
    const CellLayout layout =
        layOutCell(text, cellRectOf(Rect), ARow, Sender.ColWidths(ACol), measure);
    if (!layout.drawn)
        return;

    const QColor fill = colorOf(layout.fillColor);
    const QFont &font = layout.bold ? bold : regular;
    const int ascent = QFontMetrics(font, canvas.device()).ascent();
    canvas.save();
    // A second line reaches below a data row; it stays inside its own cell.
    canvas.setClipRect(Rect, Qt::IntersectClip);
    canvas.fillRect(Rect, fill);
    canvas.setFont(font);
    canvas.setPen(Sender.palette().color(QPalette::WindowText));
    canvas.setBackgroundMode(Qt::OpaqueMode);
    canvas.setBackground(fill);
    for (int i = 0; i < layout.lineCount; ++i) {
        const CellLine &line = layout.lines[i];
        canvas.drawText(QPoint(line.x, line.y + ascent), line.text);
    }
    canvas.restore();

    // The column takes the width once the paint is over.
    if (layout.columnWidth > Sender.ColWidths(ACol))
        Sender.SetColWidths(ACol, layout.columnWidth);
}

CellPainter::CellPainter(ResultGrid &grid)
    : QStyledItemDelegate(&grid)
    , m_grid(grid)
{
}

void CellPainter::paint(QPainter *painter, const QStyleOptionViewItem &option,
                        const QModelIndex &index) const
{
    GridDrawState state;
    state.setFlag(GridDrawFlag::Selected, option.state.testFlag(QStyle::State_Selected));
    state.setFlag(GridDrawFlag::Focused, option.state.testFlag(QStyle::State_HasFocus));
    state.setFlag(GridDrawFlag::Fixed, index.row() < m_grid.table().FixedRows());
    paintCell(*painter, index.column(), index.row(), option.rect, state);
}

void CellPainter::paintCell(QPainter &painter, int col, int row, const QRect &rect,
                            GridDrawState state) const
{
    const QPalette &palette = m_grid.palette();
    if (state.testFlag(GridDrawFlag::Fixed))
        painter.fillRect(rect, colorOf(GridColors::FixedColor));
    else if (state.testFlag(GridDrawFlag::Selected))
        painter.fillRect(rect, palette.color(QPalette::Highlight));
    else
        painter.fillRect(rect, colorOf(GridColors::Color));

    GridResultDrawCell(painter, m_grid, col, row, rect, state);

    if (state.testFlag(GridDrawFlag::Fixed))
        drawRaisedEdge(painter, rect, palette);
    if (state.testFlag(GridDrawFlag::Focused))
        drawFocusRect(painter, rect, palette);
}
