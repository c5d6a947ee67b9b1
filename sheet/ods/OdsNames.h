#pragma once

#include <string_view>

// The OpenDocument namespaces and names the spreadsheet reader looks for.
namespace OdsNames {

inline constexpr std::string_view Office = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
inline constexpr std::string_view Table = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
inline constexpr std::string_view Text = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";
inline constexpr std::string_view Drawing = "urn:oasis:names:tc:opendocument:xmlns:drawing:1.0";
inline constexpr std::string_view Manifest = "urn:oasis:names:tc:opendocument:xmlns:manifest:1.0";
// LibreOffice's extension namespace, where it says that a formula's result is an error.
inline constexpr std::string_view CalcExtension =
    "urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0";

inline constexpr std::string_view SpreadsheetType =
    "application/vnd.oasis.opendocument.spreadsheet";

} // namespace OdsNames
