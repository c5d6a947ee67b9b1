#pragma once

#include "sheet/xml/XmlHandler.h"

#include <cstddef>

// Takes every event and only counts them: what a parser costs with nothing done with its
// events.
class NullXmlHandler : public XmlHandler
{
public:
    void startElement(const XmlName &, std::span<const XmlAttribute> attributes) override
    {
        elements += 1 + attributes.size();
    }
    void endElement(const XmlName &) override {}
    void characters(std::string_view text) override { chars += text.size(); }

    std::size_t elements = 0;
    std::size_t chars = 0;
};
