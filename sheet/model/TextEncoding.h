#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// What the text formats (delimited text, web pages) need to know of their bytes before they are
// decoded: the byte-order mark a file starts with, whether its bytes are UTF-8, and the code
// page of text that declares none.
namespace TextEncoding {

enum class Unicode : std::uint8_t { None, Utf8, Utf16LE, Utf16BE };

struct ByteOrderMark
{
    Unicode encoding = Unicode::None;
    std::size_t size = 0; // bytes to skip
};

// The mark at the start of `bytes`, or {None, 0}.
ByteOrderMark findByteOrderMark(std::span<const std::uint8_t> bytes);

// Whether `bytes` are well-formed UTF-8: no overlong forms, no surrogates, nothing above
// U+10FFFF, no sequence cut off at the end.
bool isValidUtf8(std::span<const std::uint8_t> bytes);

// UTF-16 without a byte-order mark, told by its zero bytes: the high bytes of the ASCII
// characters (digits, separators, line ends) that nearly every text holds. LE when zeros
// stand at odd places and hardly ever at even ones, BE the other way round; None otherwise.
Unicode findUtf16ByZeros(std::span<const std::uint8_t> bytes);

// The code page of text that declares none: UTF-16 (1200 LE, 1201 BE) by its zero bytes,
// UTF-8 (65001) when the bytes are valid UTF-8, otherwise the single-byte code page uchardet
// finds, and Windows-1251 when it finds none.
int undeclaredCodePage(std::span<const std::uint8_t> bytes);

} // namespace TextEncoding
