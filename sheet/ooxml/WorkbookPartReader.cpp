#include "sheet/ooxml/WorkbookPartReader.h"

#include "sheet/ooxml/OoxmlNames.h"

void WorkbookPartReader::startElement(const XmlName &name, std::span<const XmlAttribute> attributes)
{
    if (!OoxmlNames::isSpreadsheetNamespace(name.space))
        return;
    if (name.is("sheet")) {
        Sheet sheet;
        if (const XmlAttribute *sheetName = findAttribute(attributes, "name"))
            sheet.name =
                QString::fromUtf8(sheetName->value.data(), qsizetype(sheetName->value.size()));
        for (const XmlAttribute &attribute : attributes) {
            if (attribute.name.is("id") &&
                OoxmlNames::isRelationshipsNamespace(attribute.name.space))
                sheet.relationshipId = attribute.value;
        }
        m_sheets.push_back(std::move(sheet));
    } else if (name.is("workbookPr")) {
        if (const XmlAttribute *date1904 = findAttribute(attributes, "date1904"))
            m_date1904 = date1904->value == "1" || date1904->value == "true";
    }
}
