#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class ZipPackage;

// The relationships of one part of an OOXML package (or of the package itself), read from its
// relationships part: which parts it refers to, by what identifier and of what type. Targets
// are resolved to the package's entry names.
class PackageRelationships
{
public:
    struct Relationship
    {
        std::string id;
        std::string type;
        std::string target; // an entry name of the package; empty for an external target
    };

    // The relationships of `sourcePart` ("" for the package's own); none when the part has no
    // relationships part. Malformed XML raises WorkbookError (Damaged).
    static PackageRelationships read(const ZipPackage &package, std::string_view sourcePart);

    const Relationship *byId(std::string_view id) const;
    // The first relationship of a kind ("officeDocument", "styles", ...), in either vocabulary.
    const Relationship *firstOfKind(std::string_view kind) const;

    // "xl/workbook.xml" -> "xl/_rels/workbook.xml.rels"; "" -> "_rels/.rels".
    static std::string relationshipsPart(std::string_view sourcePart);
    // A part name as URIs write it ("/xl/a%20b.xml"): %-escapes decoded, backslashes made
    // slashes.
    static std::string decodedName(std::string_view uri);
    // A target as written ("worksheets/sheet1.xml", "/xl/styles.xml", "../media/a%20b.png")
    // resolved against its source part; nothing when it climbs out of the package.
    static std::optional<std::string> resolve(std::string_view sourcePart, std::string_view target);

private:
    std::vector<Relationship> m_relationships;
};
