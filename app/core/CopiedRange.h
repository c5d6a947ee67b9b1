#pragma once

#include <QString>

class ResultTable;

// A rectangle of the result table's cells, its corners included, as the user selected it.
struct CellRange
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// The cells of a range in the two forms a spreadsheet pastes from the clipboard: tab-separated
// text (text/plain) and an HTML table (text/html). Cells outside the table count as empty.
struct CopiedRange
{
    QString text;
    QString html;

    static CopiedRange of(const ResultTable &table, const CellRange &range);
};

// One row of tab-separated text ends in a line feed. A cell that holds a tab, a line break or
// a double quote is written between double quotes, its quotes doubled, as spreadsheets read
// it back into one cell.
QString tabSeparatedCell(const QString &cell);

// A cell's text as HTML: the markup characters escaped, each line break (CR LF, CR or LF) a
// <br>, so that a cell of several lines stays one cell of several lines.
QString htmlCell(const QString &cell);
