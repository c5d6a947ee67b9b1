#include "sheet/xmldoc/XmlRootElement.h"

#include "sheet/xml/XmlDeclaration.h"

#include <algorithm>
#include <utility>

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Ends of names: anything that cannot be part of one in a start tag.
bool endsName(char c)
{
    return isSpace(c) || c == '=' || c == '>' || c == '/' || c == '<' || c == '"' || c == '\'';
}

// Reads the prologue and the root's start tag of a text; each step returns false when the
// text does not go on as XML does.
class Cursor
{
public:
    explicit Cursor(std::string_view text)
        : m_text(text)
    {
    }

    bool atEnd() const { return m_pos >= m_text.size(); }
    std::size_t position() const { return m_pos; }
    bool startsWith(std::string_view prefix) const
    {
        return m_text.substr(m_pos, prefix.size()) == prefix;
    }
    char peek() const { return atEnd() ? '\0' : m_text[m_pos]; }
    void advance(std::size_t count) { m_pos += count; }

    void skipSpace()
    {
        while (!atEnd() && isSpace(m_text[m_pos]))
            ++m_pos;
    }

    // Moves past the next `end`; false when there is none.
    bool skipPast(std::string_view end)
    {
        const std::size_t found = m_text.find(end, m_pos);
        if (found == std::string_view::npos)
            return false;
        m_pos = found + end.size();
        return true;
    }

    // A document type declaration from "<!DOCTYPE" to its closing '>', with an internal subset
    // in brackets and quoted literals passed over as they come.
    bool skipDoctype()
    {
        int brackets = 0;
        while (!atEnd()) {
            const char c = m_text[m_pos++];
            if (c == '"' || c == '\'') {
                const std::size_t close = m_text.find(c, m_pos);
                if (close == std::string_view::npos)
                    return false;
                m_pos = close + 1;
            } else if (c == '[') {
                ++brackets;
            } else if (c == ']') {
                --brackets;
            } else if (c == '>' && brackets <= 0) {
                return true;
            }
        }
        return false;
    }

    std::string_view name()
    {
        const std::size_t start = m_pos;
        while (!atEnd() && !endsName(m_text[m_pos]))
            ++m_pos;
        return m_text.substr(start, m_pos - start);
    }

    bool quoted(std::string_view &value)
    {
        const char quote = peek();
        if (quote != '"' && quote != '\'')
            return false;
        const std::size_t close = m_text.find(quote, m_pos + 1);
        if (close == std::string_view::npos)
            return false;
        value = m_text.substr(m_pos + 1, close - m_pos - 1);
        m_pos = close + 1;
        return true;
    }

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

std::pair<std::string_view, std::string_view> splitPrefix(std::string_view name)
{
    const std::size_t colon = name.find(':');
    if (colon == std::string_view::npos)
        return {{}, name};
    return {name.substr(0, colon), name.substr(colon + 1)};
}

} // namespace

std::optional<XmlRootElement> XmlRootElement::read(std::span<const std::uint8_t> bytes,
                                                   std::size_t limit)
{
    std::string_view text(reinterpret_cast<const char *>(bytes.data()),
                          std::min(bytes.size(), limit));
    // White space and byte-order marks, in any order, before the declaration.
    const std::size_t skipped = XmlDeclaration::leadingJunk(text);
    text.remove_prefix(skipped);
    Cursor at(text);
    XmlRootElement root;
    for (;;) {
        at.skipSpace();
        if (at.startsWith("<?")) {
            if (!at.skipPast("?>"))
                return std::nullopt;
        } else if (at.startsWith("<!--")) {
            if (!at.skipPast("-->"))
                return std::nullopt;
        } else if (at.startsWith("<!DOCTYPE")) {
            root.m_doctype = true;
            if (!at.skipDoctype())
                return std::nullopt;
        } else if (at.peek() == '<') {
            break;
        } else {
            return std::nullopt;
        }
    }
    root.m_offset = skipped + at.position();
    at.advance(1);
    const std::string_view tag = at.name();
    if (tag.empty())
        return std::nullopt;
    for (;;) {
        at.skipSpace();
        if (at.peek() == '>' || at.startsWith("/>"))
            break;
        const std::string_view name = at.name();
        at.skipSpace();
        if (name.empty() || at.peek() != '=')
            return std::nullopt;
        at.advance(1);
        at.skipSpace();
        std::string_view value;
        if (!at.quoted(value))
            return std::nullopt;
        root.m_attributes.push_back({name, value});
    }
    const auto [prefix, local] = splitPrefix(tag);
    const std::optional<std::string_view> space = root.namespaceOf(prefix);
    if (!space && !prefix.empty())
        return std::nullopt; // a prefix nothing here declares: undecidable from the tag alone
    root.m_space = space.value_or(std::string_view());
    root.m_local = local;
    return root;
}

std::optional<std::string_view> XmlRootElement::namespaceOf(std::string_view prefix) const
{
    for (const Attribute &attribute : m_attributes) {
        const auto [declaring, declared] = splitPrefix(attribute.name);
        if (prefix.empty() ? attribute.name == "xmlns" : declaring == "xmlns" && declared == prefix)
            return attribute.value;
    }
    return std::nullopt;
}

std::optional<std::string_view> XmlRootElement::attribute(std::string_view space,
                                                          std::string_view local) const
{
    for (const Attribute &attribute : m_attributes) {
        const auto [prefix, name] = splitPrefix(attribute.name);
        if (name != local || prefix == "xmlns")
            continue;
        if (prefix.empty() ? space.empty() : namespaceOf(prefix) == space)
            return attribute.value;
    }
    return std::nullopt;
}
