#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

// The start tag of an XML document's root element, read from the document's first bytes
// without a parser: what the XML-based workbook formats are recognised by. It skips white space
// and UTF-8 byte-order marks before the declaration, the XML declaration, processing instructions,
// comments, white space and a document type declaration (which is only passed over, never read),
// and resolves the namespace prefixes that the tag itself declares. The views point into the bytes
// given.
class XmlRootElement
{
public:
    // Nothing when the bytes do not begin like an XML document in UTF-8, or when the root's
    // start tag does not end within the first `limit` bytes.
    static std::optional<XmlRootElement> read(std::span<const std::uint8_t> bytes,
                                              std::size_t limit = 64 * 1024);

    // The namespace URI of the root (empty for none) and its local name.
    std::string_view space() const { return m_space; }
    std::string_view local() const { return m_local; }
    bool is(std::string_view space, std::string_view local) const
    {
        return m_space == space && m_local == local;
    }
    // An attribute's value as written (references are not resolved); an attribute without a
    // prefix has no namespace.
    std::optional<std::string_view> attribute(std::string_view space, std::string_view local) const;
    // Whether a document type declaration comes before the root.
    bool hasDoctype() const { return m_doctype; }
    // Where the root's start tag begins in the bytes.
    std::size_t offset() const { return m_offset; }

private:
    struct Attribute
    {
        std::string_view name; // as written, with its prefix
        std::string_view value;
    };

    std::optional<std::string_view> namespaceOf(std::string_view prefix) const;

    std::vector<Attribute> m_attributes;
    std::string_view m_space;
    std::string_view m_local;
    std::size_t m_offset = 0;
    bool m_doctype = false;
};
