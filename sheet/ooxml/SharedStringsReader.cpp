#include "sheet/ooxml/SharedStringsReader.h"

#include "sheet/ooxml/OoxmlNames.h"

#include <algorithm>
#include <charconv>

namespace {

// The table's own count is only a hint, and a hostile one must not reserve gigabytes.
constexpr std::size_t MostReserved = std::size_t(1) << 21;

} // namespace

SharedStringsReader::SharedStringsReader(StringTable &strings)
    : m_strings(strings)
    , m_item(strings.buffer())
{
}

void SharedStringsReader::restart()
{
    m_strings = StringTable();
    m_item.reset();
    m_inItem = false;
}

void SharedStringsReader::startElement(const XmlName &name,
                                       std::span<const XmlAttribute> attributes)
{
    if (m_inItem) {
        m_item.startElement(name);
    } else if (name.is("si") && OoxmlNames::isSpreadsheetNamespace(name.space)) {
        m_inItem = true;
        m_item.reset();
    } else if (name.is("sst") && OoxmlNames::isSpreadsheetNamespace(name.space)) {
        if (const XmlAttribute *unique = findAttribute(attributes, "uniqueCount")) {
            std::size_t count = 0;
            std::from_chars(unique->value.data(), unique->value.data() + unique->value.size(),
                            count);
            m_strings.reserve(std::min(count, MostReserved), 0);
        }
    }
}

void SharedStringsReader::endElement(const XmlName &name)
{
    if (!m_inItem)
        return;
    if (name.is("si") && OoxmlNames::isSpreadsheetNamespace(name.space)) {
        m_strings.finish();
        m_inItem = false;
    } else {
        m_item.endElement(name);
    }
}

void SharedStringsReader::characters(std::string_view text)
{
    if (m_inItem)
        m_item.characters(text);
}
