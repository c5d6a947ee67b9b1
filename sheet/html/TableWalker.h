#pragma once

#include "sheet/html/CellText.h"
#include "sheet/html/TableLayout.h"

#include <gumbo.h>

// Finds the tables of a parsed page, or of a piece of one, in document order and hands their
// rows and cells to the layout. Only a page's own tables count: a table inside another's cell
// is a part of that cell's text, and tables in templates, in noscript and in SVG or MathML are
// not shown.
class TableWalker
{
public:
    explicit TableWalker(TableLayout &layout);

    struct Piece
    {
        const GumboOutput *tree = nullptr;
        // The piece's first table goes on with the table the last piece ended in, and its
        // first row group with that table's last.
        bool continuesTable = false;
        bool continuesRowGroup = false;
        // The row the piece was cut before: it belongs to the next piece.
        const GumboNode *cutRow = nullptr;
    };
    void walk(const Piece &piece);

private:
    void table(const GumboNode *table, const Piece &piece, bool first);
    void row(const GumboNode *row);

    TableLayout &m_layout;
    CellText m_cellText;
    std::vector<std::pair<const GumboNode *, unsigned>> m_stack;
};
