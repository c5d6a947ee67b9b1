#pragma once

#include <QTableView>

class CellPainter;
class FixedRowHeader;
class ResultTable;

// The result grid: shows the result table it owns with row 0 fixed above the scrolling rows,
// range selection, no editing and no resizing or moving by the user. Column widths and row
// heights follow the table; the current cell is kept the same in the table and in the view,
// and the table moving it scrolls it into view.
class ResultGrid : public QTableView
{
    Q_OBJECT

public:
    explicit ResultGrid(QWidget *parent = nullptr);
    ~ResultGrid() override;

    ResultTable &table() { return *m_table; }
    const ResultTable &table() const { return *m_table; }

    // Grid lines are 1 pixel wide; a view section is the table's width or height plus this.
    static constexpr int GridLineWidth = 1;

    void keyboardSearch(const QString &search) override;

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void changeEvent(QEvent *event) override;

private:
    void showCurrentCell();
    void followFixedRows();
    void followRowHeight(int row, int height);
    void scheduleColWidths();
    void applyColWidths();
    void updateGridLineColor();

    ResultTable *m_table;
    CellPainter *m_painter;
    FixedRowHeader *m_fixedRow;
    bool m_showingTableCell = false;
    bool m_takingViewCell = false;
    bool m_colWidthsPending = false;
};
