#include "sheet/ooxml/PackageContentTypes.h"

#include "sheet/ooxml/OoxmlNames.h"
#include "sheet/ooxml/PackagePart.h"
#include "sheet/ooxml/PackageRelationships.h"
#include "sheet/package/ZipPackage.h"
#include "sheet/xml/XmlHandler.h"

#include <algorithm>
#include <functional>

namespace {

// Part names and content types compare without regard to ASCII case.
std::string lowered(std::string_view text)
{
    std::string out(text);
    for (char &c : out) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return out;
}

class ContentTypesHandler : public XmlHandler
{
public:
    using Add = std::function<void(bool isOverride, std::string key, std::string type)>;
    explicit ContentTypesHandler(Add add)
        : m_add(std::move(add))
    {
    }

    void startElement(const XmlName &name, std::span<const XmlAttribute> attributes) override
    {
        const XmlAttribute *type = findAttribute(attributes, "ContentType");
        if (!type)
            return;
        if (name.is("Override")) {
            if (const XmlAttribute *part = findAttribute(attributes, "PartName")) {
                std::string key = PackageRelationships::decodedName(part->value);
                if (!key.empty() && key.front() == '/')
                    key.erase(0, 1);
                m_add(true, lowered(key), lowered(type->value));
            }
        } else if (name.is("Default")) {
            if (const XmlAttribute *extension = findAttribute(attributes, "Extension"))
                m_add(false, lowered(extension->value), lowered(type->value));
        }
    }
    void endElement(const XmlName &) override {}
    void characters(std::string_view) override {}

private:
    Add m_add;
};

} // namespace

PackageContentTypes PackageContentTypes::read(const ZipPackage &package)
{
    PackageContentTypes types;
    const std::optional<std::uint64_t> entry = package.find("[Content_Types].xml");
    if (!entry)
        return types;
    ContentTypesHandler handler([&types](bool isOverride, std::string key, std::string type) {
        (isOverride ? types.m_overrides : types.m_defaults)
            .push_back({std::move(key), std::move(type)});
    });
    PackagePart::parseWithExpat(package, *entry, "[Content_Types].xml", handler);
    return types;
}

std::string PackageContentTypes::of(std::string_view part) const
{
    const std::string key = lowered(part);
    for (const Entry &entry : m_overrides) {
        if (entry.key == key)
            return entry.type;
    }
    const std::size_t dot = key.rfind('.');
    if (dot == std::string::npos || key.find('/', dot) != std::string::npos)
        return {};
    const std::string_view extension = std::string_view(key).substr(dot + 1);
    for (const Entry &entry : m_defaults) {
        if (entry.key == extension)
            return entry.type;
    }
    return {};
}

bool PackageContentTypes::namesWorkbook() const
{
    // Writers that give every .xml part the workbook's type by a Default and the other parts
    // theirs by Overrides are as valid as those that override the workbook part itself.
    const auto isWorkbook = [](const Entry &entry) {
        return isWorkbookType(entry.type);
    };
    return std::ranges::any_of(m_overrides, isWorkbook) ||
           std::ranges::any_of(m_defaults, isWorkbook);
}

bool PackageContentTypes::isWorkbookType(std::string_view contentType)
{
    const std::string type = lowered(contentType);
    for (const std::string_view known : OoxmlNames::WorkbookContentTypes) {
        if (type == lowered(known))
            return true;
    }
    return false;
}
