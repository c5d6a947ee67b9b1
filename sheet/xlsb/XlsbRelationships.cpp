#include "sheet/xlsb/XlsbRelationships.h"

#include "sheet/package/ZipPackage.h"
#include "sheet/xml/ExpatParser.h"

namespace {

// Relationship parts are small; a bigger one is not one.
constexpr std::uint64_t RelationshipsLimit = std::uint64_t(16) << 20;

std::string relationshipsPart(const std::string &sourcePart)
{
    const std::size_t slash = sourcePart.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : sourcePart.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? sourcePart : sourcePart.substr(slash + 1);
    return folder + "_rels/" + name + ".rels";
}

class RelationshipsHandler : public XmlHandler
{
public:
    explicit RelationshipsHandler(const std::string &sourcePart,
                                  std::vector<XlsbRelationships::Relationship> &out)
        : m_sourcePart(sourcePart)
        , m_out(out)
    {
    }

    void startElement(const XmlName &name, std::span<const XmlAttribute> attributes) override
    {
        if (!name.is("Relationship"))
            return;
        const XmlAttribute *id = FindAttribute(attributes, "Id");
        const XmlAttribute *type = FindAttribute(attributes, "Type");
        const XmlAttribute *target = FindAttribute(attributes, "Target");
        if (!id || !type || !target)
            return;
        const XmlAttribute *mode = FindAttribute(attributes, "TargetMode");
        XlsbRelationships::Relationship relationship;
        relationship.id = id->value;
        const std::size_t slash = type->value.rfind('/');
        relationship.type = type->value.substr(slash == std::string_view::npos ? 0 : slash + 1);
        relationship.external = mode && mode->value == "External";
        if (!relationship.external)
            relationship.target = XlsbRelationships::resolve(m_sourcePart, target->value);
        m_out.push_back(std::move(relationship));
    }
    void endElement(const XmlName &) override {}
    void characters(std::string_view) override {}

private:
    const std::string &m_sourcePart;
    std::vector<XlsbRelationships::Relationship> &m_out;
};

} // namespace

XlsbRelationships::XlsbRelationships(const ZipPackage &package, const std::string &sourcePart)
{
    const std::string part = sourcePart.empty() ? "_rels/.rels" : relationshipsPart(sourcePart);
    const auto entry = package.find(part);
    if (!entry)
        return;
    RelationshipsHandler handler(sourcePart, m_relationships);
    ExpatParser parser(handler, QString::fromStdString(part));
    package.read(
        *entry, [&parser](std::span<const char> piece) { parser.feed(piece); }, {},
        RelationshipsLimit);
    parser.finish();
}

const XlsbRelationships::Relationship *XlsbRelationships::byId(std::string_view id) const
{
    for (const Relationship &relationship : m_relationships) {
        if (relationship.id == id)
            return &relationship;
    }
    return nullptr;
}

const XlsbRelationships::Relationship *XlsbRelationships::byType(std::string_view type) const
{
    for (const Relationship &relationship : m_relationships) {
        if (relationship.type == type && !relationship.external)
            return &relationship;
    }
    return nullptr;
}

std::string XlsbRelationships::resolve(const std::string &sourcePart, std::string_view target)
{
    std::vector<std::string> segments;
    if (target.empty() || target.front() != '/') {
        // Relative to the source part's folder.
        std::size_t start = 0;
        for (std::size_t slash; (slash = sourcePart.find('/', start)) != std::string::npos;
             start = slash + 1)
            segments.push_back(sourcePart.substr(start, slash - start));
    }
    std::size_t start = 0;
    while (start <= target.size()) {
        std::size_t slash = target.find('/', start);
        if (slash == std::string_view::npos)
            slash = target.size();
        const std::string_view segment = target.substr(start, slash - start);
        if (segment == "..") {
            if (!segments.empty())
                segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.emplace_back(segment);
        }
        start = slash + 1;
    }
    std::string name;
    for (const std::string &segment : segments)
        name += (name.empty() ? "" : "/") + segment;
    return name;
}
