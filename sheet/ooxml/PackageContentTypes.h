#pragma once

#include <string>
#include <string_view>
#include <vector>

class ZipPackage;

// What [Content_Types].xml of an OOXML package says each part holds: a content type for each
// part named in an Override, and one for each file name extension in a Default.
class PackageContentTypes
{
public:
    // Empty when the package has no [Content_Types].xml; malformed XML raises WorkbookError
    // (Damaged).
    static PackageContentTypes read(const ZipPackage &package);

    // The content type of an entry ("xl/workbook.xml"), lower case; empty when none is given.
    std::string of(std::string_view part) const;
    // Whether an Override or a Default gives some part a SpreadsheetML workbook's content type.
    bool namesWorkbook() const;

    static bool isWorkbookType(std::string_view contentType);

private:
    struct Entry
    {
        std::string key; // part name without its leading slash, or extension; lower case
        std::string type;
    };
    std::vector<Entry> m_overrides;
    std::vector<Entry> m_defaults;
};
