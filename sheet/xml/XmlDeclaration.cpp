#include "sheet/xml/XmlDeclaration.h"

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

} // namespace

namespace XmlDeclaration {

std::size_t leadingJunk(std::string_view text)
{
    std::size_t at = 0;
    for (;;) {
        if (at < text.size() && isSpace(text[at]))
            ++at;
        else if (text.substr(at, ByteOrderMark.size()) == ByteOrderMark)
            at += ByteOrderMark.size();
        else
            return at;
    }
}

std::optional<std::string_view> Encoding(std::string_view text)
{
    text.remove_prefix(leadingJunk(text));
    if (!text.starts_with("<?xml") || text.size() < 6 || !isSpace(text[5]))
        return std::nullopt;
    const std::size_t close = text.find("?>");
    if (close == std::string_view::npos)
        return std::nullopt;
    const std::string_view declaration = text.substr(0, close);
    std::size_t at = declaration.find("encoding");
    if (at == std::string_view::npos)
        return std::nullopt;
    at += 8;
    while (at < declaration.size() && isSpace(declaration[at]))
        ++at;
    if (at == declaration.size() || declaration[at] != '=')
        return std::nullopt;
    ++at;
    while (at < declaration.size() && isSpace(declaration[at]))
        ++at;
    if (at == declaration.size() || (declaration[at] != '"' && declaration[at] != '\''))
        return std::nullopt;
    const std::size_t end = declaration.find(declaration[at], at + 1);
    if (end == std::string_view::npos)
        return std::nullopt;
    return declaration.substr(at + 1, end - at - 1);
}

} // namespace XmlDeclaration
