#include "sheet/html/PageReader.h"

#include "sheet/html/GumboNodes.h"

#include <algorithm>
#include <cstring>

namespace {

using namespace GumboNodes;

constexpr std::size_t NoTag = std::string_view::npos;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Whether the start tag of an element a table is inside puts the parser back where it was:
// a plain element of the body, not a part of another table, a template or a select.
bool recreates(const GumboNode *node)
{
    if (node->type != GUMBO_NODE_ELEMENT || node->v.element.tag_namespace != GUMBO_NAMESPACE_HTML)
        return false;
    switch (node->v.element.tag) {
    case GUMBO_TAG_UNKNOWN:
    case GUMBO_TAG_HTML:
    case GUMBO_TAG_HEAD:
    case GUMBO_TAG_BODY:
    case GUMBO_TAG_FRAMESET:
    case GUMBO_TAG_TABLE:
    case GUMBO_TAG_CAPTION:
    case GUMBO_TAG_COLGROUP:
    case GUMBO_TAG_TBODY:
    case GUMBO_TAG_THEAD:
    case GUMBO_TAG_TFOOT:
    case GUMBO_TAG_TR:
    case GUMBO_TAG_TD:
    case GUMBO_TAG_TH:
    case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_SELECT:
        return false;
    default:
        return true;
    }
}

// The node parsed last: at the end of a piece, its last child's last child ...
const GumboNode *lastNode(const GumboNode *node)
{
    for (;;) {
        const GumboVector *children = childrenOf(node);
        if (!children || children->length == 0)
            return node;
        node = childAt(*children, children->length - 1);
    }
}

bool followsRow(const GumboNode *row)
{
    const GumboVector &siblings = row->parent->v.element.children;
    for (unsigned i = unsigned(row->index_within_parent); i-- > 0;) {
        if (isHtml(childAt(siblings, i), GUMBO_TAG_TR))
            return true;
    }
    return false;
}

} // namespace

PageReader::PageReader(std::string_view page, bool inInput, TableLayout &layout,
                       const ReadControl &control, std::size_t pieceBytes)
    : m_page(page)
    , m_inInput(inInput)
    , m_pieceBytes(std::max<std::size_t>(pieceBytes, 1))
    , m_layout(layout)
    , m_control(control)
    , m_arena(control)
    , m_walker(layout)
{
}

void PageReader::read()
{
    std::size_t begin = 0;
    std::size_t reach = m_pieceBytes;
    bool continues = false;
    bool rowGroupGoesOn = false;
    while (m_layout.hasRoom()) {
        m_control.stillWanted();
        const std::size_t tag = reach < m_page.size() - begin ? nextRowTag(begin + reach) : NoTag;
        if (tag == NoTag) {
            m_walker.walk({parse(begin, m_page.size()), continues, rowGroupGoesOn, nullptr});
            return;
        }
        const GumboOutput *tree = parse(begin, tagEnd(tag));
        std::optional<Cut> cut = cutAt(tree, m_buffer.data() + m_context.size() + (tag - begin));
        if (!cut) {
            reach *= 2;
            continue;
        }
        m_walker.walk({tree, continues, rowGroupGoesOn, cut->row});
        m_context = std::move(cut->context);
        continues = true;
        rowGroupGoesOn = cut->rowGroupGoesOn;
        begin = tag;
        reach = m_pieceBytes;
        if (m_inInput)
            m_control.passed(reinterpret_cast<const std::uint8_t *>(m_page.data() + begin));
    }
}

// The next "<tr" followed by white space, "/" or ">", in any case, at or after `from`.
std::size_t PageReader::nextRowTag(std::size_t from) const
{
    const char *const data = m_page.data();
    const std::size_t size = m_page.size();
    while (from + 3 < size) {
        const void *found = std::memchr(data + from, '<', size - from - 3);
        if (!found)
            return NoTag;
        const std::size_t at = std::size_t(static_cast<const char *>(found) - data);
        if ((data[at + 1] | 0x20) == 't' && (data[at + 2] | 0x20) == 'r' &&
            (isSpace(data[at + 3]) || data[at + 3] == '/' || data[at + 3] == '>'))
            return at;
        from = at + 1;
    }
    return NoTag;
}

std::size_t PageReader::tagEnd(std::size_t tag) const
{
    const std::size_t close = m_page.find('>', tag);
    return close == NoTag ? m_page.size() : close + 1;
}

const GumboOutput *PageReader::parse(std::size_t begin, std::size_t end)
{
    m_buffer.assign(m_context);
    m_buffer.append(m_page.substr(begin, end - begin));
    return m_arena.parse(m_buffer);
}

std::optional<PageReader::Cut> PageReader::cutAt(const GumboOutput *tree, const char *tag)
{
    const GumboNode *const row = lastNode(tree->document);
    if (!isHtml(row, GUMBO_TAG_TR) || row->v.element.original_tag.data != tag)
        return std::nullopt;
    const GumboNode *const group = row->parent;
    if (!isRowGroup(group) || !isHtml(group->parent, GUMBO_TAG_TABLE))
        return std::nullopt;
    std::vector<const GumboNode *> outside;
    const GumboNode *node = group->parent->parent;
    for (; node && !isHtml(node, GUMBO_TAG_BODY); node = node->parent) {
        if (!recreates(node))
            return std::nullopt;
        outside.push_back(node);
    }
    if (!node || !isHtml(node->parent, GUMBO_TAG_HTML) || node->parent->parent != tree->document)
        return std::nullopt;

    Cut cut;
    cut.row = row;
    cut.rowGroupGoesOn = followsRow(row);
    // Quirks mode lets a table stay inside a paragraph; the doctype keeps the mode the page had.
    if (tree->document->v.document.doc_type_quirks_mode != GUMBO_DOCTYPE_QUIRKS)
        cut.context = "<!DOCTYPE html>";
    for (auto element = outside.rbegin(); element != outside.rend(); ++element) {
        cut.context += '<';
        cut.context += gumbo_normalized_tagname((*element)->v.element.tag);
        cut.context += '>';
    }
    cut.context += "<table><";
    cut.context += gumbo_normalized_tagname(group->v.element.tag);
    cut.context += '>';
    return cut;
}
