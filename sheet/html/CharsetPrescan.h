#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The encoding a web page declares for itself in a meta tag (<meta charset=...>, or
// http-equiv="content-type" with a content of "...; charset=..."), looked for in its first
// 1024 bytes the way browsers look before they parse: comments and the attributes of other tags
// are passed over. Answers with a code page number (EncodingLabels): 65001 for UTF-8, also
// what a page that declares UTF-16 in its bytes is read as.
class CharsetPrescan
{
public:
    static constexpr int Utf8 = 65001;

    // The code page of the first declaration whose encoding this reader knows, if any.
    static std::optional<int> declaredCodePage(std::span<const std::uint8_t> bytes);

    // The code page of an encoding label ("windows-1251", "KOI8-R", " utf-8 "), if known.
    static std::optional<int> codePageOfLabel(std::string_view label);

private:
    struct Attribute
    {
        std::string name;
        std::string value;
    };

    explicit CharsetPrescan(std::span<const std::uint8_t> bytes);

    std::optional<int> scan();
    std::optional<int> meta();
    std::optional<Attribute> attribute();
    void skipTagName();
    bool skipTo(std::string_view what);

    bool at(std::string_view lowerCase) const;
    bool atEnd() const { return m_pos >= m_bytes.size(); }
    char byte() const { return char(m_bytes[m_pos]); }

    std::span<const std::uint8_t> m_bytes;
    std::size_t m_pos = 0;
};
