#include "sheet/html/CharsetPrescan.h"

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

struct Label
{
    std::string_view name;
    int codePage;
};

// The labels browsers know for the encodings this reader decodes; a page declaring UTF-16 is
// read as UTF-8, since its bytes could not have been read as they were otherwise.
constexpr std::array Labels = {
    Label{"utf-8"sv, 65001},
    Label{"utf8"sv, 65001},
    Label{"unicode-1-1-utf-8"sv, 65001},
    Label{"unicode11utf8"sv, 65001},
    Label{"unicode20utf8"sv, 65001},
    Label{"x-unicode20utf8"sv, 65001},
    Label{"utf-16"sv, 65001},
    Label{"utf-16le"sv, 65001},
    Label{"utf-16be"sv, 65001},
    Label{"unicode"sv, 65001},
    Label{"unicodefeff"sv, 65001},
    Label{"unicodefffe"sv, 65001},
    Label{"ucs-2"sv, 65001},
    Label{"csunicode"sv, 65001},
    Label{"iso-10646-ucs-2"sv, 65001},
    Label{"windows-1251"sv, 1251},
    Label{"cp1251"sv, 1251},
    Label{"x-cp1251"sv, 1251},
    Label{"windows-1252"sv, 1252},
    Label{"cp1252"sv, 1252},
    Label{"x-cp1252"sv, 1252},
    Label{"iso-8859-1"sv, 1252},
    Label{"iso8859-1"sv, 1252},
    Label{"iso88591"sv, 1252},
    Label{"iso_8859-1"sv, 1252},
    Label{"iso_8859-1:1987"sv, 1252},
    Label{"iso-ir-100"sv, 1252},
    Label{"latin1"sv, 1252},
    Label{"l1"sv, 1252},
    Label{"csisolatin1"sv, 1252},
    Label{"ibm819"sv, 1252},
    Label{"cp819"sv, 1252},
    Label{"ascii"sv, 1252},
    Label{"us-ascii"sv, 1252},
    Label{"ansi_x3.4-1968"sv, 1252},
    Label{"x-user-defined"sv, 1252},
    Label{"koi8-r"sv, 20866},
    Label{"koi8_r"sv, 20866},
    Label{"koi8"sv, 20866},
    Label{"koi"sv, 20866},
    Label{"cskoi8r"sv, 20866},
    Label{"koi8-u"sv, 21866},
    Label{"koi8-ru"sv, 21866},
    Label{"ibm866"sv, 866},
    Label{"cp866"sv, 866},
    Label{"866"sv, 866},
    Label{"csibm866"sv, 866},
    Label{"iso-8859-5"sv, 28595},
    Label{"iso8859-5"sv, 28595},
    Label{"iso88595"sv, 28595},
    Label{"iso_8859-5"sv, 28595},
    Label{"iso_8859-5:1988"sv, 28595},
    Label{"iso-ir-144"sv, 28595},
    Label{"cyrillic"sv, 28595},
    Label{"csisolatincyrillic"sv, 28595},
    Label{"x-mac-cyrillic"sv, 10007},
    Label{"x-mac-ukrainian"sv, 10007},
    Label{"macintosh"sv, 10000},
    Label{"mac"sv, 10000},
    Label{"x-mac-roman"sv, 10000},
    Label{"csmacintosh"sv, 10000},
};

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
    while (!label.empty() && isSpace(label.front()))
        label.remove_prefix(1);
    while (!label.empty() && isSpace(label.back()))
        label.remove_suffix(1);
    std::string name(label);
    std::transform(name.begin(), name.end(), name.begin(), lower);
    for (const Label &known : Labels) {
        if (known.name == name)
            return known.codePage;
    }
    return std::nullopt;
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
