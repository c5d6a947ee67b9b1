#pragma once

#include <string_view>

// The names an OOXML workbook package is read by: namespaces, relationship types and content
// types, in both vocabularies ISO 29500 has, transitional (what Excel writes by default) and
// strict.
namespace OoxmlNames {

inline constexpr std::string_view SpreadsheetTransitional =
    "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
inline constexpr std::string_view SpreadsheetStrict =
    "http://purl.oclc.org/ooxml/spreadsheetml/main";
inline constexpr std::string_view RelationshipsTransitional =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
inline constexpr std::string_view RelationshipsStrict =
    "http://purl.oclc.org/ooxml/officeDocument/relationships";
inline constexpr std::string_view PackageRelationships =
    "http://schemas.openxmlformats.org/package/2006/relationships";
inline constexpr std::string_view ContentTypes =
    "http://schemas.openxmlformats.org/package/2006/content-types";

// The content types of a SpreadsheetML workbook part: workbook, macro-enabled workbook,
// template, macro-enabled template and add-in. The binary workbook (.xlsb) is not one.
inline constexpr std::string_view WorkbookContentTypes[] = {
    "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml",
    "application/vnd.ms-excel.sheet.macroEnabled.main+xml",
    "application/vnd.openxmlformats-officedocument.spreadsheetml.template.main+xml",
    "application/vnd.ms-excel.template.macroEnabled.main+xml",
    "application/vnd.ms-excel.addin.macroEnabled.main+xml",
};

inline bool isSpreadsheetNamespace(std::string_view space)
{
    return space == SpreadsheetTransitional || space == SpreadsheetStrict;
}

inline bool isRelationshipsNamespace(std::string_view space)
{
    return space == RelationshipsTransitional || space == RelationshipsStrict;
}

// Whether a relationship type is `kind` ("officeDocument", "worksheet", "sharedStrings",
// "styles") in either vocabulary.
inline bool isRelationshipType(std::string_view type, std::string_view kind)
{
    for (const std::string_view base : {RelationshipsTransitional, RelationshipsStrict}) {
        if (type.size() == base.size() + 1 + kind.size() && type.substr(0, base.size()) == base &&
            type[base.size()] == '/' && type.substr(base.size() + 1) == kind)
            return true;
    }
    return false;
}

} // namespace OoxmlNames
