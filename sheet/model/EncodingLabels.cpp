#include "sheet/model/EncodingLabels.h"

#include <algorithm>
#include <array>
#include <string>

namespace {

struct Encoding
{
    int codePage;
    std::string_view labels; // separated by single spaces
};

// The web's encodings and their labels; ISO-8859-1 and ASCII are read as Windows-1252, as
// browsers read them. "replacement" and "x-user-defined" are left out: no program writes them.
constexpr std::array Encodings = {
    Encoding{65001, "unicode-1-1-utf-8 unicode11utf8 unicode20utf8 utf-8 utf8 x-unicode20utf8"},
    Encoding{866, "866 cp866 csibm866 ibm866"},
    Encoding{28592, "csisolatin2 iso-8859-2 iso-ir-101 iso8859-2 iso88592 iso_8859-2 "
                    "iso_8859-2:1987 l2 latin2"},
    Encoding{28593, "csisolatin3 iso-8859-3 iso-ir-109 iso8859-3 iso88593 iso_8859-3 "
                    "iso_8859-3:1988 l3 latin3"},
    Encoding{28594, "csisolatin4 iso-8859-4 iso-ir-110 iso8859-4 iso88594 iso_8859-4 "
                    "iso_8859-4:1988 l4 latin4"},
    Encoding{28595, "csisolatincyrillic cyrillic iso-8859-5 iso-ir-144 iso8859-5 iso88595 "
                    "iso_8859-5 iso_8859-5:1988"},
    Encoding{28596, "arabic asmo-708 csiso88596e csiso88596i csisolatinarabic ecma-114 "
                    "iso-8859-6 iso-8859-6-e iso-8859-6-i iso-ir-127 iso8859-6 iso88596 "
                    "iso_8859-6 iso_8859-6:1987"},
    Encoding{28597, "csisolatingreek ecma-118 elot_928 greek greek8 iso-8859-7 iso-ir-126 "
                    "iso8859-7 iso88597 iso_8859-7 iso_8859-7:1987 sun_eu_greek"},
    Encoding{28598, "csiso88598e csisolatinhebrew hebrew iso-8859-8 iso-8859-8-e iso-ir-138 "
                    "iso8859-8 iso88598 iso_8859-8 iso_8859-8:1988 visual"},
    Encoding{38598, "csiso88598i iso-8859-8-i logical"},
    Encoding{28600, "csisolatin6 iso-8859-10 iso-ir-157 iso8859-10 iso885910 l6 latin6"},
    Encoding{28603, "iso-8859-13 iso8859-13 iso885913"},
    Encoding{28604, "iso-8859-14 iso8859-14 iso885914"},
    Encoding{28605, "csisolatin9 iso-8859-15 iso8859-15 iso885915 iso_8859-15 l9"},
    Encoding{28606, "iso-8859-16"},
    Encoding{20866, "cskoi8r koi koi8 koi8-r koi8_r"},
    Encoding{21866, "koi8-ru koi8-u"},
    Encoding{10000, "csmacintosh mac macintosh x-mac-roman"},
    Encoding{874, "dos-874 iso-8859-11 iso8859-11 iso885911 tis-620 windows-874"},
    Encoding{1250, "cp1250 windows-1250 x-cp1250"},
    Encoding{1251, "cp1251 windows-1251 x-cp1251"},
    Encoding{1252, "ansi_x3.4-1968 ascii cp1252 cp819 csisolatin1 ibm819 iso-8859-1 iso-ir-100 "
                   "iso8859-1 iso88591 iso_8859-1 iso_8859-1:1987 l1 latin1 us-ascii "
                   "windows-1252 x-cp1252"},
    Encoding{1253, "cp1253 windows-1253 x-cp1253"},
    Encoding{1254, "cp1254 csisolatin5 iso-8859-9 iso-ir-148 iso8859-9 iso88599 iso_8859-9 "
                   "iso_8859-9:1989 l5 latin5 windows-1254 x-cp1254"},
    Encoding{1255, "cp1255 windows-1255 x-cp1255"},
    Encoding{1256, "cp1256 windows-1256 x-cp1256"},
    Encoding{1257, "cp1257 windows-1257 x-cp1257"},
    Encoding{1258, "cp1258 windows-1258 x-cp1258"},
    Encoding{10007, "x-mac-cyrillic x-mac-ukrainian"},
    Encoding{936, "chinese csgb2312 csiso58gb231280 gb2312 gb_2312 gb_2312-80 gbk iso-ir-58 "
                  "x-gbk"},
    Encoding{54936, "gb18030"},
    Encoding{950, "big5 big5-hkscs cn-big5 csbig5 x-x-big5"},
    Encoding{20932, "cseucpkdfmtjapanese euc-jp x-euc-jp"},
    Encoding{50220, "csiso2022jp iso-2022-jp"},
    Encoding{932, "csshiftjis ms932 ms_kanji shift-jis shift_jis sjis windows-31j x-sjis"},
    Encoding{949, "cseuckr csksc56011987 euc-kr iso-ir-149 korean ks_c_5601-1987 "
                  "ks_c_5601-1989 ksc5601 ksc_5601 windows-949"},
    Encoding{1201, "unicodefffe utf-16be"},
    Encoding{1200, "csunicode iso-10646-ucs-2 ucs-2 unicode unicodefeff utf-16 utf-16le"},
};

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool hasLabel(std::string_view labels, std::string_view label)
{
    while (!labels.empty()) {
        const std::size_t space = labels.find(' ');
        if (labels.substr(0, space) == label)
            return true;
        labels.remove_prefix(space == std::string_view::npos ? labels.size() : space + 1);
    }
    return false;
}

} // namespace

namespace EncodingLabels {

std::optional<int> codePageOfLabel(std::string_view label)
{
    while (!label.empty() && isSpace(label.front()))
        label.remove_prefix(1);
    while (!label.empty() && isSpace(label.back()))
        label.remove_suffix(1);
    if (label.empty() || label.find(' ') != std::string_view::npos)
        return std::nullopt;
    std::string name(label);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c; });
    for (const Encoding &encoding : Encodings) {
        if (hasLabel(encoding.labels, name))
            return encoding.codePage;
    }
    return std::nullopt;
}

bool isSingleByte(int codePage)
{
    // The multi-byte ones: Unicode, and the East Asian double-byte code pages with their Mac
    // counterparts (Japanese, Chinese, Korean).
    constexpr std::array MultiByte = {65001, 65000, 1200,  1201,  932,   936,   949,   950,  1361,
                                      54936, 20932, 51932, 50220, 10001, 10002, 10003, 10008};
    return std::find(MultiByte.begin(), MultiByte.end(), codePage) == MultiByte.end();
}

} // namespace EncodingLabels
