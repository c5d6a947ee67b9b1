#include "sheet/ooxml/PlainCellMarkup.h"

#include "sheet/xml/XmlByteClasses.h"

using namespace XmlByteClasses;

namespace {

// Plain text and then the end tag of the one-letter element `name`: past the end tag, or null.
const char *textThenEndTag(const char *p, char name, std::string_view &text)
{
    const char *const from = p;
    while (isOfClass(*p, TextPlain))
        ++p;
    if (p[0] != '<' || p[1] != '/' || p[2] != name)
        return nullptr;
    text = std::string_view(from, std::size_t(p - from));
    p = skipSpace(p + 3);
    return *p == '>' ? p + 1 : nullptr;
}

} // namespace

const char *PlainCellMarkup::readAttributes(const char *p, Attributes &out, std::size_t &count,
                                            bool &empty)
{
    count = 0;
    empty = false;
    for (;;) {
        const char *const beforeSpace = p;
        p = skipSpace(p);
        if (*p == '>')
            return p + 1;
        if (*p == '/') {
            empty = true;
            return p[1] == '>' ? p + 2 : nullptr;
        }
        // Attributes stand apart; a name goes on into the element's name otherwise.
        if (p == beforeSpace || !isOfClass(*p, NameStart) || count == out.size())
            return nullptr;
        const char *const name = p;
        while (isOfClass(*p, NameChar))
            ++p;
        const std::string_view local(name, std::size_t(p - name));
        if (*p == ':' || local.starts_with("xmlns"))
            return nullptr;
        p = skipSpace(p);
        if (*p != '=')
            return nullptr;
        p = skipSpace(p + 1);
        const char quote = *p;
        if (quote != '"' && quote != '\'')
            return nullptr;
        const char *const value = ++p;
        while (isOfClass(*p, ValuePlain))
            ++p;
        if (*p != quote)
            return nullptr;
        for (std::size_t i = 0; i < count; ++i) {
            if (out[i].name.local == local)
                return nullptr; // expat refuses an attribute given twice
        }
        out[count++] = XmlAttribute{{{}, local}, std::string_view(value, std::size_t(p - value))};
        ++p;
    }
}

const char *PlainCellMarkup::readValue(const char *p)
{
    m_hasValue = true;
    m_value = {};
    p = skipSpace(p);
    if (*p == '/')
        return p[1] == '>' ? p + 2 : nullptr;
    if (*p != '>')
        return nullptr;
    return textThenEndTag(p + 1, 'v', m_value);
}

const char *PlainCellMarkup::readFormula(const char *p)
{
    Attributes ignored;
    std::size_t count = 0;
    bool empty = false;
    p = readAttributes(p, ignored, count, empty);
    m_formula = true;
    std::string_view text;
    return p && !empty ? textThenEndTag(p, 'f', text) : p;
}

std::size_t PlainCellMarkup::read(const char *from)
{
    if (from[0] != '<' || from[1] != 'c')
        return 0;
    m_formula = false;
    m_hasValue = false;
    m_value = {};
    bool empty = false;
    const char *p = readAttributes(from + 2, m_attributes, m_count, empty);
    if (!p || empty)
        return p ? std::size_t(p - from) : 0;
    for (;;) {
        while (isOfClass(*p, TextPlain))
            ++p; // text between a cell's elements means nothing
        if (*p != '<')
            return 0;
        if (p[1] == '/') {
            if (p[2] != 'c')
                return 0;
            p = skipSpace(p + 3);
            return *p == '>' ? std::size_t(p + 1 - from) : 0;
        }
        if (p[1] == 'v')
            p = readValue(p + 2);
        else if (p[1] == 'f')
            p = readFormula(p + 2);
        else
            return 0;
        if (!p)
            return 0;
    }
}
