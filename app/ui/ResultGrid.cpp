#include "app/ui/ResultGrid.h"

#include "app/core/ResultTable.h"
#include "app/core/ToolkitColor.h"
#include "app/ui/CellPainter.h"
#include "app/ui/FixedRowHeader.h"
#include "app/ui/WindowFont.h"

#include <QEvent>
#include <QHeaderView>
#include <QScopedValueRollback>

ResultGrid::ResultGrid(QWidget *parent)
    : QTableView(parent)
    , m_table(new ResultTable(this))
    , m_painter(new CellPainter(*m_table, *this))
    , m_fixedRow(new FixedRowHeader(*m_painter, this))
{
    setFont(WindowFont());
    QPalette colors = palette();
    colors.setColor(QPalette::Base, QColor::fromRgb(RgbFromToolkitColor(ResultTable::Color)));
    setPalette(colors);

    setModel(m_table);
    setHorizontalHeader(m_fixedRow);
    setItemDelegate(m_painter);

    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setTabKeyNavigation(false);
    setCornerButtonEnabled(false);
    setShowGrid(true);
    setGridStyle(Qt::SolidLine);
    setWordWrap(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    for (QHeaderView *header : {horizontalHeader(), verticalHeader()}) {
        header->setMinimumSectionSize(GridLineWidth);
        header->setSectionResizeMode(QHeaderView::Fixed);
        header->setSectionsMovable(false);
        header->setSectionsClickable(false);
    }
    horizontalHeader()->setDefaultSectionSize(ResultTable::DefaultColWidth + GridLineWidth);
    verticalHeader()->setDefaultSectionSize(ResultTable::DefaultRowHeight + GridLineWidth);
    verticalHeader()->hide();
    updateGridLineColor();

    connect(m_table, &ResultTable::currentCellChanged, this, &ResultGrid::showCurrentCell);
    connect(m_table, &ResultTable::fixedRowsChanged, this, &ResultGrid::followFixedRows);
    connect(m_table, &ResultTable::rowHeightChanged, this, &ResultGrid::followRowHeight);
    connect(m_table, &ResultTable::colWidthChanged, this, &ResultGrid::scheduleColWidths);

    for (int row = 0; row < m_table->RowCount(); ++row)
        followRowHeight(row, m_table->RowHeights(row));
    applyColWidths();
    followFixedRows();
    showCurrentCell();
}

ResultGrid::~ResultGrid() = default;

void ResultGrid::keyboardSearch(const QString &search)
{
    // Typing does not move the current cell to a matching text.
    Q_UNUSED(search);
}

void ResultGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    if (m_showingTableCell || !current.isValid())
        return;
    {
        const QScopedValueRollback taking(m_takingViewCell, true);
        m_table->SetCol(current.column());
        m_table->SetRow(current.row());
    }
    // A cell the table does not accept as current (a fixed one) sends the view back to the
    // table's, once the view has finished its own move.
    if (m_table->Col() != current.column() || m_table->Row() != current.row())
        QMetaObject::invokeMethod(this, &ResultGrid::showCurrentCell, Qt::QueuedConnection);
}

void ResultGrid::showCurrentCell()
{
    if (m_takingViewCell)
        return;
    const QScopedValueRollback showing(m_showingTableCell, true);
    const QModelIndex cell = m_table->index(m_table->Row(), m_table->Col());
    selectionModel()->setCurrentIndex(cell, QItemSelectionModel::ClearAndSelect);
    scrollTo(cell);
}

void ResultGrid::followFixedRows()
{
    const bool fixed = m_table->FixedRows() > 0;
    setRowHidden(0, fixed);
    m_fixedRow->setVisible(fixed);
    updateGeometries();
}

void ResultGrid::followRowHeight(int row, int height)
{
    verticalHeader()->resizeSection(row, height + GridLineWidth);
    if (row == 0) {
        m_fixedRow->setFixedHeight(height + GridLineWidth);
        updateGeometries();
    }
}

void ResultGrid::scheduleColWidths()
{
    // Widths change while cells are being painted; resizing the columns then would move the
    // cells still to be painted. They follow once the paint is over.
    if (m_colWidthsPending)
        return;
    m_colWidthsPending = true;
    QMetaObject::invokeMethod(this, &ResultGrid::applyColWidths, Qt::QueuedConnection);
}

void ResultGrid::applyColWidths()
{
    m_colWidthsPending = false;
    QHeaderView *columns = horizontalHeader();
    for (int col = 0; col < m_table->ColCount(); ++col) {
        const int size = m_table->ColWidths(col) + GridLineWidth;
        if (columns->sectionSize(col) != size)
            columns->resizeSection(col, size);
    }
}

void ResultGrid::changeEvent(QEvent *event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        updateGridLineColor();
}

void ResultGrid::updateGridLineColor()
{
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const int hint = style()->styleHint(QStyle::SH_Table_GridLineColor, &option, this);
    m_fixedRow->setGridLineColor(QColor::fromRgba(static_cast<QRgb>(hint)));
}
