// The decoding layer on any bytes: an encoding label taken from the input's start (its first
// byte says how long), a code page number as a CODEPAGE record would give it, and the rest as
// text, decoded whole and in two pieces, its encoding detected, and read as the start of an
// XML document.
#include "sheet/model/EncodingLabels.h"
#include "sheet/model/TextDecoder.h"
#include "sheet/model/TextEncoding.h"
#include "sheet/xml/XmlDeclaration.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 3)
        return 0;
    const std::size_t labelSize = std::min<std::size_t>(data[0] % 32, size - 3);
    const std::string_view label(reinterpret_cast<const char *>(data + 1), labelSize);
    const int codePage = data[1 + labelSize] | data[2 + labelSize] << 8;
    const std::uint8_t *text = data + 3 + labelSize;
    const std::size_t textSize = size - 3 - labelSize;

    StringTable::Buffer out;
    EncodingLabels::codePageOfLabel(label);
    const TextDecoder declared = TextDecoder::forLabel(label);
    declared.append(out, text, textSize);
    const std::size_t half = textSize / 2;
    declared.appendPiece(out, text, half);
    declared.appendPiece(out, text + half, textSize - half);
    TextDecoder(codePage).append(out, text, textSize);
    TextDecoder(TextEncoding::undeclaredCodePage({text, textSize})).append(out, text, textSize);
    XmlDeclaration::Encoding(std::string_view(reinterpret_cast<const char *>(text), textSize));
    return 0;
}
