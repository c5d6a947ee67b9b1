#pragma once

#include "sheet/model/TextDecoder.h"
#include "sheet/model/Workbook.h"

#include <cstdint>
#include <string_view>
#include <vector>

// Lays the tables of a web page out on one worksheet the way a spreadsheet program opens a
// page: the tables one under the other in the order of the page, one sheet row for each table
// row. A cell takes the first column of its row that no cell above spans into; one that spans
// several columns or rows occupies all of them, its text in the first. Row spans end with
// their row group (a tbody, thead or tfoot; rowspan 0 runs to its end), as in a browser.
// Cells beyond the sheet's last column are dropped, and rows beyond its last row.
class TableLayout
{
public:
    explicit TableLayout(Workbook &book, Worksheet &sheet);

    void beginTable() { beginRowGroup(); }
    void beginRowGroup() { m_spanEnds.clear(); }
    void beginRow();
    // A cell of the row begun last, its text in UTF-8 (empty for a cell without text).
    void addCell(std::string_view text, std::uint32_t colspan, std::uint32_t rowspan);

    // Whether rows may still be laid out: false once the sheet is full.
    bool hasRoom() const { return m_nextRow < Worksheet::MaxRows; }
    std::uint32_t rowsLaidOut() const { return m_nextRow; }

    // The spans of the attributes, as browsers read them: colspan 1 to 1000, rowspan 0 to
    // 65534; a value that is not a number is 1.
    static std::uint32_t colspanOf(const char *value);
    static std::uint32_t rowspanOf(const char *value);

private:
    static constexpr std::uint32_t ToGroupEnd = UINT32_MAX;

    Workbook &m_book;
    Worksheet &m_sheet;
    std::uint32_t m_nextRow = 0;
    std::uint32_t m_row = 0;
    std::uint32_t m_column = 0;
    bool m_rowTaken = false; // false before the first row, and once the sheet is full
    // For each column, the row up to which (not including) a cell above spans into it.
    std::vector<std::uint32_t> m_spanEnds;
    TextDecoder m_utf8{65001};
};
