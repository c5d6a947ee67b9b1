#pragma once

#include <optional>
#include <string_view>

// The names text files, web pages and XML documents give their encodings: the labels of the
// web's encoding standard ("windows-1251", "latin2", "sjis", " UTF-8 "), matched without regard
// to case or surrounding white space, each answered with the number of its Windows code page
// (65001 for UTF-8, 1200 and 1201 for UTF-16 LE and BE, 54936 for GB18030).
namespace EncodingLabels {

std::optional<int> codePageOfLabel(std::string_view label);

// Whether every character of the code page is one byte.
bool isSingleByte(int codePage);

} // namespace EncodingLabels
