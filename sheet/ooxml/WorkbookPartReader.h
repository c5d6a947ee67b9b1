#pragma once

#include "sheet/xml/XmlHandler.h"

#include <QString>
#include <string>
#include <vector>

// Reads the workbook part (xl/workbook.xml): the sheets in their order, each with the
// relationship that leads to its part, and the date system.
class WorkbookPartReader : public XmlHandler
{
public:
    struct Sheet
    {
        QString name;
        std::string relationshipId;
    };

    const std::vector<Sheet> &sheets() const { return m_sheets; }
    bool date1904() const { return m_date1904; }

    void startElement(const XmlName &name, std::span<const XmlAttribute> attributes) override;
    void endElement(const XmlName &) override {}
    void characters(std::string_view) override {}

private:
    std::vector<Sheet> m_sheets;
    bool m_date1904 = false;
};
