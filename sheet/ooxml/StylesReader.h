#pragma once

#include "sheet/xml/XmlHandler.h"

#include <QHash>
#include <QString>
#include <vector>

// Reads the styles part: for each cell format (cellXfs), its number format, and from the
// custom number formats (numFmts) their codes; which cell formats show numbers as dates is
// judged by isDateTimeFormat, as for the legacy format.
class StylesReader : public XmlHandler
{
public:
    // For each cell format index, whether its numbers show as dates.
    std::vector<bool> dateStyles() const;

    void startElement(const XmlName &name, std::span<const XmlAttribute> attributes) override;
    void endElement(const XmlName &name) override;
    void characters(std::string_view) override {}

private:
    QHash<int, QString> m_formatCodes;
    std::vector<int> m_cellFormats; // number format id of each cell format
    bool m_inCellFormats = false;
    bool m_inNumberFormats = false; // not the differential formats' numFmt
};
