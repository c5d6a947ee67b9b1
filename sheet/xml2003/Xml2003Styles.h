#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The styles of an XML Spreadsheet 2003 document, as far as they decide how a number reads:
// each style's number format, its own or its parent's, and whether that shows a date or a
// time. A style is known by its number (a Cell's style) from the first time it is named,
// before or after its definition; "Default" is number 0.
class Xml2003Styles
{
public:
    Xml2003Styles();

    // Raises WorkbookError (Damaged) past 65,536 styles.
    std::uint16_t number(std::string_view id);
    void setParent(std::uint16_t style, std::string_view parentId);
    // A NumberFormat element; an empty format is the general one.
    void setFormat(std::uint16_t style, std::string_view format);

    // For each style number, whether numbers of that style show as dates.
    std::vector<bool> dateStyles() const;

private:
    struct Style
    {
        int parent = -1;
        bool hasFormat = false;
        bool showsDate = false;
    };

    std::unordered_map<std::string, std::uint16_t> m_numbers;
    std::vector<Style> m_styles;
};
