#pragma once

#include <cstdint>
#include <span>

// Whether bytes are a web page with a table, judged by how they begin: after a byte-order mark,
// white space, comments and an XML declaration (as Excel's own web pages have), a doctype of
// HTML or one of the tags a page starts with (html, head, body, table, meta, style); and
// somewhere a table tag. Text that merely starts with "<" (a CSV whose first field is "<5", say)
// is not taken.
class HtmlSignature
{
public:
    static bool matches(std::span<const std::uint8_t> bytes);
};
