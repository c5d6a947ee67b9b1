#include "sheet/model/TextEncoding.h"

#include <cstring>

namespace TextEncoding {

ByteOrderMark FindByteOrderMark(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)
        return {Unicode::Utf8, 3};
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE)
        return {Unicode::Utf16LE, 2};
    if (bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF)
        return {Unicode::Utf16BE, 2};
    return {};
}

bool IsValidUtf8(std::span<const std::uint8_t> bytes)
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
