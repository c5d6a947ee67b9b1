#pragma once

#include "sheet/model/StringTable.h"
#include "sheet/ooxml/RichTextReader.h"
#include "sheet/xml/XmlHandler.h"

// Reads the shared string table (xl/sharedStrings.xml) into a workbook's string table, in
// order, so that a cell's string number is its number in the table.
class SharedStringsReader : public XmlHandler
{
public:
    explicit SharedStringsReader(StringTable &strings);

    // Forgets what was read, for a part read again from its start.
    void restart();

    void startElement(const XmlName &name, std::span<const XmlAttribute> attributes) override;
    void endElement(const XmlName &name) override;
    void characters(std::string_view text) override;

private:
    StringTable &m_strings;
    RichTextReader m_item;
    bool m_inItem = false;
};
