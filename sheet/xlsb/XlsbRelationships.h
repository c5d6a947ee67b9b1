#pragma once

#include <string>
#include <string_view>
#include <vector>

class ZipPackage;

// The relationships of one part of a package, read from the part's .rels part: how the
// workbook part is found from the package, and its sheets, styles and shared strings from it.
// Targets are resolved to part names ("xl/worksheets/sheet1.bin").
class XlsbRelationships
{
public:
    struct Relationship
    {
        std::string id;
        std::string type;   // the type URI's last segment: "worksheet", "styles", ...
        std::string target; // the part's name in the package
        bool external = false;
    };

    // The relationships of `sourcePart`, or of the package itself when it is empty; none when
    // the part has no .rels part. Malformed XML raises WorkbookError (Damaged).
    XlsbRelationships(const ZipPackage &package, const std::string &sourcePart);

    const Relationship *byId(std::string_view id) const;
    // The first internal relationship of this type.
    const Relationship *byType(std::string_view type) const;

    // `target` as a part name, seen from `sourcePart`: relative to its folder, or from the
    // package's root when it starts with "/"; "." and ".." segments resolved.
    static std::string resolve(const std::string &sourcePart, std::string_view target);

private:
    std::vector<Relationship> m_relationships;
};
