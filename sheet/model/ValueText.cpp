#include "sheet/model/ValueText.h"

#include "sheet/model/DateSerial.h"
#include "sheet/model/LocaleTexts.h"
#include "sheet/model/TextBuilder.h"

#include <QLocale>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>

namespace {

constexpr int MaxDigits = 15;
constexpr int SmallestFixedExponent = -5;
constexpr std::int64_t SecondsPerDay = 86400;

constexpr std::array<std::uint64_t, 20> PowersOfTen = [] {
    std::array<std::uint64_t, 20> powers{};
    std::uint64_t power = 1;
    for (std::uint64_t &entry : powers) {
        entry = power;
        power *= 10;
    }
    return powers;
}();

// Writes the decimal digits of `value` to end just before `end`; returns where they start.
char16_t *writeDigits(char16_t *end, std::uint64_t value)
{
    while (value >= 100) {
        const std::size_t pair = std::size_t(value % 100) * 2;
        value /= 100;
        *--end = DecimalDigitPairs[pair + 1];
        *--end = DecimalDigitPairs[pair];
    }
    if (value >= 10) {
        *--end = DecimalDigitPairs[std::size_t(value) * 2 + 1];
        *--end = DecimalDigitPairs[std::size_t(value) * 2];
    } else {
        *--end = char16_t(u'0' + value);
    }
    return end;
}

void appendDigits(TextBuilder &text, std::uint64_t value)
{
    char16_t buffer[20];
    const char16_t *start = writeDigits(buffer + 20, value);
    text.append(start, buffer + 20 - start);
}

void appendZeros(TextBuilder &text, int count)
{
    for (int i = 0; i < count; ++i)
        text.append(u'0');
}

// Excel's elapsed-time codes: "[h]", "[mm]", "[ss]" and the like.
bool isElapsedTimeBracket(const QString &code, qsizetype open, qsizetype close)
{
    if (close - open < 2)
        return false;
    const QChar first = code.at(open + 1).toLower();
    if (first != u'h' && first != u'm' && first != u's')
        return false;
    for (qsizetype i = open + 2; i < close; ++i) {
        if (code.at(i).toLower() != first)
            return false;
    }
    return true;
}

// Excel's named formats, which XML Spreadsheet 2003 writes by name: whether each shows a
// date or a time. Their letters would read as date codes ("Fixed" has a d, "Currency" a y).
std::optional<bool> namedFormatShowsDate(const QString &format)
{
    static constexpr std::array<std::pair<std::u16string_view, bool>, 17> Names = {{
        {u"General Date", true},
        {u"Long Date", true},
        {u"Medium Date", true},
        {u"Short Date", true},
        {u"Long Time", true},
        {u"Medium Time", true},
        {u"Short Time", true},
        {u"General Number", false},
        {u"Currency", false},
        {u"Euro Currency", false},
        {u"Fixed", false},
        {u"Standard", false},
        {u"Percent", false},
        {u"Scientific", false},
        {u"Yes/No", false},
        {u"True/False", false},
        {u"On/Off", false},
    }};
    for (const auto &[name, date] : Names) {
        if (QStringView(format).compare(QStringView(name.data(), qsizetype(name.size())),
                                        Qt::CaseInsensitive) == 0)
            return date;
    }
    return std::nullopt;
}

bool isDateChar(QChar c)
{
    switch (c.unicode()) {
    case u'y':
    case u'Y':
    case u'm':
    case u'M':
    case u'd':
    case u'D':
    case u'h':
    case u'H':
    case u's':
    case u'S':
        return true;
    default:
        return false;
    }
}

// The significant digits of a positive finite number, at most 15 of them, correctly rounded
// (exact ties to even, like the C library's printf) and without trailing zeros, and the decimal
// exponent of the first one.
struct RoundedDigits
{
    std::uint64_t digits = 0; // `count` digits, the first one not zero
    int count = 0;
    int exponent = 0;
};

__extension__ using UInt128 = unsigned __int128;

// floor(log10(2^exponent)), for the small exponents it is used with.
constexpr int floorLog10OfPowerOfTwo(int exponent)
{
    return (exponent * 78913) >> 18;
}

// Rounds exactly in integers: with the double as mantissa * 2^-shift and 15 digits wanted from
// 10^exponent down, the digits are mantissa * 10^(14 - exponent) / 2^shift rounded, which fits
// in 128 bits for the magnitudes cells usually hold (1E-8 to 1E15, whole numbers aside). False
// for other magnitudes.
bool roundInIntegers(double magnitude, RoundedDigits &out)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &magnitude, sizeof bits);
    const int biasedExponent = int(bits >> 52);
    if (biasedExponent == 0)
        return false; // subnormal
    const std::uint64_t mantissa = (bits & ((std::uint64_t(1) << 52) - 1)) | std::uint64_t(1) << 52;
    const int shift = 1075 - biasedExponent;
    if (shift <= 0 || shift >= 128)
        return false;
    int exponent = floorLog10OfPowerOfTwo(52 - shift);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int scale = MaxDigits - 1 - exponent;
        if (scale < 0 || scale > 22)
            return false;
        // 10^22 * 2^53 is below 2^127; 10^19 is the largest power of ten in 64 bits.
        const UInt128 scaled =
            scale <= 19
                ? UInt128(mantissa) * PowersOfTen[std::size_t(scale)]
                : UInt128(mantissa * PowersOfTen[std::size_t(scale - 19)]) * PowersOfTen[19];
        const UInt128 whole = scaled >> shift;
        if (whole >= PowersOfTen[MaxDigits]) {
            ++exponent;
            continue;
        }
        if (whole < PowersOfTen[MaxDigits - 1]) {
            --exponent;
            continue;
        }
        const UInt128 rest = scaled - (whole << shift);
        const UInt128 half = UInt128(1) << (shift - 1);
        auto digits = std::uint64_t(whole);
        if (rest > half || (rest == half && (digits & 1) != 0))
            ++digits;
        if (digits == PowersOfTen[MaxDigits]) {
            digits = PowersOfTen[MaxDigits - 1];
            ++exponent;
        }
        int count = MaxDigits;
        for (const int step : {8, 4, 2, 1}) {
            if (digits % PowersOfTen[std::size_t(step)] == 0) {
                digits /= PowersOfTen[std::size_t(step)];
                count -= step;
            }
        }
        out = {digits, count, exponent};
        return true;
    }
    return false;
}

