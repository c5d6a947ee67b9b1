#pragma once

#include "sheet/xml/XmlHandler.h"

#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <vector>

// A streaming XML scanner for the plain documents spreadsheet programs write: elements,
// attributes, text, character and predefined entity references, namespaces, an XML
// declaration. It reports to the same handler interface as ExpatParser, with the same names,
// attribute values and text, four to eight times faster, which a sheet of a million rows needs.
//
// Whatever lies outside that plain subset (comments, processing instructions, CDATA sections,
// document type declarations, names that are not ASCII, malformed markup, bytes that are not
// XML characters, a start tag longer than a megabyte) stops it: feed() or finish() returns
// false, and the document is to be read again from its start with ExpatParser, whose outcome,
// cells or refusal, is then the only one that counts. The scanner never refuses a document
// itself; XmlPartParser does the restarting.
class FastXmlScanner
{
public:
    explicit FastXmlScanner(XmlHandler &handler);
    FastXmlScanner(const FastXmlScanner &) = delete;
    FastXmlScanner &operator=(const FastXmlScanner &) = delete;

    // The next piece of the document; false when the document is outside what this scanner
    // reads. Errors the handler raises go through as they are.
    bool feed(std::span<const char> piece);
    // After the last piece: false unless the document was complete and well-formed.
    bool finish();

private:
    enum class Step { Done, NeedMore, Outside };

    struct Binding
    {
        std::string prefix;
        std::size_t uri; // in m_uris
    };
    // The qualified name of an open element: in the element itself when it is short, as
    // nearly all are, otherwise in m_names.
    static constexpr std::size_t ShortName = 16;
    struct OpenElement
    {
        char shortName[ShortName];
        std::uint32_t nameBegin;
        std::uint32_t nameLength;
        std::uint32_t colon;
        std::uint32_t bindingsBefore;
        std::string_view space;

        const char *name(const std::string &names) const
        {
            return nameLength <= ShortName ? shortName : names.data() + nameBegin;
        }
    };
    // An attribute while its start tag is being read: views into the buffer or the decoded
    // values, made XmlAttributes once the tag is complete.
    struct RawAttribute
    {
        const char *name;
        std::uint32_t nameLength;
        std::uint32_t colon; // position of the prefix's colon in the name, 0 for none
        const char *value;   // in the buffer, or null when decoded into m_values
        std::uint32_t valueBegin;
        std::uint32_t valueLength;
    };

    Step scan(bool last);
    Step markup(const char *p);
    Step startTag(const char *p);
    Step endTag(const char *p);
    Step declaration(const char *p);
    Step text(const char *p, bool last);
    Step attributeValue(const char *&p, RawAttribute &attribute);
    bool reference(const char *&p, char *decoded, int &length, bool &incomplete) const;
    bool openElement(const char *name, std::uint32_t nameLength, std::uint32_t colon, bool empty);
    bool bindNamespaces();
    bool resolve(std::string_view prefix, std::string_view &space) const;
    void closeElement();
    void report(const char *from, const char *to);
    bool tooLong(const char *p) const;

    XmlHandler &m_handler;
    std::vector<char> m_buffer; // the unread bytes, and a NUL after them
    std::size_t m_size = 0;
    std::size_t m_pos = 0;
    const char *m_end = nullptr;

    bool m_started = false; // past the place of the XML declaration
    bool m_rootSeen = false;
    bool m_rootClosed = false;

    std::vector<OpenElement> m_open;
    std::string m_names;
    std::vector<Binding> m_bindings;
    std::deque<std::string> m_uris;
    std::string_view m_defaultSpace;

    std::vector<RawAttribute> m_raw;
    bool m_declarations = false; // an attribute of the tag may declare a namespace
    std::string m_values;
    std::vector<XmlAttribute> m_attributes;
};
