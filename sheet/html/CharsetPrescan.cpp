#include "sheet/html/CharsetPrescan.h"

#include "sheet/model/EncodingLabels.h"

#include <algorithm>
#include <array>
#include <set>

namespace {

using namespace std::string_view_literals;

constexpr std::size_t PrescanBytes = 1024;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

// The charset named in a content attribute's value ("text/html; charset=windows-1251").
std::string charsetOfContent(std::string_view content)
{
    std::size_t pos = 0;
    for (;;) {
        const std::size_t found = content.find("charset"sv, pos);
        if (found == std::string_view::npos)
            return {};
        pos = found + 7;
        while (pos < content.size() && isSpace(content[pos]))
            ++pos;
        if (pos < content.size() && content[pos] == '=')
            break;
    }
    ++pos;
    while (pos < content.size() && isSpace(content[pos]))
        ++pos;
    if (pos == content.size())
        return {};
    if (content[pos] == '"' || content[pos] == '\'') {
        const std::size_t close = content.find(content[pos], pos + 1);
        if (close == std::string_view::npos)
            return {};
        return std::string(content.substr(pos + 1, close - pos - 1));
    }
    std::size_t end = pos;
    while (end < content.size() && !isSpace(content[end]) && content[end] != ';')
        ++end;
    return std::string(content.substr(pos, end - pos));
}

} // namespace

std::optional<int> CharsetPrescan::codePageOfLabel(std::string_view label)
{
    const std::optional<int> codePage = EncodingLabels::codePageOfLabel(label);
    // A page that says it is UTF-16 in bytes that are not could only have meant UTF-8.
    if (codePage == 1200 || codePage == 1201)
        return Utf8;
    return codePage;
}

std::optional<int> CharsetPrescan::declaredCodePage(std::span<const std::uint8_t> bytes)
{
    return CharsetPrescan(bytes.first(std::min(bytes.size(), PrescanBytes))).scan();
}

CharsetPrescan::CharsetPrescan(std::span<const std::uint8_t> bytes)
    : m_bytes(bytes)
{
}

bool CharsetPrescan::at(std::string_view lowerCase) const
{
    if (m_bytes.size() - m_pos < lowerCase.size())
        return false;
    for (std::size_t i = 0; i < lowerCase.size(); ++i) {
        if (lower(char(m_bytes[m_pos + i])) != lowerCase[i])
            return false;
    }
    return true;
}

// Moves to the last character of the next `what`; false when there is none.
bool CharsetPrescan::skipTo(std::string_view what)
{
    while (!atEnd()) {
        if (at(what)) {
            m_pos += what.size() - 1;
            return true;
        }
        ++m_pos;
    }
    return false;
}

std::optional<int> CharsetPrescan::scan()
{
    for (; !atEnd(); ++m_pos) {
        if (at("<!--"sv)) {
            m_pos += 2; // "<!-->" closes the comment it opens
            if (!skipTo("-->"sv))
                return std::nullopt;
        } else if (at("<meta"sv) && m_pos + 5 < m_bytes.size() &&
                   (isSpace(char(m_bytes[m_pos + 5])) || m_bytes[m_pos + 5] == '/')) {
            m_pos += 5;
            if (const std::optional<int> codePage = meta())
                return codePage;
            if (atEnd())
                return std::nullopt;
        } else if (byte() == '<' && m_pos + 1 < m_bytes.size() &&
                   (isLetter(char(m_bytes[m_pos + 1])) ||
                    (m_bytes[m_pos + 1] == '/' && m_pos + 2 < m_bytes.size() &&
                     isLetter(char(m_bytes[m_pos + 2]))))) {
            skipTagName();
            while (attribute()) {
            }
            if (atEnd())
                return std::nullopt;
        } else if (at("<!"sv) || at("</"sv) || at("<?"sv)) {
            if (!skipTo(">"sv))
                return std::nullopt;
        }
    }
    return std::nullopt;
}

void CharsetPrescan::skipTagName()
{
    while (!atEnd() && !isSpace(byte()) && byte() != '>')
        ++m_pos;
}

// The attributes of a meta tag, from after its name; the code page it declares, if any.
std::optional<int> CharsetPrescan::meta()
{
    std::set<std::string> seen;
    bool gotPragma = false;
    std::optional<bool> needPragma;
    std::string charset;
    while (const std::optional<Attribute> attr = attribute()) {
        if (!seen.insert(attr->name).second)
            continue;
        if (attr->name == "http-equiv"sv) {
            gotPragma = gotPragma || attr->value == "content-type"sv;
        } else if (attr->name == "content"sv) {
            if (charset.empty()) {
                charset = charsetOfContent(attr->value);
                if (!charset.empty())
                    needPragma = true;
            }
        } else if (attr->name == "charset"sv) {
            charset = attr->value;
            needPragma = false;
        }
    }
    if (!needPragma || (*needPragma && !gotPragma) || charset.empty())
        return std::nullopt;
    return codePageOfLabel(charset);
}

// The next attribute of a tag, its name and value in lower case; none at the tag's ">" (where
// it stops) or at the end of the bytes.
std::optional<CharsetPrescan::Attribute> CharsetPrescan::attribute()
{
    while (!atEnd() && (isSpace(byte()) || byte() == '/'))
        ++m_pos;
    if (atEnd() || byte() == '>')
        return std::nullopt;
    Attribute attr;
    // The name: up to "=" (a name may start with one), white space, "/" or ">".
    for (;;) {
        if (atEnd())
            return std::nullopt;
        const char c = byte();
        if (c == '=' && !attr.name.empty())
            break;
        if (isSpace(c)) {
            while (!atEnd() && isSpace(byte()))
                ++m_pos;
            if (atEnd())
                return std::nullopt;
            if (byte() != '=')
                return attr;
            break;
        }
        if (c == '/' || c == '>')
            return attr;
        attr.name.push_back(lower(c));
        ++m_pos;
    }
    ++m_pos; // the "="
    while (!atEnd() && isSpace(byte()))
        ++m_pos;
    if (atEnd())
        return std::nullopt;
    const char first = byte();
    if (first == '"' || first == '\'') {
        for (++m_pos; !atEnd(); ++m_pos) {
            if (byte() == first) {
                ++m_pos;
                return attr;
            }
            attr.value.push_back(lower(byte()));
        }
        return std::nullopt;
    }
    if (first == '>')
        return attr;
    while (!atEnd() && !isSpace(byte()) && byte() != '>') {
        attr.value.push_back(lower(byte()));
        ++m_pos;
    }
    if (atEnd())
        return std::nullopt;
    return attr;
}
