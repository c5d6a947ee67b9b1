#pragma once

#include <string_view>

// The namespaces of Excel's XML Spreadsheet 2003.
namespace Xml2003Names {

inline constexpr std::string_view Spreadsheet = "urn:schemas-microsoft-com:office:spreadsheet";
inline constexpr std::string_view Excel = "urn:schemas-microsoft-com:office:excel";

} // namespace Xml2003Names
