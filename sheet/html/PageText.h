#pragma once

#include <QByteArray>
#include <cstdint>
#include <span>
#include <string_view>

// A web page's text in UTF-8, which the HTML parser reads, and the code page it came in. The
// encoding is the byte-order mark's, else the one the page declares in a meta tag, else the
// one TextEncoding::undeclaredCodePage finds. A page in UTF-8 is read where it lies; any other
// is converted, a megabyte at a time.
class PageText
{
public:
    explicit PageText(std::span<const std::uint8_t> bytes);
    PageText(const PageText &) = delete;
    PageText &operator=(const PageText &) = delete;

    std::string_view utf8() const { return m_text; }
    // Whether utf8() is a part of the bytes given, rather than a converted copy.
    bool isInput() const { return m_converted.isNull(); }
    int codePage() const { return m_codePage; }

private:
    void convert(std::span<const std::uint8_t> bytes);

    QByteArray m_converted;
    std::string_view m_text;
    int m_codePage = 0;
};
