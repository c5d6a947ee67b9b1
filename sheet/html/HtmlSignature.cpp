#include "sheet/html/HtmlSignature.h"

#include "sheet/model/TextEncoding.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace {

using namespace std::string_view_literals;

// The ASCII characters of the text, whatever its Unicode form: a byte each in UTF-8 and the
// 8-bit code pages, a unit each in UTF-16, where a unit outside ASCII reads as 0x80.
class AsciiView
{
public:
    explicit AsciiView(std::span<const std::uint8_t> bytes)
    {
        const TextEncoding::ByteOrderMark mark = TextEncoding::findByteOrderMark(bytes);
        m_bytes = bytes.subspan(mark.size);
        if (mark.encoding == TextEncoding::Unicode::Utf16LE) {
            m_width = 2;
        } else if (mark.encoding == TextEncoding::Unicode::Utf16BE) {
            m_width = 2;
            m_low = 1;
        }
    }

    std::size_t size() const { return m_bytes.size() / m_width; }

    char operator[](std::size_t i) const
    {
        const std::size_t at = i * m_width;
        if (m_width == 2 && m_bytes[at + 1 - m_low] != 0)
            return char(0x80);
        return char(m_bytes[at + m_low]);
    }

    static char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c; }

    // Whether `word` (lower case) stands at `i`, in any case.
    bool startsWith(std::size_t i, std::string_view word) const
    {
        if (i + word.size() > size())
            return false;
        for (std::size_t k = 0; k < word.size(); ++k) {
            if (lower((*this)[i + k]) != word[k])
                return false;
        }
        return true;
    }

    // The first place at or after `i` where `word` stands, or size(); its first character has
    // no case.
    std::size_t find(std::size_t i, std::string_view word) const
    {
        while (i < size()) {
            if (m_width == 1) {
                const void *first = std::memchr(m_bytes.data() + i, word[0], m_bytes.size() - i);
                if (!first)
                    return size();
                i = std::size_t(static_cast<const std::uint8_t *>(first) - m_bytes.data());
            }
            if (startsWith(i, word))
                return i;
            ++i;
        }
        return size();
    }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_width = 1;
    std::size_t m_low = 0;
};

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Whether a tag name ends at `i`: a tag goes on with white space, "/" or ">".
bool endsName(const AsciiView &text, std::size_t i)
{
    return i < text.size() && (isSpace(text[i]) || text[i] == '/' || text[i] == '>');
}

bool startsWithTag(const AsciiView &text, std::size_t i, std::string_view name)
{
    return text.startsWith(i, name) && endsName(text, i + name.size());
}

// How far the start of a page is looked at: what comes before its first tag is short.
constexpr std::size_t Window = 4096;

bool startsLikePage(const AsciiView &text)
{
    static constexpr std::array PageTags = {"<html"sv,  "<head"sv, "<body"sv,
                                            "<table"sv, "<meta"sv, "<style"sv};
    const std::size_t end = std::min(text.size(), Window);
    std::size_t i = 0;
    while (i < end) {
        if (isSpace(text[i])) {
            ++i;
        } else if (text.startsWith(i, "<!--"sv)) {
            i = text.find(i + 4, "-->"sv) + 3;
        } else if (text.startsWith(i, "<?xml"sv)) {
            i = text.find(i + 5, "?>"sv) + 2;
        } else if (text.startsWith(i, "<!doctype"sv)) {
            std::size_t name = i + 9;
            while (name < end && isSpace(text[name]))
                ++name;
            return text.startsWith(name, "html"sv) && endsName(text, name + 4);
        } else {
            for (std::string_view tag : PageTags) {
                if (startsWithTag(text, i, tag))
                    return true;
            }
            return false;
        }
    }
    return false;
}

bool hasTable(const AsciiView &text)
{
    for (std::size_t i = text.find(0, "<table"sv); i < text.size();
         i = text.find(i + 6, "<table"sv)) {
        if (endsName(text, i + 6))
            return true;
    }
    return false;
}

} // namespace

bool HtmlSignature::matches(std::span<const std::uint8_t> bytes)
{
    const AsciiView text(bytes);
    return startsLikePage(text) && hasTable(text);
}
