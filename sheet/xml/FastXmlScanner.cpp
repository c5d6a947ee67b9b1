#include "sheet/xml/FastXmlScanner.h"

#include "sheet/xml/XmlByteClasses.h"

#include <cstring>

using namespace XmlByteClasses;

namespace {

// Bytes after the buffer's NUL that may be read: names are compared eight bytes at a time.
constexpr std::size_t Padding = 16;

// A start tag or declaration not complete within this many bytes sends the document to expat:
// the scanner reads each construct again from its start when a piece ends inside it.
constexpr std::size_t LongestConstruct = std::size_t(1) << 20;

constexpr std::string_view XmlSpace = "http://www.w3.org/XML/1998/namespace";
constexpr std::string_view XmlnsSpace = "http://www.w3.org/2000/xmlns/";

// The length of the UTF-8 sequence at `p` when it is a well-formed XML character; 0 when the
// bytes end before it does, -1 when it is no such character (expat refuses what this refuses).
int utf8Sequence(const char *from, const char *end)
{
    const auto *p = reinterpret_cast<const std::uint8_t *>(from);
    const unsigned b = p[0];
    int n;
    unsigned low = 0x80;
    unsigned high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        n = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        n = 3;
        if (b == 0xE0)
            low = 0xA0;
        else if (b == 0xED)
            high = 0x9F; // no surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4;
        if (b == 0xF0)
            low = 0x90;
        else if (b == 0xF4)
            high = 0x8F;
    } else {
        return -1;
    }
    for (int i = 1; i < n; ++i) {
        if (from + i == end)
            return 0;
        const unsigned c = p[i];
        if (i == 1 ? (c < low || c > high) : (c & 0xC0) != 0x80)
            return -1;
    }
    if (b == 0xEF && p[1] == 0xBF && (p[2] == 0xBE || p[2] == 0xBF))
        return -1; // U+FFFE and U+FFFF are no XML characters
    return n;
}

