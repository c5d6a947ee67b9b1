#include "sheet/ooxml/StylesReader.h"

#include "sheet/model/ValueText.h"
#include "sheet/ooxml/OoxmlNames.h"

#include <charconv>
#include <limits>

namespace {

int formatId(std::span<const XmlAttribute> attributes)
{
    int id = 0;
    if (const XmlAttribute *attribute = findAttribute(attributes, "numFmtId")) {
        const std::string_view value = attribute->value;
        if (std::from_chars(value.data(), value.data() + value.size(), id).ec != std::errc())
            id = 0;
    }
    return id;
}

} // namespace

void StylesReader::startElement(const XmlName &name, std::span<const XmlAttribute> attributes)
{
    if (!OoxmlNames::isSpreadsheetNamespace(name.space))
        return;
    if (name.is("cellXfs")) {
        m_inCellFormats = true;
    } else if (name.is("numFmts")) {
        m_inNumberFormats = true;
    } else if (name.is("xf") && m_inCellFormats) {
        m_cellFormats.push_back(formatId(attributes));
    } else if (name.is("numFmt") && m_inNumberFormats) {
        if (const XmlAttribute *code = findAttribute(attributes, "formatCode"))
            m_formatCodes.insert(
                formatId(attributes),
                QString::fromUtf8(code->value.data(), qsizetype(code->value.size())));
    }
}

void StylesReader::endElement(const XmlName &name)
{
    if (!OoxmlNames::isSpreadsheetNamespace(name.space))
        return;
    if (name.is("cellXfs"))
        m_inCellFormats = false;
    else if (name.is("numFmts"))
        m_inNumberFormats = false;
}

std::vector<bool> StylesReader::dateStyles() const
{
    // A cell keeps its format's index in 16 bits; the last of them is no format's, so that a
    // larger index, which cells are given instead, never shows a date.
    const std::size_t count =
        std::min<std::size_t>(m_cellFormats.size(), std::numeric_limits<std::uint16_t>::max());
    std::vector<bool> isDate(count);
    for (std::size_t i = 0; i < count; ++i)
        isDate[i] = isDateTimeFormat(m_cellFormats[i], m_formatCodes.value(m_cellFormats[i]));
    return isDate;
}
