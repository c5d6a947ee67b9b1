#include "sheet/ods/ParagraphText.h"

#include "sheet/model/StringTable.h"
#include "sheet/ods/RepeatBudget.h"
#include "sheet/xml/Utf8Text.h"

namespace {

bool isXmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

ParagraphText::ParagraphText(StringTable &strings, RepeatBudget &budget)
    : m_strings(strings)
    , m_budget(budget)
{
}

void ParagraphText::begin()
{
    m_start = m_strings.buffer().size();
    m_firstParagraph = true;
    m_atParagraphStart = true;
    m_pendingSpace = false;
}

void ParagraphText::beginParagraph()
{
    if (!m_firstParagraph)
        m_strings.buffer().push_back(u'\n');
    m_firstParagraph = false;
    m_atParagraphStart = true;
    m_pendingSpace = false;
}

void ParagraphText::endParagraph()
{
    m_pendingSpace = false;
}

void ParagraphText::flushSpace()
{
    if (m_pendingSpace)
        m_strings.buffer().push_back(u' ');
    m_pendingSpace = false;
    m_atParagraphStart = false;
}

void ParagraphText::characters(std::string_view text)
{
    StringTable::Buffer &out = m_strings.buffer();
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = at;
        while (end < text.size() && !isXmlSpace(text[end]))
            ++end;
        if (end > at) {
            flushSpace();
            appendUtf8(out, text.substr(at, end - at));
        }
        at = end;
        while (at < text.size() && isXmlSpace(text[at]))
            ++at;
        if (at > end && !m_atParagraphStart)
            m_pendingSpace = true;
    }
}

void ParagraphText::spaces(std::uint64_t count)
{
    // The first space is the element's own; only the rest are spent.
    m_budget.spend(count > 0 ? count - 1 : 0);
    flushSpace();
    m_strings.buffer().resize(m_strings.buffer().size() + count, u' ');
}

void ParagraphText::put(char16_t c)
{
    flushSpace();
    m_strings.buffer().push_back(c);
}

void ParagraphText::verbatim(std::string_view text)
{
    appendUtf8(m_strings.buffer(), text);
}

QStringView ParagraphText::view()
{
    const StringTable::Buffer &chars = m_strings.buffer();
    return QStringView(chars.data() + m_start, qsizetype(chars.size() - m_start));
}

std::uint32_t ParagraphText::finish()
{
    return m_strings.finish();
}

void ParagraphText::discard()
{
    m_strings.discard();
}
