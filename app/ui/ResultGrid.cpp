#include "app/ui/ResultGrid.h"

#include "app/core/CopiedRange.h"
#include "app/core/ResultTable.h"
#include "app/core/ResultTableModel.h"
#include "app/core/ToolkitColor.h"
#include "app/ui/CellPainter.h"
#include "app/ui/FixedRowHeader.h"
#include "app/ui/WindowFont.h"

#include <QAction>
#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <algorithm>
#include <memory>

namespace {

int sizeAt(const std::vector<int> &sizes, int at)
{
    return at >= 0 && at < static_cast<int>(sizes.size()) ? sizes[at] : 0;
}

// False when `at` is out of range or the size is already `size`.
bool setSizeAt(std::vector<int> &sizes, int at, int size)
{
    if (at < 0 || at >= static_cast<int>(sizes.size()))
        return false;
    size = std::max(size, 0);
    if (sizes[at] == size)
        return false;
    sizes[at] = size;
    return true;
}

} // namespace

ResultGrid::ResultGrid(QWidget *parent)
    : QTableView(parent)
    , m_model(new ResultTableModel(this))
    , m_painter(new CellPainter(*this))
    , m_fixedRow(new FixedRowHeader(*m_painter, *this))
    , m_copy(new QAction(QStringLiteral("Копировать"), this))
{
    setFont(windowFont());
    QPalette colors = palette();
    colors.setColor(QPalette::Base, QColor::fromRgb(rgbFromToolkitColor(GridColors::Color)));
    setPalette(colors);

    // Connected before the view gets the model, so that these run before the view's own
    // handling of the removal: the current cell has left by then, and the view never has to
    // find a new one of its own.
    connect(m_model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex &, int first, int) {
                if (m_row >= first)
                    moveCurrent(m_col, first - 1);
            });
    connect(m_model, &QAbstractItemModel::columnsAboutToBeRemoved, this,
            [this](const QModelIndex &, int first, int) {
                if (m_col >= first)
                    moveCurrent(first - 1, m_row);
            });
    setModel(m_model);
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
    horizontalHeader()->setDefaultSectionSize(DefaultColWidth + GridLineWidth);
    verticalHeader()->setDefaultSectionSize(DefaultRowHeight + GridLineWidth);
    verticalHeader()->hide();
    updateGridLineColor();

    m_copy->setShortcut(QKeySequence::Copy);
    m_copy->setShortcutContext(Qt::WidgetShortcut);
    connect(m_copy, &QAction::triggered, this, &ResultGrid::copySelection);
    addAction(m_copy);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    connect(m_model, &ResultTableModel::fixedRowsChanged, this, &ResultGrid::followFixedRows);
    for (const auto change :
         {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved,
          &QAbstractItemModel::columnsInserted, &QAbstractItemModel::columnsRemoved})
        connect(m_model, change, this, &ResultGrid::followShape);
    connect(m_model, &QAbstractItemModel::modelReset, this, &ResultGrid::followTable);
    followTable();
}

ResultGrid::~ResultGrid() = default;

const ResultTable &ResultGrid::table() const
{
    return m_model->table();
}

void ResultGrid::ClearGrid()
{
    m_model->clearCells();
    for (int col = 0; col < table().ColCount(); ++col)
        SetColWidths(col, DefaultColWidth);
}

void ResultGrid::SetColCount(int count)
{
    m_model->setColumnCount(count);
}

void ResultGrid::SetRowCount(int count)
{
    m_model->setRowCount(count);
}

int ResultGrid::RowCount() const
{
    return table().RowCount();
}

void ResultGrid::SetCells(int col, int row, QStringView text)
{
    m_model->setCellText(col, row, text);
}

void ResultGrid::beginFill()
{
    m_model->beginFill();
}

void ResultGrid::endFill()
{
    m_model->endFill();
}

ResultTable ResultGrid::showTable(ResultTable table)
{
    // Applied by the reset that follows, which sizes every section afresh.
    std::fill(m_colWidths.begin(), m_colWidths.end(), DefaultColWidth);
    ResultTable shown = m_model->setTable(std::move(table));
    placeCurrentAtEnd();
    return shown;
}

void ResultGrid::showTableAgain()
{
    std::fill(m_colWidths.begin(), m_colWidths.end(), DefaultColWidth);
    m_model->showAgain();
    placeCurrentAtEnd();
}

void ResultGrid::placeCurrentAtEnd()
{
    setCurrentColumn(0);
    setCurrentRow(RowCount() - 1);
}

void ResultGrid::setCurrentColumn(int col)
{
    moveCurrent(col, m_row);
}

void ResultGrid::setCurrentRow(int row)
{
    moveCurrent(m_col, row);
}

int ResultGrid::ColWidths(int col) const
{
    return sizeAt(m_colWidths, col);
}

void ResultGrid::SetColWidths(int col, int width)
{
    if (!setSizeAt(m_colWidths, col, width))
        return;
    if (m_painting > 0)
        m_colWidthsPending = true;
    else
        horizontalHeader()->resizeSection(col, m_colWidths[col] + GridLineWidth);
}

int ResultGrid::RowHeights(int row) const
{
    return sizeAt(m_rowHeights, row);
}

void ResultGrid::SetRowHeights(int row, int height)
{
    if (setSizeAt(m_rowHeights, row, height))
        applyRowHeight(row);
}

void ResultGrid::applyHeaderHeightRule()
{
    SetRowHeights(0, RowHeights(0) * 3 / 2);
}

