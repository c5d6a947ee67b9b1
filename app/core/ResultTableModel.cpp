#include "app/core/ResultTableModel.h"

#include <algorithm>
#include <utility>

ResultTableModel::ResultTableModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

ResultTable ResultTableModel::setTable(ResultTable table)
{
    table.SetFixedRows(std::min(table.FixedRows(), m_table.FixedRows()));
    const bool fixedRowsChange = table.FixedRows() != m_table.FixedRows();
    beginResetModel();
    std::swap(m_table, table);
    endResetModel();
    if (fixedRowsChange)
        Q_EMIT fixedRowsChanged(m_table.FixedRows());
    return table;
}

void ResultTableModel::showAgain()
{
    beginResetModel();
    endResetModel();
}

void ResultTableModel::setColumnCount(int count)
{
    count = std::max(count, 1);
    const int columns = m_table.ColCount();
    if (count > columns) {
        beginInsertColumns({}, columns, count - 1);
        m_table.SetColCount(count);
        endInsertColumns();
    } else if (count < columns) {
        beginRemoveColumns({}, count, columns - 1);
        m_table.SetColCount(count);
        endRemoveColumns();
    }
}

void ResultTableModel::setRowCount(int count)
{
    count = std::max(count, 1);
    const int rows = m_table.RowCount();
    if (count == rows)
        return;
    // The header gives way before the rows go, so that a view never sees it fixed without
    // a row below it.
    if (count <= m_table.FixedRows()) {
        m_table.SetFixedRows(count - 1);
        Q_EMIT fixedRowsChanged(m_table.FixedRows());
    }
    if (count > rows) {
        beginInsertRows({}, rows, count - 1);
        m_table.SetRowCount(count);
        endInsertRows();
    } else {
        beginRemoveRows({}, count, rows - 1);
        m_table.SetRowCount(count);
        endRemoveRows();
    }
}

void ResultTableModel::setCellText(int col, int row, QStringView text)
{
    if (!m_table.holds(col, row))
        return;
    m_table.SetCells(col, row, text);
    const QModelIndex cell = index(row, col);
    cellsChanged(cell, cell);
}

void ResultTableModel::clearCells()
{
    setRowCount(2);
    m_table.ClearGrid();
    cellsChanged(index(0, 0), index(m_table.RowCount() - 1, m_table.ColCount() - 1));
}

void ResultTableModel::beginFill()
{
    ++m_fillDepth;
}

void ResultTableModel::endFill()
{
    if (m_fillDepth == 0 || --m_fillDepth > 0)
        return;
    if (std::exchange(m_filledSomething, false))
        cellsChanged(index(0, 0), index(m_table.RowCount() - 1, m_table.ColCount() - 1));
}

void ResultTableModel::cellsChanged(const QModelIndex &first, const QModelIndex &last)
{
    if (m_fillDepth > 0)
        m_filledSomething = true;
    else
        Q_EMIT dataChanged(first, last, {Qt::DisplayRole});
}

int ResultTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_table.RowCount();
}

int ResultTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_table.ColCount();
}

QVariant ResultTableModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    return m_table.Cells(index.column(), index.row());
}

Qt::ItemFlags ResultTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Fixed cells are headings, not data: they cannot be selected or become current.
    if (index.row() < m_table.FixedRows())
        return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
