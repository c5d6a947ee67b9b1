#include "sheet/ooxml/PackageRelationships.h"

#include "sheet/ooxml/OoxmlNames.h"
#include "sheet/ooxml/PackagePart.h"
#include "sheet/package/ZipPackage.h"
#include "sheet/xml/XmlHandler.h"

namespace {

class RelationshipsHandler : public XmlHandler
{
public:
    RelationshipsHandler(std::string_view sourcePart,
                         std::vector<PackageRelationships::Relationship> &out)
        : m_sourcePart(sourcePart)
        , m_out(out)
    {
    }

    void startElement(const XmlName &name, std::span<const XmlAttribute> attributes) override
    {
        if (!name.is("Relationship"))
            return;
        const XmlAttribute *id = findAttribute(attributes, "Id");
        const XmlAttribute *type = findAttribute(attributes, "Type");
        const XmlAttribute *target = findAttribute(attributes, "Target");
        const XmlAttribute *mode = findAttribute(attributes, "TargetMode");
        if (!id || !type || !target)
            return;
        PackageRelationships::Relationship relationship{
            std::string(id->value), std::string(type->value), {}};
        if (!mode || mode->value != "External") {
            if (std::optional<std::string> part =
                    PackageRelationships::resolve(m_sourcePart, target->value))
                relationship.target = std::move(*part);
        }
        m_out.push_back(std::move(relationship));
    }
    void endElement(const XmlName &) override {}
    void characters(std::string_view) override {}

private:
    std::string_view m_sourcePart;
    std::vector<PackageRelationships::Relationship> &m_out;
};

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::string PackageRelationships::decodedName(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            out.push_back(char(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i] == '\\' ? '/' : text[i]);
        }
    }
    return out;
}

PackageRelationships PackageRelationships::read(const ZipPackage &package,
                                                std::string_view sourcePart)
{
    PackageRelationships relationships;
    const std::string part = relationshipsPart(sourcePart);
    const std::optional<std::uint64_t> entry = package.find(part);
    if (!entry)
        return relationships;
    RelationshipsHandler handler(sourcePart, relationships.m_relationships);
    PackagePart::parseWithExpat(package, *entry, part, handler);
    return relationships;
}

const PackageRelationships::Relationship *PackageRelationships::byId(std::string_view id) const
{
    for (const Relationship &relationship : m_relationships) {
        if (relationship.id == id)
            return &relationship;
    }
    return nullptr;
}

const PackageRelationships::Relationship *
PackageRelationships::firstOfKind(std::string_view kind) const
{
    for (const Relationship &relationship : m_relationships) {
        if (OoxmlNames::isRelationshipType(relationship.type, kind))
            return &relationship;
    }
    return nullptr;
}

std::string PackageRelationships::relationshipsPart(std::string_view sourcePart)
{
    const std::size_t slash = sourcePart.rfind('/');
    const std::string_view folder =
        slash == std::string_view::npos ? std::string_view() : sourcePart.substr(0, slash + 1);
    const std::string_view file =
        slash == std::string_view::npos ? sourcePart : sourcePart.substr(slash + 1);
    return std::string(folder) + "_rels/" + std::string(file) + ".rels";
}

std::optional<std::string> PackageRelationships::resolve(std::string_view sourcePart,
                                                         std::string_view target)
{
    std::string path = decodedName(target);
    if (!path.empty() && path.front() == '/') {
        path.erase(0, 1);
    } else {
        const std::size_t slash = sourcePart.rfind('/');
        if (slash != std::string_view::npos)
            path.insert(0, sourcePart.substr(0, slash + 1));
    }
    std::vector<std::string_view> segments;
    std::string_view rest(path);
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view segment = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (segment.empty() || segment == ".")
            continue;
        if (segment == "..") {
            if (segments.empty())
                return std::nullopt;
            segments.pop_back();
            continue;
        }
        segments.push_back(segment);
    }
    std::string resolved;
    for (const std::string_view segment : segments) {
        if (!resolved.empty())
            resolved.push_back('/');
        resolved.append(segment);
    }
    return resolved;
}
