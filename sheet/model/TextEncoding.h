#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// What the text formats (delimited text, web pages) need to know of their bytes before they are
// decoded: the byte-order mark a file starts with, and whether its bytes are UTF-8.
namespace TextEncoding {

enum class Unicode : std::uint8_t { None, Utf8, Utf16LE, Utf16BE };

struct ByteOrderMark
{
    Unicode encoding = Unicode::None;
    std::size_t size = 0; // bytes to skip
};

// The mark at the start of `bytes`, or {None, 0}.
ByteOrderMark FindByteOrderMark(std::span<const std::uint8_t> bytes);

// Whether `bytes` are well-formed UTF-8: no overlong forms, no surrogates, nothing above
// U+10FFFF, no sequence cut off at the end.
bool IsValidUtf8(std::span<const std::uint8_t> bytes);

} // namespace TextEncoding