bool isXmlChar(std::uint32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

int encodeUtf8(std::uint32_t c, char *out)
{
    if (c < 0x80) {
        out[0] = char(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = char(0xC0 | (c >> 6));
        out[1] = char(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = char(0xE0 | (c >> 12));
        out[1] = char(0x80 | ((c >> 6) & 0x3F));
        out[2] = char(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = char(0xF0 | (c >> 18));
    out[1] = char(0x80 | ((c >> 12) & 0x3F));
    out[2] = char(0x80 | ((c >> 6) & 0x3F));
    out[3] = char(0x80 | (c & 0x3F));
    return 4;
}

// Whether `word` follows at `p`: 1 yes, 0 no, -1 the bytes end first. The buffer's NUL after
// its last byte never matches, so this never reads past it.
int wordFollows(const char *p, const char *end, std::string_view word)
{
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (p + i == end)
            return -1;
        if (p[i] != word[i])
            return 0;
    }
    return 1;
}

// Whether the first `n` bytes (n <= 16) of `a` and `b` are the same; both must have 16 bytes
// that may be read. Names are short, and a call into the library costs more than they do.
bool sameShort(const char *a, const char *b, std::size_t n)
{
    std::uint64_t a0, a1, b0, b1;
    std::memcpy(&a0, a, 8);
    std::memcpy(&a1, a + 8, 8);
    std::memcpy(&b0, b, 8);
    std::memcpy(&b1, b + 8, 8);
    std::uint64_t d0 = a0 ^ b0;
    std::uint64_t d1 = a1 ^ b1;
    if (n < 8) {
        d0 &= (std::uint64_t(1) << (8 * n)) - 1;
        d1 = 0;
    } else if (n < 16) {
        d1 &= n == 8 ? 0 : (std::uint64_t(1) << (8 * (n - 8))) - 1;
    }
    return (d0 | d1) == 0;
}

// A name with at most one colon, neither first nor last: where it ends, and its colon's
// position in `colon` (0 for none). Null when the name is malformed; `end` when the bytes end
// right after a colon, before it can tell.
const char *qualifiedName(const char *p, const char *end, std::uint32_t &colon)
{
    const char *const start = p;
    colon = 0;
    for (;;) {
        while (isOfClass(*p, NameChar))
            ++p;
        if (*p != ':')
            return p;
        if (p + 1 == end)
            return end;
        if (colon != 0 || !isOfClass(p[1], NameStart))
            return nullptr;
        colon = std::uint32_t(p - start);
        ++p;
    }
}

} // namespace

FastXmlScanner::FastXmlScanner(XmlHandler &handler)
    : m_handler(handler)
{
    m_buffer.assign(1 + Padding, '\0');
    m_end = m_buffer.data();
    m_attributes.reserve(16);
    m_raw.reserve(16);
}

bool FastXmlScanner::feed(std::span<const char> piece)
{
    // What is left of the last piece goes to the front, the new one after it, and a NUL after
    // that, at which every loop below stops.
    const std::size_t left = m_size - m_pos;
    if (m_pos > 0 && left > 0)
        std::memmove(m_buffer.data(), m_buffer.data() + m_pos, left);
    m_size = left;
    m_pos = 0;
    if (m_buffer.size() < m_size + piece.size() + 1 + Padding)
        m_buffer.resize(std::max(m_buffer.size() * 2, m_size + piece.size() + 1 + Padding));
    if (!piece.empty())
        std::memcpy(m_buffer.data() + m_size, piece.data(), piece.size());
    m_size += piece.size();
    m_buffer[m_size] = '\0';
    m_end = m_buffer.data() + m_size;
    return scan(false) != Step::Outside;
}

bool FastXmlScanner::finish()
{
    if (feed({}) && scan(true) == Step::Done)
        return m_rootClosed && m_pos == m_size;
    return false;
}

bool FastXmlScanner::tooLong(const char *p) const
{
    return std::size_t(m_end - p) > LongestConstruct;
}

FastXmlScanner::Step FastXmlScanner::scan(bool last)
{
    const char *const base = m_buffer.data();
    if (!m_started) {
        const char *p = base + m_pos;
        const std::size_t size = m_size - m_pos;
        if (size < 6 && !last)
            return Step::NeedMore;
        if (size >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0) {
            m_pos += 3; // a byte order mark, as expat skips it
            p += 3;
            if (m_size - m_pos < 6 && !last)
                return Step::NeedMore;
        }
        if (wordFollows(p, m_end, "<?xml") == 1 && isOfClass(p[5], Space)) {
            const Step step = declaration(p);
            if (step != Step::Done)
                return step;
        }
        m_started = true;
    }
    for (;;) {
        const char *p = base + m_pos;
        Step step;
        if (*p == '<')
            step = markup(p);
        else if (p == m_end)
            return last ? Step::Done : Step::NeedMore;
        else
            step = text(p, last);
        if (step != Step::Done)
            return step;
    }
}

FastXmlScanner::Step FastXmlScanner::declaration(const char *p)
{
    const char *close = nullptr;
    for (const char *q = p + 5; q + 1 < m_end; ++q) {
        if (q[0] == '?' && q[1] == '>') {
            close = q;
            break;
        }
    }
    if (!close)
        return tooLong(p) ? Step::Outside : Step::NeedMore;
    // version, then optionally encoding (UTF-8 only) and standalone, in that order.
    const char *q = p + 5;
    const auto pseudoAttribute = [&q, close](std::string_view name, auto &&valueOk) {
        const char *r = skipSpace(q);
        if (r == q || std::size_t(close - r) < name.size() ||
            std::memcmp(r, name.data(), name.size()) != 0)
            return false;
        r = skipSpace(r + name.size());
        if (*r != '=')
            return false;
        r = skipSpace(r + 1);
        const char quote = *r;
        if (quote != '"' && quote != '\'')
            return false;
        const char *valueEnd = static_cast<const char *>(std::memchr(r + 1, quote, close - r - 1));
        if (!valueEnd || !valueOk(std::string_view(r + 1, std::size_t(valueEnd - r - 1))))
            return false;
        q = valueEnd + 1;
        return true;
    };
    const auto equalsNoCase = [](std::string_view a, std::string_view b) {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            const char c = a[i] >= 'A' && a[i] <= 'Z' ? char(a[i] - 'A' + 'a') : a[i];
            if (c != b[i])
                return false;
        }
        return true;
    };
    if (!pseudoAttribute("version", [](std::string_view v) { return v == "1.0"; }))
        return Step::Outside;
    pseudoAttribute("encoding", [&](std::string_view v) {
        return equalsNoCase(v, "utf-8") || equalsNoCase(v, "utf8");
    });
    pseudoAttribute("standalone", [](std::string_view v) { return v == "yes" || v == "no"; });
    if (skipSpace(q) != close)
        return Step::Outside;
    m_pos = std::size_t(close + 2 - m_buffer.data());
    return Step::Done;
}

FastXmlScanner::Step FastXmlScanner::markup(const char *p)
{
    const char next = p[1];
    if (next == '/')
        return endTag(p);
    if (isOfClass(next, NameStart)) {
        if (!m_open.empty()) {
            if (const std::size_t taken = m_handler.plainElement(p, m_defaultSpace)) {
                m_pos += taken;
                return Step::Done;
            }
        }
        return startTag(p);
    }
    if (p + 1 == m_end)
        return Step::NeedMore;
    return Step::Outside; // comments, CDATA, processing instructions, declarations
}

FastXmlScanner::Step FastXmlScanner::startTag(const char *p)
{
    if (m_rootClosed)
        return Step::Outside;
    const char *q = p + 1;
    const char *const name = q;
    std::uint32_t colon = 0;
    q = qualifiedName(q, m_end, colon);
    if (!q)
        return Step::Outside;
    const auto nameLength = std::uint32_t(q - name);
    m_raw.clear();
    m_values.clear();
    m_declarations = false;
    bool empty = false;
    for (;;) {
        const char *const beforeSpace = q;
        q = skipSpace(q);
        if (*q == '>') {
            ++q;
            break;
        }
        if (*q == '/' && q[1] == '>') {
            q += 2;
            empty = true;
            break;
        }
        if (q == m_end || (*q == '/' && q + 1 == m_end))
            return tooLong(p) ? Step::Outside : Step::NeedMore;
        if (q == beforeSpace || !isOfClass(*q, NameStart))
            return Step::Outside;
        RawAttribute &attribute = m_raw.emplace_back();
        attribute.name = q;
        q = qualifiedName(q, m_end, attribute.colon);
        if (!q)
            return Step::Outside;
        attribute.nameLength = std::uint32_t(q - attribute.name);
        m_declarations |= attribute.nameLength >= 5 && attribute.name[0] == 'x' &&
                          std::memcmp(attribute.name, "xmlns", 5) == 0;
        q = skipSpace(q);
        if (*q == '=')
            q = skipSpace(q + 1);
        else if (q != m_end)
            return Step::Outside;
        if (q == m_end)
            return tooLong(p) ? Step::Outside : Step::NeedMore;
        const Step step = attributeValue(q, attribute);
        if (step == Step::NeedMore && tooLong(p))
            return Step::Outside;
        if (step != Step::Done)
            return step;
    }
    m_pos = std::size_t(q - m_buffer.data());
    return openElement(name, nameLength, colon, empty) ? Step::Done : Step::Outside;
}

FastXmlScanner::Step FastXmlScanner::attributeValue(const char *&p, RawAttribute &attribute)
{
    const char quote = *p;
    if (quote != '"' && quote != '\'')
        return Step::Outside;
    const char *q = p + 1;
    const char *from = q;
    bool decoded = false;
    const auto decode = [&](const char *to) {
        if (!decoded) {
            attribute.valueBegin = std::uint32_t(m_values.size());
            decoded = true;
        }
        m_values.append(from, std::size_t(to - from));
    };
    for (;;) {
        while (isOfClass(*q, ValuePlain))
            ++q;
        const char c = *q;
        if (c == quote)
            break;
        if (q == m_end)
            return Step::NeedMore;
        switch (c) {
        case '"':
        case '\'':
            ++q; // the other quote
            continue;
        case '&': {
            decode(q);
            char chars[4];
            int length = 0;
            bool incomplete = false;
            if (!reference(q, chars, length, incomplete))
                return incomplete ? Step::NeedMore : Step::Outside;
            m_values.append(chars, std::size_t(length));
            from = q;
            continue;
        }
        case '\t':
        case '\n':
        case '\r':
            // White space in a value reads as a space; a CR LF pair as one.
            decode(q);
            if (c == '\r' && q + 1 == m_end)
                return Step::NeedMore;
            q += c == '\r' && q[1] == '\n' ? 2 : 1;
            m_values.push_back(' ');
            from = q;
            continue;
        default:
            break;
        }
        if (std::uint8_t(c) < 0x80)
            return Step::Outside; // '<' or a control character
        const int n = utf8Sequence(q, m_end);
        if (n < 0)
            return Step::Outside;
        if (n == 0)
            return Step::NeedMore;
        q += n;
    }
    if (decoded) {
        decode(q);
        attribute.value = nullptr;
        attribute.valueLength = std::uint32_t(m_values.size() - attribute.valueBegin);
    } else {
        attribute.value = from;
        attribute.valueLength = std::uint32_t(q - from);
    }
    p = q + 1;
    return Step::Done;
}

bool FastXmlScanner::reference(const char *&p, char *decoded, int &length, bool &incomplete) const
{
    // p is at '&'.
    const char *q = p + 1;
    incomplete = false;
    if (*q == '#') {
        ++q;
        const bool hex = *q == 'x';
        if (hex)
            ++q;
        std::uint32_t value = 0;
        const char *const digits = q;
        for (;; ++q) {
            const char c = *q;
            std::uint32_t digit;
            if (c >= '0' && c <= '9')
                digit = std::uint32_t(c - '0');
            else if (hex && c >= 'a' && c <= 'f')
                digit = std::uint32_t(c - 'a' + 10);
            else if (hex && c >= 'A' && c <= 'F')
                digit = std::uint32_t(c - 'A' + 10);
            else
                break;
            value = value * (hex ? 16 : 10) + digit;
            if (q - digits > 8)
                return false; // leading zeros by the dozen: expat's business
        }
        if (q == m_end) {
            incomplete = true;
            return false;
        }
        if (*q != ';' || q == digits || !isXmlChar(value))
            return false;
        length = encodeUtf8(value, decoded);
        p = q + 1;
        return true;
    }
    static constexpr std::pair<std::string_view, char> Entities[] = {
        {"lt;", '<'}, {"gt;", '>'}, {"amp;", '&'}, {"quot;", '"'}, {"apos;", '\''}};
    for (const auto &[entity, c] : Entities) {
        const int follows = wordFollows(q, m_end, entity);
        if (follows == 1) {
            decoded[0] = c;
            length = 1;
            p = q + entity.size();
            return true;
        }
        if (follows < 0)
            incomplete = true;
    }
    return false;
}

bool FastXmlScanner::resolve(std::string_view prefix, std::string_view &space) const
{
    if (prefix == "xml") {
        space = XmlSpace;
        return true;
    }
    for (auto it = m_bindings.rbegin(); it != m_bindings.rend(); ++it) {
        if (it->prefix == prefix) {
            space = m_uris[it->uri];
            return !space.empty();
        }
    }
    return false;
}

bool FastXmlScanner::bindNamespaces()
{
    bool defaultChanged = false;
    for (const RawAttribute &attribute : m_raw) {
        const std::string_view name(attribute.name, attribute.nameLength);
        const bool isDefault = name == "xmlns";
        if (!isDefault && !(attribute.colon == 5 && name.substr(0, 5) == "xmlns"))
            continue;
        const std::string_view uri =
            attribute.value
                ? std::string_view(attribute.value, attribute.valueLength)
                : std::string_view(m_values).substr(attribute.valueBegin, attribute.valueLength);
        const std::string_view prefix = isDefault ? std::string_view() : name.substr(6);
        if (uri == XmlSpace || uri == XmlnsSpace || prefix == "xml" || prefix == "xmlns" ||
            (!isDefault && uri.empty()))
            return false;
        m_uris.emplace_back(uri);
        m_bindings.push_back({std::string(prefix), m_uris.size() - 1});
        defaultChanged |= isDefault;
    }
    if (defaultChanged) {
        std::string_view space;
        resolve({}, space);
        m_defaultSpace = space;
    }
    return true;
}

bool FastXmlScanner::openElement(const char *name, std::uint32_t nameLength, std::uint32_t colon,
                                 bool empty)
{
    for (std::size_t i = 0; i < m_raw.size(); ++i) {
        for (std::size_t j = i + 1; j < m_raw.size(); ++j) {
            const std::uint32_t length = m_raw[i].nameLength;
            if (length == m_raw[j].nameLength &&
                (length <= ShortName ? sameShort(m_raw[i].name, m_raw[j].name, length)
                                     : std::memcmp(m_raw[i].name, m_raw[j].name, length) == 0))
                return false;
        }
    }
    const auto bindingsBefore = std::uint32_t(m_bindings.size());
    if (m_declarations && !bindNamespaces())
        return false;

    XmlName element{m_defaultSpace, std::string_view(name, nameLength)};
    if (colon != 0) {
        const std::string_view prefix(name, colon);
        if (prefix == "xmlns" || !resolve(prefix, element.space))
            return false;
        element.local = element.local.substr(colon + 1);
    }
    m_attributes.clear();
    bool prefixed = false;
    for (const RawAttribute &attribute : m_raw) {
        const std::string_view qualified(attribute.name, attribute.nameLength);
        if (m_declarations &&
            (qualified == "xmlns" || (attribute.colon == 5 && qualified.substr(0, 5) == "xmlns")))
            continue;
        XmlAttribute &out = m_attributes.emplace_back();
        out.name.local = qualified;
        if (attribute.colon != 0) {
            if (!resolve(qualified.substr(0, attribute.colon), out.name.space))
                return false;
            out.name.local = qualified.substr(attribute.colon + 1);
            prefixed = true;
        }
        out.value = attribute.value ? std::string_view(attribute.value, attribute.valueLength)
                                    : std::string_view(m_values).substr(attribute.valueBegin,
                                                                        attribute.valueLength);
    }
    if (prefixed) {
        // Two prefixes for one namespace can still name one attribute twice.
        for (std::size_t i = 0; i < m_attributes.size(); ++i) {
            for (std::size_t j = i + 1; j < m_attributes.size(); ++j) {
                if (m_attributes[i].name.local == m_attributes[j].name.local &&
                    m_attributes[i].name.space == m_attributes[j].name.space)
                    return false;
            }
        }
    }

    m_rootSeen = true;
    m_handler.startElement(element, m_attributes);
    OpenElement &open = m_open.emplace_back();
    std::memcpy(open.shortName, name, ShortName); // the buffer has the bytes, and padding
    open.nameBegin = std::uint32_t(m_names.size());
    open.nameLength = nameLength;
    open.colon = colon;
    open.bindingsBefore = bindingsBefore;
    open.space = element.space;
    if (nameLength > ShortName)
        m_names.append(name, nameLength);
    if (empty)
        closeElement();
    return true;
}

void FastXmlScanner::closeElement()
{
    const OpenElement open = m_open.back();
    const std::uint32_t localBegin = open.colon != 0 ? open.colon + 1 : 0;
    const XmlName name{open.space, std::string_view(open.name(m_names) + localBegin,
                                                    open.nameLength - localBegin)};
    m_handler.endElement(name);
    if (open.nameLength > ShortName)
        m_names.resize(open.nameBegin);
    if (m_bindings.size() != open.bindingsBefore) {
        while (m_bindings.size() > open.bindingsBefore) {
            m_bindings.pop_back();
            m_uris.pop_back();
        }
        std::string_view space;
        resolve({}, space);
        m_defaultSpace = space;
    }
    m_open.pop_back();
    if (m_open.empty())
        m_rootClosed = true;
}

FastXmlScanner::Step FastXmlScanner::endTag(const char *p)
{
    if (m_open.empty())
        return Step::Outside;
    const OpenElement &open = m_open.back();
    const char *q = p + 2;
    if (std::size_t(m_end - q) <= open.nameLength)
        return tooLong(p) ? Step::Outside : Step::NeedMore;
    if (open.nameLength <= ShortName ? !sameShort(q, open.shortName, open.nameLength)
                                     : std::memcmp(q, open.name(m_names), open.nameLength) != 0)
        return Step::Outside;
    q = skipSpace(q + open.nameLength);
    if (*q != '>')
        return q == m_end ? Step::NeedMore : Step::Outside;
    m_pos = std::size_t(q + 1 - m_buffer.data());
    closeElement();
    return Step::Done;
}

void FastXmlScanner::report(const char *from, const char *to)
{
    if (to > from)
        m_handler.characters(std::string_view(from, std::size_t(to - from)));
}

FastXmlScanner::Step FastXmlScanner::text(const char *p, bool last)
{
    const char *const base = m_buffer.data();
    if (m_open.empty()) {
        // Before and after the document element only white space may stand.
        p = skipSpace(p);
        m_pos = std::size_t(p - base);
        return *p == '<' || p == m_end ? Step::Done : Step::Outside;
    }
    const char *from = p;
    for (;;) {
        while (isOfClass(*p, TextPlain))
            ++p;
        const char c = *p;
        if (c == '<' || p == m_end) {
            report(from, p);
            m_pos = std::size_t(p - base);
            return Step::Done;
        }
        switch (c) {
        case '&': {
            report(from, p);
            m_pos = std::size_t(p - base);
            char chars[4];
            int length = 0;
            bool incomplete = false;
            if (!reference(p, chars, length, incomplete))
                return incomplete && !last ? Step::NeedMore : Step::Outside;
            m_handler.characters(std::string_view(chars, std::size_t(length)));
            from = p;
            continue;
        }
        case ']':
            if (m_end - p < 3) {
                report(from, p);
                m_pos = std::size_t(p - base);
                return last ? Step::Outside : Step::NeedMore;
            }
            if (p[1] == ']' && p[2] == '>')
                return Step::Outside;
            ++p;
            continue;
        case '\r':
            // Line ends read as LF, as XML has them read.
            report(from, p);
            if (p + 1 == m_end) {
                m_pos = std::size_t(p - base);
                return last ? Step::Outside : Step::NeedMore;
            }
            if (p[1] != '\n')
                m_handler.characters("\n");
            from = ++p;
            continue;
        default:
            break;
        }
        if (std::uint8_t(c) < 0x80)
            return Step::Outside; // a control character, NUL among them
        const int n = utf8Sequence(p, m_end);
        if (n < 0)
            return Step::Outside;
        if (n == 0) {
            report(from, p);
            m_pos = std::size_t(p - base);
            return last ? Step::Outside : Step::NeedMore;
        }
        p += n;
    }
}