// The same from the standard library's "d.dddddddddddddde-xx", for any magnitude.
RoundedDigits roundWithToChars(double magnitude)
{
    char buffer[48];
    const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                                                      std::chars_format::scientific, MaxDigits - 1);
    RoundedDigits rounded;
    const char *p = buffer;
    for (; p != result.ptr && *p != 'e'; ++p) {
        if (*p != '.' && rounded.count < MaxDigits) {
            rounded.digits = rounded.digits * 10 + std::uint64_t(*p - '0');
            ++rounded.count;
        }
    }
    if (p != result.ptr)
        std::from_chars(p + (p[1] == '+' ? 2 : 1), result.ptr, rounded.exponent);
    while (rounded.count > 1 && rounded.digits % 10 == 0) {
        rounded.digits /= 10;
        --rounded.count;
    }
    return rounded;
}

RoundedDigits roundToMaxDigits(double magnitude)
{
    RoundedDigits rounded;
    if (!roundInIntegers(magnitude, rounded))
        rounded = roundWithToChars(magnitude);
    return rounded;
}

using DateSerial::CivilDate;
using DateSerial::civilFromDays;
using DateSerial::daysFromCivil;

void appendDate(TextBuilder &text, std::int64_t days, bool date1904, const LocaleTexts &locale)
{
    constexpr std::int64_t Day0Of1904 = daysFromCivil(1904, 1, 1);
    // Excel counts 1900 as a leap year: serial 60 is 29 February 1900, and every serial
    // before it is one day later than the calendar's count from 30 December 1899.
    constexpr std::int64_t Day0Of1900 = daysFromCivil(1899, 12, 30);
    constexpr std::int64_t fictitiousDay = 60;
    if (!date1904 && days == fictitiousDay) {
        locale.appendShortDate(text, 1900, 2, 29);
        return;
    }
    const std::int64_t base =
        date1904 ? Day0Of1904 : (days < fictitiousDay ? Day0Of1900 + 1 : Day0Of1900);
    const CivilDate date = civilFromDays(base + days);
    locale.appendShortDate(text, date.year, date.month, date.day);
}

} // namespace

QString numberText(double value, const QLocale &locale)
{
    return numberText(value, LocaleTexts::of(locale));
}

QString numberText(double value, const LocaleTexts &locale)
{
    TextBuilder text;
    appendNumberText(text, value, locale);
    return text.toString();
}

void appendNumberText(TextBuilder &text, double value, const LocaleTexts &locale)
{
    if (std::isnan(value))
        return text.append(u"NaN");
    if (std::isinf(value))
        return text.append(value < 0 ? QStringView(u"-INF") : QStringView(u"INF"));
    if (value == 0)
        return text.append(u'0');

    const double magnitude = std::fabs(value);
    if (value < 0)
        text.append(locale.negativeSign());

    // Whole numbers below 10^15 are the common case: no rounding, no separator.
    if (magnitude < 1e15 && double(std::int64_t(magnitude)) == magnitude) {
        appendDigits(text, std::uint64_t(magnitude));
        return;
    }

    const RoundedDigits rounded = roundToMaxDigits(magnitude);
    const int count = rounded.count;
    const int exponent = rounded.exponent;
    char16_t digitBuffer[MaxDigits];
    const char16_t *digits = writeDigits(digitBuffer + count, rounded.digits);
    const auto appendDigitRange = [&](int from, int to) {
        text.append(digits + from, to - from);
    };

    // Decided on the rounded value, so that 0.0000099999999999999999 reads "0,00001".
    const bool fixed = exponent < MaxDigits && exponent >= SmallestFixedExponent;
    if (!fixed) {
        appendDigitRange(0, 1);
        if (count > 1) {
            text.append(locale.decimalPoint());
            appendDigitRange(1, count);
        }
        text.append(u'E');
        if (exponent < 0)
            text.append(locale.negativeSign());
        appendDigits(text, std::uint64_t(std::abs(exponent)));
        return;
    }
    if (exponent >= 0) {
        const int integerDigits = exponent + 1;
        appendDigitRange(0, std::min(count, integerDigits));
        appendZeros(text, integerDigits - count);
        if (count > integerDigits) {
            text.append(locale.decimalPoint());
            appendDigitRange(integerDigits, count);
        }
    } else {
        text.append(u'0');
        text.append(locale.decimalPoint());
        appendZeros(text, -exponent - 1);
        appendDigitRange(0, count);
    }
}

