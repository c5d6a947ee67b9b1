#pragma once

#include "sheet/xml/XmlHandler.h"

#include <string>

// What an XML parser reports, as one text to compare: elements with their resolved names and
// attributes, and text, adjacent pieces of it joined (parsers cut text where they like).
class XmlEventLog : public XmlHandler
{
public:
    void startElement(const XmlName &name, std::span<const XmlAttribute> attributes) override
    {
        log += "\n<" + std::string(name.space) + '|' + std::string(name.local);
        for (const XmlAttribute &attribute : attributes)
            log += " " + std::string(attribute.name.space) + '|' +
                   std::string(attribute.name.local) + "=[" + std::string(attribute.value) + ']';
        inText = false;
    }
    void endElement(const XmlName &name) override
    {
        log += "\n>" + std::string(name.space) + '|' + std::string(name.local);
        inText = false;
    }
    void characters(std::string_view text) override
    {
        if (!inText)
            log += "\nT";
        log.append(text);
        inText = true;
    }

    std::string log;
    bool inText = false;
};
