#pragma once

#include "app/core/ResultTable.h"

#include <QAbstractTableModel>

// Shows a ResultTable to Qt's item views: an item per cell with its text as the display role;
// fixed rows are headings, neither selectable nor current. It owns the table it shows, and
// every change goes through it so that the views are told; a whole table filled elsewhere is
// taken over at once.
class ResultTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit ResultTableModel(QObject *parent = nullptr);

    const ResultTable &table() const { return m_table; }
    // Shows `table` instead, in constant time, as a reset of the whole model, and returns the
    // table shown before. A header that has stopped being fixed stays unfixed.
    ResultTable setTable(ResultTable table);
    // The same reset with the table it holds, as if an equal table had been set.
    void showAgain();

    // The table's operations, told to the views. Where the table lowers its fixed rows,
    // fixedRowsChanged comes first; a row or column that goes is announced before it goes.
    void setColumnCount(int count);
    void setRowCount(int count);
    void setCellText(int col, int row, QStringView text);
    // The table's ClearGrid.
    void clearCells();
    // A bulk fill: between beginFill and endFill a cell's change is not told, and endFill
    // reports the whole table changed once if anything changed. Calls nest.
    void beginFill();
    void endFill();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

Q_SIGNALS:
    void fixedRowsChanged(int fixedRows);

private:
    void cellsChanged(const QModelIndex &first, const QModelIndex &last);

    ResultTable m_table;
    int m_fillDepth = 0;
    bool m_filledSomething = false;
};
