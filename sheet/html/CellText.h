#pragma once

#include <gumbo.h>
#include <string>
#include <string_view>
#include <vector>

// The text of a table cell as a browser shows it, in UTF-8: runs of white space are one space,
// none at the start or end of a line; <br> ends a line, and block elements (paragraphs,
// divisions, list items, headings, the rows of a table nested in the cell) stand on lines of
// their own, one line feed apart; a nested table's cells are a tab apart. Preformatted text
// keeps its spaces and line ends. What a browser does not show is left out: styles, scripts,
// templates, comments, and elements that are hidden or styled "display: none". A no-break
// space reads as a space.
class CellText
{
public:
    // The text of `cell`'s content; valid until the next read.
    std::string_view read(const GumboNode *cell);

private:
    enum class Kind { Inline, Hidden, LineBreak, Block, Preformatted, Cell };

    struct Frame
    {
        const GumboNode *node;
        unsigned next; // the child to visit next
        Kind kind;
    };

    static Kind kindOf(const GumboNode *element);
    void enter(const GumboNode *element, Kind kind);
    void leave(Kind kind);
    void characters(const char *text);
    void appendVisible(const char *begin, const char *end);
    void flushPending();

    std::string m_text;
    std::vector<Frame> m_stack;
    unsigned m_preformatted = 0;
    unsigned m_breaks = 0; // line breaks asked for by <br> since the last character
    bool m_blockEdge = false;
    bool m_tab = false;
    bool m_space = false;
};
