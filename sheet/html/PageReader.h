#pragma once

#include "sheet/html/GumboArena.h"
#include "sheet/html/TableWalker.h"

#include <optional>
#include <string>
#include <string_view>

// Reads the tables of a web page through gumbo a piece at a time. Gumbo makes a tree of some
// fifteen times the page's size and gives nothing back until it has read the whole page; a page
// of a hundred megabytes would cost gigabytes. So the page is cut, about every megabyte, before
// a row's start tag, and each piece is parsed on its own: the next one behind a few tags that
// put the parser where it was at the cut (the doctype, the elements the table is inside, the
// table and its row group), so that every row reads as it would in one parse.
//
// A cut is taken only where the parse shows it is one: the "<tr" there made a row of a page's
// own table, in its row group. Where it did not (the text was in a comment or a script, or the
// row is in a table nested in a cell), a longer piece is tried, up to the rest of the page.
class PageReader
{
public:
    // `page` in UTF-8; `inInput` when it lies in the input, whose pages `control` is then
    // told the reading has passed.
    // A piece is cut at the first row after `pieceBytes`.
    PageReader(std::string_view page, bool inInput, TableLayout &layout, const ReadControl &control,
               std::size_t pieceBytes = std::size_t(1) << 20);

    void read();

private:
    struct Cut
    {
        const GumboNode *row = nullptr;
        std::string context; // what the next piece is parsed behind
        bool rowGroupGoesOn = false;
    };

    std::size_t nextRowTag(std::size_t from) const;
    std::size_t tagEnd(std::size_t tag) const;
    const GumboOutput *parse(std::size_t begin, std::size_t end);
    static std::optional<Cut> cutAt(const GumboOutput *tree, const char *tag);

    std::string_view m_page;
    bool m_inInput;
    std::size_t m_pieceBytes;
    TableLayout &m_layout;
    const ReadControl &m_control;
    GumboArena m_arena;
    TableWalker m_walker;
    std::string m_context;
    std::string m_buffer;
};