bool isDateTimeFormat(int formatIndex, const QString &formatCode)
{
    if ((formatIndex >= 14 && formatIndex <= 22) || (formatIndex >= 45 && formatIndex <= 47))
        return true;
    if (const std::optional<bool> named = namedFormatShowsDate(formatCode))
        return *named;

    // Date codes have to outnumber the digit placeholders, so that a stray letter in a number
    // format does not make it a date.
    int dateChars = 0;
    int numberChars = 0;
    const qsizetype size = formatCode.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = formatCode.at(i);
        switch (c.unicode()) {
        case u'"': {
            const qsizetype close = formatCode.indexOf(u'"', i + 1);
            i = close < 0 ? size : close;
            break;
        }
        case u'\\':
        case u'_':
        case u'*':
            ++i; // the next character is a literal, a padding width or a fill
            break;
        case u'[': {
            const qsizetype close = formatCode.indexOf(u']', i + 1);
            if (close < 0) {
                i = size;
                break;
            }
            if (isElapsedTimeBracket(formatCode, i, close))
                dateChars += int(close - i - 1);
            i = close;
            break;
        }
        case u'0':
        case u'#':
        case u'?':
            ++numberChars;
            break;
        default:
            if (isDateChar(c))
                ++dateChars;
            break;
        }
    }
    return dateChars > numberChars;
}

QString dateTimeText(double serial, bool date1904, const QLocale &locale)
{
    return dateTimeText(serial, date1904, LocaleTexts::of(locale));
}

QString dateTimeText(double serial, bool date1904, const LocaleTexts &locale)
{
    TextBuilder text;
    appendDateTimeText(text, serial, date1904, locale);
    return text.toString();
}

void appendDateTimeText(TextBuilder &text, double serial, bool date1904, const LocaleTexts &locale)
{
    // The last day each system can show is 31 December 9999.
    const std::int64_t lastSerial = date1904 ? 2957003 : 2958465;
    if (!(serial >= 0 && serial < double(lastSerial + 1)))
        return appendNumberText(text, serial, locale);

    // Rounded to the nearest second, halves up; the difference from the whole part is exact.
    const double exactSeconds = serial * double(SecondsPerDay);
    auto seconds = std::int64_t(exactSeconds);
    if (exactSeconds - double(seconds) >= 0.5)
        ++seconds;
    const std::int64_t days = seconds / SecondsPerDay;
    const std::int64_t timeOfDay = seconds % SecondsPerDay;
    const bool hasTime = serial != double(std::int64_t(serial));
    if (days > lastSerial)
        return appendNumberText(text, serial, locale);

    // Serials below one day carry no date in either system: they are times of day.
    if (days > 0) {
        appendDate(text, days, date1904, locale);
        if (!hasTime)
            return;
        text.append(u' ');
    }
    text.appendTwoDigits(int(timeOfDay / 3600));
    text.append(u':');
    text.appendTwoDigits(int(timeOfDay / 60 % 60));
    text.append(u':');
    text.appendTwoDigits(int(timeOfDay % 60));
}

QString errorText(std::uint8_t biffErrorCode)
{
    switch (biffErrorCode) {
    case 0x00:
        return QStringLiteral("#NULL!");
    case 0x07:
        return QStringLiteral("#DIV/0!");
    case 0x0F:
        return QStringLiteral("#VALUE!");
    case 0x17:
        return QStringLiteral("#REF!");
    case 0x1D:
        return QStringLiteral("#NAME?");
    case 0x24:
        return QStringLiteral("#NUM!");
    case 0x2A:
        return QStringLiteral("#N/A");
    case 0x2B:
        return QStringLiteral("#GETTING_DATA");
    default:
        return QStringLiteral("#ERR") + QString::number(biffErrorCode);
    }
}

std::optional<std::uint8_t> errorCodeFromText(QStringView text)
{
    static constexpr std::uint8_t Codes[] = {0x00, 0x07, 0x0F, 0x17, 0x1D, 0x24, 0x2A, 0x2B};
    for (const std::uint8_t code : Codes) {
        if (text == errorText(code))
            return code;
    }
    return std::nullopt;
}

QString booleanText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

QStringView booleanTextView(bool value)
{
    return value ? QStringView(u"True") : QStringView(u"False");
}
