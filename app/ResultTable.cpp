#include "app/ResultTable.h"

#include <algorithm>

ResultTable::ResultTable(QObject *parent)
    : QAbstractTableModel(parent)
    , m_cells(static_cast<std::size_t>(m_colCount) * m_rowCount)
    , m_colWidths(m_colCount, DefaultColWidth)
    , m_rowHeights(m_rowCount, DefaultRowHeight)
{
}

void ResultTable::SetColCount(int count)
{
    count = std::max(count, 1);
    if (count == m_colCount)
        return;
    if (m_col >= count)
        moveCurrent(count - 1, m_row);

    // Cells are stored row by row, so a new column count means a new layout.
    std::vector<QString> cells(static_cast<std::size_t>(count) * m_rowCount);
    const int kept = std::min(count, m_colCount);
    for (int row = 0; row < m_rowCount; ++row) {
        for (int col = 0; col < kept; ++col) {
            cells[static_cast<std::size_t>(row) * count + col] =
                std::move(m_cells[static_cast<std::size_t>(row) * m_colCount + col]);
        }
    }

    const bool grows = count > m_colCount;
    if (grows)
        beginInsertColumns({}, m_colCount, count - 1);
    else
        beginRemoveColumns({}, count, m_colCount - 1);
    m_cells = std::move(cells);
    m_colWidths.resize(count, DefaultColWidth);
    m_colCount = count;
    if (grows)
        endInsertColumns();
    else
        endRemoveColumns();
}

void ResultTable::SetRowCount(int count)
{
    count = std::max(count, 1);
    if (count == m_rowCount)
        return;
    // There must always be a row that scrolls; once the header has had to give way it stays
    // an ordinary row.
    if (count <= m_fixedRows) {
        m_fixedRows = count - 1;
        Q_EMIT fixedRowsChanged(m_fixedRows);
    }
    // The current cell leaves the rows about to go before they go, so a view never has to
    // find a new one of its own.
    if (m_row >= count)
        moveCurrent(m_col, count - 1);

    const bool grows = count > m_rowCount;
    if (grows)
        beginInsertRows({}, m_rowCount, count - 1);
    else
        beginRemoveRows({}, count, m_rowCount - 1);
    m_cells.resize(static_cast<std::size_t>(m_colCount) * count);
    m_rowHeights.resize(count, DefaultRowHeight);
    m_rowCount = count;
    if (grows)
        endInsertRows();
    else
        endRemoveRows();
}

bool ResultTable::isCell(int col, int row) const
{
    return col >= 0 && col < m_colCount && row >= 0 && row < m_rowCount;
}

QString ResultTable::Cells(int col, int row) const
{
    if (!isCell(col, row))
        return {};
    return m_cells[static_cast<std::size_t>(row) * m_colCount + col];
}

void ResultTable::SetCells(int col, int row, const QString &text)
{
    setCell(col, row, text);
}

void ResultTable::SetCells(int col, int row, QString &&text)
{
    setCell(col, row, std::move(text));
}

template<typename Text>
void ResultTable::setCell(int col, int row, Text &&text)
{
    if (!isCell(col, row))
        return;
    m_cells[static_cast<std::size_t>(row) * m_colCount + col] = std::forward<Text>(text);
    if (m_fillDepth > 0) {
        m_filledSomething = true;
        return;
    }
    const QModelIndex cell = index(row, col);
    Q_EMIT dataChanged(cell, cell, {Qt::DisplayRole});
}

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

int ResultTable::ColWidths(int col) const
{
    return sizeAt(m_colWidths, col);
}

void ResultTable::SetColWidths(int col, int width)
{
    if (setSizeAt(m_colWidths, col, width))
        Q_EMIT colWidthChanged(col, m_colWidths[col]);
}

int ResultTable::RowHeights(int row) const
{
    return sizeAt(m_rowHeights, row);
}

void ResultTable::SetRowHeights(int row, int height)
{
    if (setSizeAt(m_rowHeights, row, height))
        Q_EMIT rowHeightChanged(row, m_rowHeights[row]);
}

void ResultTable::SetCol(int col)
{
    moveCurrent(col, m_row);
}

void ResultTable::SetRow(int row)
{
    moveCurrent(m_col, row);
}

void ResultTable::moveCurrent(int col, int row)
{
    col = std::clamp(col, 0, m_colCount - 1);
    row = std::clamp(row, m_fixedRows, m_rowCount - 1);
    if (col == m_col && row == m_row)
        return;
    m_col = col;
    m_row = row;
    Q_EMIT currentCellChanged(m_col, m_row);
}

void ResultTable::ClearGrid()
{
    SetRowCount(2);
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < m_colCount; ++col)
            m_cells[static_cast<std::size_t>(row) * m_colCount + col] = QString();
    }
    if (m_fillDepth > 0)
        m_filledSomething = true;
    else
        emitAllChanged();
    for (int col = 0; col < m_colCount; ++col)
        SetColWidths(col, DefaultColWidth);
}

void ResultTable::ApplyHeaderHeightRule()
{
    SetRowHeights(0, RowHeights(0) * 3 / 2);
}

void ResultTable::BeginFill()
{
    ++m_fillDepth;
}

void ResultTable::EndFill()
{
    if (m_fillDepth == 0 || --m_fillDepth > 0)
        return;
    if (m_filledSomething) {
        m_filledSomething = false;
        emitAllChanged();
    }
}

void ResultTable::emitAllChanged()
{
    Q_EMIT dataChanged(index(0, 0), index(m_rowCount - 1, m_colCount - 1), {Qt::DisplayRole});
}

int ResultTable::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rowCount;
}

int ResultTable::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_colCount;
}

QVariant ResultTable::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    return Cells(index.column(), index.row());
}

Qt::ItemFlags ResultTable::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Fixed cells are headings, not data: they cannot be selected or become current.
    if (index.row() < m_fixedRows)
        return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
