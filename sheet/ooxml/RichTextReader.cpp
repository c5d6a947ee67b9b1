#include "sheet/ooxml/RichTextReader.h"

#include "sheet/ooxml/OoxmlNames.h"
#include "sheet/xml/Utf8Text.h"

#include <cstring>

namespace {

int hexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

} // namespace

void decodeCharacterEscapes(StringTable::Buffer &chars, std::size_t from)
{
    std::size_t to = from;
    const std::size_t size = chars.size();
    for (std::size_t i = from; i < size;) {
        if (chars[i] == u'_' && i + 6 < size && chars[i + 1] == u'x' && chars[i + 6] == u'_') {
            int value = 0;
            bool hex = true;
            for (std::size_t k = i + 2; k < i + 6 && hex; ++k) {
                const int digit = hexDigit(chars[k]);
                hex = digit >= 0;
                value = value * 16 + digit;
            }
            if (hex) {
                chars[to++] = char16_t(value);
                i += 7;
                continue;
            }
        }
        chars[to++] = chars[i++];
    }
    chars.resize(to);
}

void RichTextReader::startElement(const XmlName &name)
{
    if (!OoxmlNames::isSpreadsheetNamespace(name.space))
        return;
    if (name.is("rPh")) {
        ++m_phoneticDepth;
    } else if (name.is("t") && m_phoneticDepth == 0) {
        m_inText = true;
        m_textStart = m_out.size();
        m_escapes = false;
    }
}

void RichTextReader::endElement(const XmlName &name)
{
    if (!OoxmlNames::isSpreadsheetNamespace(name.space))
        return;
    if (name.is("rPh")) {
        --m_phoneticDepth;
    } else if (name.is("t") && m_inText) {
        m_inText = false;
        if (m_escapes)
            decodeCharacterEscapes(m_out, m_textStart);
    }
}

void RichTextReader::characters(std::string_view text)
{
    if (!m_inText)
        return;
    // Escapes are rare: a look for their '_' keeps most texts from the decoding pass.
    if (!m_escapes && std::memchr(text.data(), '_', text.size()))
        m_escapes = true;
    appendUtf8(m_out, text);
}
