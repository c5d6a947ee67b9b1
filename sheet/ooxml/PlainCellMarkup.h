#pragma once

#include "sheet/xml/XmlHandler.h"

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

// A worksheet's <c> element read straight from the part's bytes, when it is written the plain
// way spreadsheet programs write nearly every cell: unprefixed attributes with plain ASCII
// values, then <f> elements with such attributes and plain text, and <v> elements with plain
// text, nothing else. That costs about half of what the generic scanner and its events cost for
// the same cell. Whatever else a cell holds (references, other characters, other elements, a
// namespace declaration, markup that is not well-formed) makes read() give the element up, and
// the scanner reads it as usual; so this reads nothing differently from expat.
class PlainCellMarkup
{
public:
    // The bytes the element at `from` takes, from its '<' through its end, its parts read
    // into this; 0 when it is no such cell or is not complete before the NUL after the bytes.
    std::size_t read(const char *from);

    std::span<const XmlAttribute> attributes() const { return {m_attributes.data(), m_count}; }
    bool hasFormula() const { return m_formula; }
    bool hasValue() const { return m_hasValue; }
    std::string_view value() const { return m_value; } // the last <v>'s text

private:
    static constexpr std::size_t MostAttributes = 8;
    using Attributes = std::array<XmlAttribute, MostAttributes>;

    static const char *readAttributes(const char *p, Attributes &out, std::size_t &count,
                                      bool &empty);
    const char *readValue(const char *p);
    const char *readFormula(const char *p);

    Attributes m_attributes;
    std::size_t m_count = 0;
    bool m_formula = false;
    bool m_hasValue = false;
    std::string_view m_value;
};
