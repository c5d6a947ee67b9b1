#include "sheet/html/CellText.h"

#include "sheet/html/GumboNodes.h"

#include <algorithm>
#include <cstring>

namespace {

bool isCollapsible(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Whether an element's own style attribute hides it ("display: none", in any case and spacing).
bool styledHidden(const GumboElement &element)
{
    const GumboAttribute *style = gumbo_get_attribute(&element.attributes, "style");
    if (!style)
        return false;
    std::string value;
    for (const char *c = style->value; *c; ++c) {
        if (!isCollapsible(*c))
            value.push_back(*c >= 'A' && *c <= 'Z' ? char(*c + ('a' - 'A')) : *c);
    }
    return value.find("display:none") != std::string::npos;
}

// Whether a cell of a nested table follows another cell of its row.
bool followsCell(const GumboNode *cell)
{
    const GumboNode *row = cell->parent;
    if (!row || row->type != GUMBO_NODE_ELEMENT)
        return false;
    for (unsigned i = unsigned(cell->index_within_parent); i-- > 0;) {
        const auto *sibling = static_cast<const GumboNode *>(row->v.element.children.data[i]);
        if (sibling->type == GUMBO_NODE_ELEMENT &&
            (sibling->v.element.tag == GUMBO_TAG_TD || sibling->v.element.tag == GUMBO_TAG_TH))
            return true;
    }
    return false;
}

} // namespace

CellText::Kind CellText::kindOf(const GumboNode *node)
{
    const GumboElement &element = node->v.element;
    if (element.tag_namespace != GUMBO_NAMESPACE_HTML)
        return Kind::Inline;
    switch (element.tag) {
    case GUMBO_TAG_HEAD:
    case GUMBO_TAG_TITLE:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_NOFRAMES:
    case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_DATALIST:
        return Kind::Hidden;
    case GUMBO_TAG_BR:
        return Kind::LineBreak;
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_LISTING:
    case GUMBO_TAG_PLAINTEXT:
    case GUMBO_TAG_XMP:
    case GUMBO_TAG_TEXTAREA:
        return Kind::Preformatted;
    case GUMBO_TAG_TD:
    case GUMBO_TAG_TH:
        return Kind::Cell;
    case GUMBO_TAG_ADDRESS:
    case GUMBO_TAG_ARTICLE:
    case GUMBO_TAG_ASIDE:
    case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_CAPTION:
    case GUMBO_TAG_CENTER:
    case GUMBO_TAG_DD:
    case GUMBO_TAG_DETAILS:
    case GUMBO_TAG_DIR:
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_DL:
    case GUMBO_TAG_DT:
    case GUMBO_TAG_FIELDSET:
    case GUMBO_TAG_FIGCAPTION:
    case GUMBO_TAG_FIGURE:
    case GUMBO_TAG_FOOTER:
    case GUMBO_TAG_FORM:
    case GUMBO_TAG_H1:
    case GUMBO_TAG_H2:
    case GUMBO_TAG_H3:
    case GUMBO_TAG_H4:
    case GUMBO_TAG_H5:
    case GUMBO_TAG_H6:
    case GUMBO_TAG_HEADER:
    case GUMBO_TAG_HGROUP:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_LEGEND:
    case GUMBO_TAG_LI:
    case GUMBO_TAG_MAIN:
    case GUMBO_TAG_MENU:
    case GUMBO_TAG_NAV:
    case GUMBO_TAG_OL:
    case GUMBO_TAG_P:
    case GUMBO_TAG_SECTION:
    case GUMBO_TAG_SUMMARY:
    case GUMBO_TAG_TABLE:
    case GUMBO_TAG_TR:
    case GUMBO_TAG_UL:
        return Kind::Block;
    default:
        return Kind::Inline;
    }
}

std::string_view CellText::read(const GumboNode *cell)
{
    m_text.clear();
    m_stack.clear();
    m_preformatted = 0;
    m_breaks = 0;
    m_blockEdge = m_tab = m_space = false;
    m_stack.push_back({cell, 0, Kind::Inline});
    while (!m_stack.empty()) {
        Frame &frame = m_stack.back();
        const GumboVector &children = frame.node->v.element.children;
        if (frame.next == children.length) {
            leave(frame.kind);
            m_stack.pop_back();
            continue;
        }
        const GumboNode *const child = GumboNodes::childAt(children, frame.next++);
        switch (child->type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE:
        case GUMBO_NODE_CDATA:
            characters(child->v.text.text);
            break;
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE: {
            const Kind kind = child->type == GUMBO_NODE_TEMPLATE ? Kind::Hidden : kindOf(child);
            if (kind == Kind::Hidden ||
                gumbo_get_attribute(&child->v.element.attributes, "hidden") ||
                styledHidden(child->v.element))
                break;
            enter(child, kind);
            m_stack.push_back({child, 0, kind}); // `frame` is not used after this
            break;
        }
        default: // comments; the document node is never inside a cell
            break;
        }
    }
    return m_text;
}

void CellText::enter(const GumboNode *element, Kind kind)
{
    switch (kind) {
    case Kind::LineBreak:
        ++m_breaks;
        m_space = false;
        break;
    case Kind::Preformatted:
        ++m_preformatted;
        m_blockEdge = true;
        break;
    case Kind::Block:
        m_blockEdge = true;
        break;
    case Kind::Cell:
        if (followsCell(element))
            m_tab = true;
        break;
    case Kind::Inline:
    case Kind::Hidden:
        break;
    }
}

void CellText::leave(Kind kind)
{
    if (kind == Kind::Preformatted) {
        --m_preformatted;
        m_blockEdge = true;
    } else if (kind == Kind::Block) {
        m_blockEdge = true;
    }
}

void CellText::characters(const char *text)
{
    const char *p = text;
    while (*p) {
        if (!isCollapsible(*p)) {
            const char *const start = p;
            while (*p && !isCollapsible(*p))
                ++p;
            appendVisible(start, p);
        } else if (m_preformatted == 0) {
            m_space = true;
            ++p;
        } else if (*p == '\n') {
            ++m_breaks;
            ++p;
        } else {
            appendVisible(p, p + 1);
            ++p;
        }
    }
}

void CellText::flushPending()
{
    if (!m_text.empty()) {
        const unsigned breaks = std::max(m_breaks, m_blockEdge ? 1u : 0u);
        if (breaks > 0)
            m_text.append(breaks, '\n');
        else if (m_tab)
            m_text.push_back('\t');
        else if (m_space)
            m_text.push_back(' ');
    }
    m_breaks = 0;
    m_blockEdge = m_tab = m_space = false;
}

// Characters that show, with each no-break space (C2 A0 in UTF-8) as a space.
void CellText::appendVisible(const char *begin, const char *end)
{
    flushPending();
    while (begin != end) {
        const char *const lead =
            static_cast<const char *>(std::memchr(begin, '\xC2', std::size_t(end - begin)));
        if (!lead || lead + 1 == end) {
            m_text.append(begin, end);
            return;
        }
        m_text.append(begin, lead);
        if (lead[1] == '\xA0') {
            m_text.push_back(' ');
            begin = lead + 2;
        } else {
            m_text.append(lead, 2);
            begin = lead + 2;
        }
    }
}
