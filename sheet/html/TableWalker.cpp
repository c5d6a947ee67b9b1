#include "sheet/html/TableWalker.h"

#include "sheet/html/GumboNodes.h"

namespace {

using namespace GumboNodes;

// Where the walk looks for tables: not in the head, templates, what is there for browsers
// without scripts, or SVG and MathML.
bool mayHoldTables(const GumboNode *node)
{
    return node->type == GUMBO_NODE_ELEMENT &&
           node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML &&
           node->v.element.tag != GUMBO_TAG_HEAD && node->v.element.tag != GUMBO_TAG_NOSCRIPT;
}

const char *attribute(const GumboNode *element, const char *name)
{
    const GumboAttribute *found = gumbo_get_attribute(&element->v.element.attributes, name);
    return found ? found->value : nullptr;
}

} // namespace

TableWalker::TableWalker(TableLayout &layout)
    : m_layout(layout)
{
}

void TableWalker::walk(const Piece &piece)
{
    bool first = true;
    m_stack.clear();
    m_stack.emplace_back(piece.tree->document, 0);
    while (!m_stack.empty() && m_layout.hasRoom()) {
        auto &[node, next] = m_stack.back();
        const GumboVector &children = *childrenOf(node);
        if (next == children.length) {
            m_stack.pop_back();
            continue;
        }
        const GumboNode *const child = childAt(children, next++);
        if (isHtml(child, GUMBO_TAG_TABLE)) {
            table(child, piece, first);
            first = false;
        } else if (mayHoldTables(child)) {
            m_stack.emplace_back(child, 0);
        }
    }
}

void TableWalker::table(const GumboNode *table, const Piece &piece, bool first)
{
    const bool continues = first && piece.continuesTable;
    if (!continues)
        m_layout.beginTable();
    bool firstGroup = true;
    const GumboVector &parts = table->v.element.children;
    for (unsigned i = 0; i < parts.length && m_layout.hasRoom(); ++i) {
        const GumboNode *const part = childAt(parts, i);
        if (!isRowGroup(part))
            continue; // captions, column groups, foster-parented leftovers
        if (!(continues && firstGroup && piece.continuesRowGroup))
            m_layout.beginRowGroup();
        firstGroup = false;
        const GumboVector &rows = part->v.element.children;
        for (unsigned r = 0; r < rows.length && m_layout.hasRoom(); ++r) {
            const GumboNode *const candidate = childAt(rows, r);
            if (isHtml(candidate, GUMBO_TAG_TR) && candidate != piece.cutRow)
                row(candidate);
        }
    }
}

void TableWalker::row(const GumboNode *row)
{
    m_layout.beginRow();
    const GumboVector &cells = row->v.element.children;
    for (unsigned i = 0; i < cells.length; ++i) {
        const GumboNode *const cell = childAt(cells, i);
        if (!isCell(cell))
            continue;
        m_layout.addCell(m_cellText.read(cell), TableLayout::colspanOf(attribute(cell, "colspan")),
                         TableLayout::rowspanOf(attribute(cell, "rowspan")));
    }
}
