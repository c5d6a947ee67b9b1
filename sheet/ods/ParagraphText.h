#pragma once

#include <QStringView>
#include <cstdint>
#include <string_view>

class RepeatBudget;
class StringTable;

// The text of a cell's paragraphs as OpenDocument readers take it, built in the string table:
// paragraphs joined by line feeds; white space in the character data collapsed to one space
// and dropped at the start and end of a paragraph; the spaces, tabs and line breaks that
// elements stand for kept as they are.
class ParagraphText
{
public:
    ParagraphText(StringTable &strings, RepeatBudget &budget);

    // Starts the text of the next cell.
    void begin();
    void beginParagraph();
    void endParagraph();
    void characters(std::string_view text);
    // text:s: `count` spaces; all but the first against the repeat budget.
    void spaces(std::uint64_t count);
    // text:tab, text:line-break.
    void put(char16_t c);
    // A text taken as it is, from an attribute.
    void verbatim(std::string_view text);

    // The text since begin().
    QStringView view();
    // Ends the cell's text in the table and returns its number.
    std::uint32_t finish();
    // Drops the cell's text.
    void discard();

private:
    void flushSpace();

    StringTable &m_strings;
    RepeatBudget &m_budget;
    std::size_t m_start = 0;
    bool m_firstParagraph = true;
    bool m_atParagraphStart = true;
    bool m_pendingSpace = false;
};
