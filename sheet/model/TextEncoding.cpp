#include "sheet/model/TextEncoding.h"

#include "sheet/model/EncodingLabels.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <type_traits>
#include <uchardet.h>

namespace {

constexpr int Utf8 = 65001;
constexpr int Cyrillic = 1251;
// Enough text for the detectors; the rest of a large file would tell them nothing new.
constexpr std::size_t Sample = 256 * 1024;

// The single-byte code page uchardet finds in the bytes, if any.
std::optional<int> detectedSingleByte(std::span<const std::uint8_t> bytes)
{
    const std::unique_ptr<std::remove_pointer_t<uchardet_t>, void (*)(uchardet_t)> detector(
        uchardet_new(), uchardet_delete);
    if (!detector)
        return std::nullopt;
    const std::size_t size = std::min(bytes.size(), Sample);
    if (uchardet_handle_data(detector.get(), reinterpret_cast<const char *>(bytes.data()), size) !=
        0)
        return std::nullopt;
    uchardet_data_end(detector.get());
    const std::optional<int> codePage =
        EncodingLabels::codePageOfLabel(uchardet_get_charset(detector.get()));
    if (!codePage || !EncodingLabels::isSingleByte(*codePage))
        return std::nullopt;
    return codePage;
}

} // namespace

namespace TextEncoding {

ByteOrderMark findByteOrderMark(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)
        return {Unicode::Utf8, 3};
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE)
        return {Unicode::Utf16LE, 2};
    if (bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF)
        return {Unicode::Utf16BE, 2};
    return {};
}

bool isValidUtf8(std::span<const std::uint8_t> bytes)
{
    const std::uint8_t *p = bytes.data();
    const std::uint8_t *const end = p + bytes.size();
    while (p < end) {
        // Most text is ASCII: eight bytes at a time while none has its high bit set.
        while (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, sizeof word);
            if (word & 0x8080808080808080u)
                break;
            p += 8;
        }
        if (p == end)
            break;
        const std::uint8_t lead = *p;
        if (lead < 0x80) {
            ++p;
            continue;
        }
        std::size_t length;
        std::uint8_t low = 0x80, high = 0xBF; // the allowed range of the second byte
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0)
                low = 0xA0; // overlong
            else if (lead == 0xED)
                high = 0x9F; // surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0)
                low = 0x90; // overlong
            else if (lead == 0xF4)
                high = 0x8F; // above U+10FFFF
        } else {
            return false;
        }
        if (std::size_t(end - p) < length || p[1] < low || p[1] > high)
            return false;
        for (std::size_t i = 2; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
        }
        p += length;
    }
    return true;
}

} // namespace TextEncoding

namespace TextEncoding {

Unicode findUtf16ByZeros(std::span<const std::uint8_t> bytes)
{
    const std::size_t units = std::min(bytes.size(), Sample) / 2;
    std::size_t evenZeros = 0, oddZeros = 0;
    for (std::size_t i = 0; i < units; ++i) {
        if (bytes[2 * i] == 0 && bytes[2 * i + 1] == 0)
            return Unicode::None; // U+0000 is no text
        // Only the zero high bytes of ASCII characters count.
        evenZeros += bytes[2 * i] == 0 && bytes[2 * i + 1] < 0x80;
        oddZeros += bytes[2 * i + 1] == 0 && bytes[2 * i] < 0x80;
    }
    // At least one character in five ASCII, and the other place nearly free of zeros.
    const auto pattern = [units](std::size_t many, std::size_t few) {
        return many * 5 >= units && many >= 2 && few * 20 <= many;
    };
    if (pattern(oddZeros, evenZeros))
        return Unicode::Utf16LE;
    if (pattern(evenZeros, oddZeros))
        return Unicode::Utf16BE;
    return Unicode::None;
}

int undeclaredCodePage(std::span<const std::uint8_t> bytes)
{
    // UTF-16 first: ASCII and Cyrillic in UTF-16 are valid UTF-8 byte for byte.
    switch (findUtf16ByZeros(bytes)) {
    case Unicode::Utf16LE:
        return 1200;
    case Unicode::Utf16BE:
        return 1201;
    default:
        break;
    }
    if (isValidUtf8(bytes))
        return Utf8;
    return detectedSingleByte(bytes).value_or(Cyrillic);
}

} // namespace TextEncoding
