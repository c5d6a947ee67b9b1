#include "sheet/xml/Utf8Text.h"

#include <cstdint>
#include <cstring>

void appendUtf8(StringTable::Buffer &out, std::string_view text)
{
    // A UTF-16 text never has more code units than its UTF-8 form has bytes.
    const std::size_t start = out.size();
    out.resize(start + text.size());
    char16_t *to = out.data() + start;
    const auto *p = reinterpret_cast<const std::uint8_t *>(text.data());
    const std::uint8_t *const end = p + text.size();
    while (p < end) {
        // Eight ASCII bytes at a time while there are some.
        if (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            if ((word & 0x8080808080808080ull) == 0) {
                for (int i = 0; i < 8; ++i)
                    to[i] = char16_t(p[i]);
                to += 8;
                p += 8;
                continue;
            }
        }
        const std::uint8_t b = *p;
        if (b < 0x80) {
            *to++ = char16_t(b);
            p += 1;
        } else if (b < 0xE0 && end - p >= 2) {
            *to++ = char16_t(((b & 0x1F) << 6) | (p[1] & 0x3F));
            p += 2;
        } else if (b < 0xF0 && end - p >= 3) {
            *to++ = char16_t(((b & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
            p += 3;
        } else if (end - p >= 4) {
            const char32_t c = char32_t(((b & 0x07) << 18) | ((p[1] & 0x3F) << 12) |
                                        ((p[2] & 0x3F) << 6) | (p[3] & 0x3F));
            *to++ = char16_t(0xD800 + ((c - 0x10000) >> 10));
            *to++ = char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
            p += 4;
        } else {
            // A sequence cut short: the parsers never hand one on; stand in for it.
            *to++ = u'\uFFFD';
            break;
        }
    }
    out.resize(std::size_t(to - out.data()));
}
