#include "sheet/model/TextDecoder.h"

#include "sheet/model/EncodingLabels.h"

#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace {

constexpr int Fallback = 1252;

struct Named
{
    int codePage;
    const char *name;
};

// Code pages whose names follow no pattern; ICU's names unless marked as iconv's. The Mac
// code pages of East Asia read as the double-byte code pages they extend.
constexpr std::array Names = {
    Named{65001, "UTF-8"},
    Named{65000, "UTF-7"},
    Named{1200, "UTF-16LE"},
    Named{1201, "UTF-16BE"},
    Named{367, "US-ASCII"},
    Named{20127, "US-ASCII"},
    Named{54936, "GB18030"},
    Named{20932, "EUC-JP"},
    Named{51932, "EUC-JP"},
    Named{50220, "ISO-2022-JP"},
    Named{38598, "ISO-8859-8-I"},
    Named{20866, "KOI8-R"},
    Named{21866, "KOI8-U"},
    Named{10000, "macintosh"},
    Named{0x8000, "macintosh"},    // what Mac Excel writes for Mac Roman
    Named{0x8001, "windows-1252"}, // what Excel 2.1 writes for ANSI Latin I
    Named{10001, "Shift_JIS"},
    Named{10002, "Big5"},
    Named{10003, "EUC-KR"},
    Named{10006, "x-mac-greek"},
    Named{10007, "x-mac-cyrillic"},
    Named{10008, "GB2312"},
    Named{10017, "x-mac-cyrillic"}, // Mac Ukrainian, the later Mac Cyrillic
    Named{10029, "x-mac-centraleurroman"},
    Named{10081, "x-mac-turkish"},
};

// What only iconv decodes.
constexpr std::array IconvNames = {
    Named{1361, "JOHAB"},
    Named{10079, "MAC-IS"},
    Named{28606, "ISO-8859-16"},
};

template<std::size_t N>
const char *lookup(const std::array<Named, N> &names, int codePage)
{
    for (const Named &named : names) {
        if (named.codePage == codePage)
            return named.name;
    }
    return nullptr;
}

// ICU's name of a code page; empty when it has none.
std::string icuNameOf(int codePage)
{
    if (const char *name = lookup(Names, codePage))
        return name;
    if ((codePage >= 1250 && codePage <= 1258) || codePage == 874 || codePage == 932 ||
        codePage == 936 || codePage == 949 || codePage == 950)
        return "windows-" + std::to_string(codePage);
    if (codePage >= 28591 && codePage <= 28605)
        return "ISO-8859-" + std::to_string(codePage - 28590);
    if (codePage >= 437 && codePage <= 869)
        return "ibm-" + std::to_string(codePage); // the DOS code pages
    return {};
}

constexpr const char *Utf16Host =
    std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

} // namespace

// An iconv conversion to UTF-16 with the bytes of a character cut off at the end of a piece.
struct TextDecoder::Iconv
{
    explicit Iconv(const char *name)
        : handle(iconv_open(Utf16Host, name))
    {
    }
    ~Iconv()
    {
        if (handle != iconv_t(-1))
            iconv_close(handle);
    }
    Iconv(const Iconv &) = delete;
    Iconv &operator=(const Iconv &) = delete;

    void decode(StringTable::Buffer &out, const std::uint8_t *text, std::size_t size, bool whole)
    {
        std::string input = std::move(pending);
        pending.clear();
        input.append(reinterpret_cast<const char *>(text), size);
        const std::size_t start = out.size();
        out.resize(start + input.size() + 1);
        char *in = input.data();
        std::size_t inLeft = input.size();
        char *to = reinterpret_cast<char *>(out.data() + start);
        std::size_t toLeft = (out.size() - start) * sizeof(char16_t);
        iconv(handle, nullptr, nullptr, nullptr, nullptr);
        while (inLeft > 0) {
            if (iconv(handle, &in, &inLeft, &to, &toLeft) != std::size_t(-1))
                break;
            if (errno == EINVAL && !whole) {
                pending.assign(in, inLeft);
                break;
            }
            // Not text in the code page, or cut off: one replacement character per byte.
            const char16_t replacement = u'\uFFFD';
            std::memcpy(to, &replacement, sizeof replacement);
            to += sizeof replacement;
            toLeft -= sizeof replacement;
            ++in;
            --inLeft;
        }
        out.resize(std::size_t(reinterpret_cast<char16_t *>(to) - out.data()));
    }

    iconv_t handle;
    std::string pending;
};

TextDecoder::TextDecoder(int codePage)
    : TextDecoder(codePage, nullptr)
{
}

TextDecoder::TextDecoder(int codePage, const char *name)
    : m_codePage(codePage)
{
    if (const char *iconvName = name ? nullptr : lookup(IconvNames, codePage)) {
        m_iconv = std::make_unique<Iconv>(iconvName);
        if (m_iconv->handle != iconv_t(-1))
            return;
        m_iconv.reset();
    }
    const std::string icuName = name ? std::string(name) : icuNameOf(codePage);
    if (!icuName.empty())
        m_icu = QStringDecoder(icuName.c_str());
    if (!m_icu.isValid()) {
        m_valid = false;
        m_icu = QStringDecoder(icuNameOf(Fallback).c_str());
    }
}

TextDecoder TextDecoder::forLabel(std::string_view label)
{
    if (const std::optional<int> codePage = EncodingLabels::codePageOfLabel(label))
        return TextDecoder(*codePage);
    const std::string name(label);
    return TextDecoder(0, name.c_str());
}

TextDecoder::TextDecoder(TextDecoder &&) noexcept = default;
TextDecoder &TextDecoder::operator=(TextDecoder &&) noexcept = default;
TextDecoder::~TextDecoder() = default;

void TextDecoder::append(StringTable::Buffer &out, const std::uint8_t *text, std::size_t size) const
{
    decode(out, text, size, true);
}

void TextDecoder::appendPiece(StringTable::Buffer &out, const std::uint8_t *text,
                              std::size_t size) const
{
    decode(out, text, size, false);
}

void TextDecoder::decode(StringTable::Buffer &out, const std::uint8_t *text, std::size_t size,
                         bool whole) const
{
    if (m_iconv) {
        m_iconv->decode(out, text, size, whole);
        return;
    }
    if (whole)
        m_icu.resetState();
    // Straight into the buffer: the decoder says how much room the worst case takes.
    const std::size_t start = out.size();
    out.resize(start + std::size_t(m_icu.requiredSpace(qsizetype(size))));
    QChar *const to = reinterpret_cast<QChar *>(out.data() + start);
    const QChar *const last = m_icu.appendToBuffer(
        to, QByteArrayView(reinterpret_cast<const char *>(text), qsizetype(size)));
    out.resize(start + std::size_t(last - to));
}
