#pragma once

#include <array>
#include <cstdint>

// What each byte may be in the plain XML the hand-written scanners read: where a name starts
// and goes on, white space, and the bytes that stand for themselves in text and in attribute
// values (ASCII only, without the bytes XML gives a meaning there or normalises). A NUL is in no
// class, so a loop over a class stops at the NUL the scanners put after their bytes.
namespace XmlByteClasses {

enum : std::uint8_t {
    NameStart = 1,
    NameChar = 2,
    Space = 4,
    TextPlain = 8,  // stands for itself in text
    ValuePlain = 16 // stands for itself in an attribute value
};

inline constexpr std::array<std::uint8_t, 256> Classes = [] {
    std::array<std::uint8_t, 256> classes{};
    for (int c = 'A'; c <= 'Z'; ++c)
        classes[c] = classes[c + 'a' - 'A'] = NameStart | NameChar;
    classes['_'] = NameStart | NameChar;
    for (int c = '0'; c <= '9'; ++c)
        classes[c] = NameChar;
    classes['.'] = classes['-'] = NameChar;
    for (const char c : {' ', '\t', '\n', '\r'})
        classes[std::uint8_t(c)] |= Space;
    for (int c = 0x20; c < 0x80; ++c) {
        if (c != '<' && c != '&' && c != ']')
            classes[c] |= TextPlain;
        if (c != '<' && c != '&' && c != '"' && c != '\'')
            classes[c] |= ValuePlain;
    }
    classes['\t'] |= TextPlain;
    classes['\n'] |= TextPlain;
    return classes;
}();

inline bool isOfClass(char c, std::uint8_t cls)
{
    return (Classes[std::uint8_t(c)] & cls) != 0;
}

inline const char *skipSpace(const char *p)
{
    while (isOfClass(*p, Space))
        ++p;
    return p;
}

} // namespace XmlByteClasses
