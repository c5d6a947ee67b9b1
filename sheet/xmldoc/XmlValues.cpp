#include "sheet/xmldoc/XmlValues.h"

#include "sheet/model/DateSerial.h"

#include <QStringView>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

std::string_view trimmed(std::string_view text)
{
    const auto isSpace = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n';
    };
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// Dates and durations are short and ASCII: they are widened on the stack for the date parser.
template<typename Parse>
auto withWideText(std::string_view text, Parse parse) -> decltype(parse(QStringView()))
{
    constexpr std::size_t Longest = 64;
    text = trimmed(text);
    if (text.size() > Longest)
        return std::nullopt;
    char16_t wide[Longest];
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (static_cast<unsigned char>(text[i]) >= 0x80)
            return std::nullopt;
        wide[i] = char16_t(text[i]);
    }
    return parse(QStringView(wide, qsizetype(text.size())));
}

} // namespace

std::optional<double> parseXmlNumber(std::string_view text)
{
    text = trimmed(text);
    if (text.starts_with('+'))
        text.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<std::uint64_t> parseXmlCount(std::string_view text)
{
    text = trimmed(text);
    if (text.empty())
        return std::nullopt;
    std::uint64_t count = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        const unsigned digit = unsigned(c - '0');
        if (count > (std::numeric_limits<std::uint64_t>::max() - digit) / 10)
            count = std::numeric_limits<std::uint64_t>::max();
        else
            count = count * 10 + digit;
    }
    return count;
}

std::optional<double> parseXmlDateTime(std::string_view text, bool date1904)
{
    return withWideText(
        text, [date1904](QStringView wide) { return DateSerial::fromIso8601(wide, date1904); });
}

std::optional<double> parseXmlDuration(std::string_view text)
{
    return withWideText(text, [](QStringView wide) { return DateSerial::fromIsoDuration(wide); });
}
