#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

// What the start of an XML document says before any parser reads it: how many bytes of white
// space and byte-order marks come before its first markup (spreadsheet programs read documents
// with such a start, which XML itself does not allow before a declaration), and the encoding
// its XML declaration names.
namespace XmlDeclaration {

// The bytes of white space and UTF-8 byte-order marks at the start of `text`.
std::size_t leadingJunk(std::string_view text);

// The encoding label of the declaration `text` starts with (after leadingJunk), if it has one
// and the declaration ends within `text`.
std::optional<std::string_view> Encoding(std::string_view text);

} // namespace XmlDeclaration
