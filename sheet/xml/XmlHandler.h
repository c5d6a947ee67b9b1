#pragma once

#include <cstddef>
#include <span>
#include <string_view>

// A name of the XML document, with its namespace resolved: the namespace's URI (empty for
// none) and the local part.
struct XmlName
{
    std::string_view space;
    std::string_view local;

    bool is(std::string_view wantedLocal) const { return local == wantedLocal; }
};

struct XmlAttribute
{
    XmlName name;
    std::string_view value; // with its references resolved, UTF-8
};

// What a streaming XML parser reports, in document order. Every view is valid only during the
// call. Text comes in UTF-8 with its references resolved, possibly in several pieces.
class XmlHandler
{
public:
    virtual ~XmlHandler() = default;

    virtual void startElement(const XmlName &name, std::span<const XmlAttribute> attributes) = 0;
    virtual void endElement(const XmlName &name) = 0;
    virtual void characters(std::string_view text) = 0;

    // Offered by FastXmlScanner at the start of each element inside the document element: a
    // handler that can read the whole element straight from its bytes (from its '<' on, a NUL
    // after the last byte read so far; unprefixed names in `defaultSpace`) takes it as
    // startElement() to endElement() would have, and returns how many bytes it took. It may take
    // only what is well-formed and means to expat what it means to the handler; 0 leaves the
    // element to the scanner.
    virtual std::size_t plainElement(const char *from, std::string_view defaultSpace)
    {
        (void)from;
        (void)defaultSpace;
        return 0;
    }

protected:
    XmlHandler() = default;
    XmlHandler(const XmlHandler &) = default;
    XmlHandler &operator=(const XmlHandler &) = default;
};

// Looks an attribute up by its local name (and namespace, when given).
inline const XmlAttribute *findAttribute(std::span<const XmlAttribute> attributes,
                                         std::string_view local, std::string_view space = {})
{
    for (const XmlAttribute &attribute : attributes) {
        if (attribute.name.local == local && (space.empty() || attribute.name.space == space))
            return &attribute;
    }
    return nullptr;
}