void ResultGrid::keyboardSearch(const QString &search)
{
    // Typing does not move the current cell to a matching text.
    Q_UNUSED(search);
}

CellRange ResultGrid::selectedRange() const
{
    const QItemSelection selection = selectionModel()->selection();
    if (selection.isEmpty())
        return {m_col, m_row, m_col, m_row};
    CellRange range{selection.first().left(), selection.first().top(), selection.first().right(),
                    selection.first().bottom()};
    for (const QItemSelectionRange &part : selection) {
        range.left = std::min(range.left, part.left());
        range.top = std::min(range.top, part.top());
        range.right = std::max(range.right, part.right());
        range.bottom = std::max(range.bottom, part.bottom());
    }
    return range;
}

void ResultGrid::copySelection()
{
    const CopiedRange copied = CopiedRange::of(table(), selectedRange());
    auto data = std::make_unique<QMimeData>();
    data->setText(copied.text);
    data->setHtml(copied.html);
    QGuiApplication::clipboard()->setMimeData(data.release()); // the clipboard owns it
}

ResultGrid::Painting::Painting(ResultGrid &grid)
    : m_grid(grid)
{
    ++m_grid.m_painting;
}

ResultGrid::Painting::~Painting()
{
    if (--m_grid.m_painting == 0 && m_grid.m_colWidthsPending)
        m_grid.applyColWidths();
}

void ResultGrid::paintEvent(QPaintEvent *event)
{
    const Painting painting(*this);
    QTableView::paintEvent(event);
}

void ResultGrid::keyPressEvent(QKeyEvent *event)
{
    // The view takes the copy key for itself and would copy the current cell alone.
    if (event->matches(QKeySequence::Copy)) {
        copySelection();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void ResultGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    if (m_showingCurrent || !current.isValid())
        return;
    // The user moved it. A cell that cannot be current (a fixed one) sends the view back to
    // the grid's, once the view has finished its own move.
    m_col = std::clamp(current.column(), 0, table().ColCount() - 1);
    m_row = std::clamp(current.row(), table().FixedRows(), table().RowCount() - 1);
    if (m_col != current.column() || m_row != current.row())
        QMetaObject::invokeMethod(this, &ResultGrid::showCurrentCell, Qt::QueuedConnection);
}

void ResultGrid::scrollContentsBy(int dx, int dy)
{
    QTableView::scrollContentsBy(dx, dy);
    alignTopRow();
}

void ResultGrid::updateGeometries()
{
    QTableView::updateGeometries();
    alignTopRow();
}

void ResultGrid::alignTopRow()
{
    // Scrolled to the end a row at a time, the view puts the last row flush with the bottom,
    // which cuts the top row in half under the fixed row: after every refresh, since the
    // current cell is then the last row. Starting at the top of the row that the scroll bar
    // names shows whole rows, the last one included, with any spare pixels below it.
    const QScrollBar *bar = verticalScrollBar();
    if (verticalScrollMode() != ScrollPerItem || bar->value() != bar->maximum())
        return;
    QHeaderView *rows = verticalHeader();
    if (rows->count() == 0 ||
        rows->offset() == rows->sectionPosition(rows->logicalIndex(bar->value())))
        return;
    rows->setOffsetToSectionPosition(bar->value());
    viewport()->update();
}

void ResultGrid::moveCurrent(int col, int row)
{
    col = std::clamp(col, 0, table().ColCount() - 1);
    row = std::clamp(row, table().FixedRows(), table().RowCount() - 1);
    if (col == m_col && row == m_row)
        return;
    m_col = col;
    m_row = row;
    showCurrentCell();
}

void ResultGrid::showCurrentCell()
{
    const QScopedValueRollback showing(m_showingCurrent, true);
    const QModelIndex cell = m_model->index(m_row, m_col);
    selectionModel()->setCurrentIndex(cell, QItemSelectionModel::ClearAndSelect);
    scrollTo(cell);
}

void ResultGrid::followShape()
{
    m_colWidths.resize(std::size_t(table().ColCount()), DefaultColWidth);
    m_rowHeights.resize(std::size_t(table().RowCount()), DefaultRowHeight);
}

void ResultGrid::followTable()
{
    // The view's sections start again at their default sizes.
    followShape();
    for (int row = 0; row < RowCount(); ++row) {
        if (row == 0 || m_rowHeights[row] != DefaultRowHeight)
            applyRowHeight(row);
    }
    applyColWidths();
    followFixedRows();
    m_col = std::clamp(m_col, 0, table().ColCount() - 1);
    m_row = std::clamp(m_row, table().FixedRows(), table().RowCount() - 1);
    showCurrentCell();
}

void ResultGrid::followFixedRows()
{
    const bool fixed = table().FixedRows() > 0;
    setRowHidden(0, fixed);
    m_fixedRow->setVisible(fixed);
    updateGeometries();
}

void ResultGrid::applyRowHeight(int row)
{
    const int height = m_rowHeights[row] + GridLineWidth;
    verticalHeader()->resizeSection(row, height);
    if (row == 0) {
        m_fixedRow->setFixedHeight(height);
        updateGeometries();
    }
}

void ResultGrid::applyColWidths()
{
    m_colWidthsPending = false;
    QHeaderView *columns = horizontalHeader();
    for (int col = 0; col < table().ColCount(); ++col) {
        const int size = m_colWidths[col] + GridLineWidth;
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
