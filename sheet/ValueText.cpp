#include "sheet/ValueText.h"

#include "sheet/LocaleTexts.h"

#include <QDate>
#include <QLocale>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>

namespace {

constexpr int MaxDigits = 15;
constexpr int SmallestFixedExponent = -5;
constexpr qint64 SecondsPerDay = 86400;

// Appends the decimal digits of a non-negative integer below 10^18.
void AppendDigits(QString &text, qint64 value)
{
    std::array<char16_t, 20> buffer{};
    std::size_t start = buffer.size();
    do {
        buffer[--start] = char16_t(u'0' + value % 10);
        value /= 10;
    } while (value != 0);
    text.append(reinterpret_cast<const QChar *>(buffer.data() + start), buffer.size() - start);
}

int DigitCount(qint64 value)
{
    int count = 1;
    while (value >= 10) {
        value /= 10;
        ++count;
    }
    return count;
}

void AppendZeros(QString &text, int count)
{
    if (count > 0)
        text.append(QString(count, u'0'));
}

QString NonFiniteText(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
}

// Excel's elapsed-time codes: "[h]", "[mm]", "[ss]" and the like.
bool IsElapsedTimeBracket(const QString &code, qsizetype open, qsizetype close)
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

bool IsDateChar(QChar c)
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

// The locale's short date with the day of the month written as given, for the day that the
// 1900 date system has and the calendar does not: 29 February 1900.
QString FictitiousDateText(const QLocale &locale, const QDate &monthAndYear, int day)
{
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    QString result;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i);
        if (c == u'\'') {
            quoted = !quoted;
            result.append(c);
            ++i;
            continue;
        }
        qsizetype run = 1;
        while (i + run < format.size() && format.at(i + run) == c)
            ++run;
        if (!quoted && c == u'd' && run <= 2)
            result.append(u'\'' + QString::number(day).rightJustified(int(run), u'0') + u'\'');
        else
            result.append(format.mid(i, run));
        i += run;
    }
    return locale.toString(monthAndYear, result);
}

void AppendDate(QString &text, qint64 days, bool date1904, const QLocale &locale)
{
    if (date1904) {
        LocaleTexts::of(locale).appendShortDate(text, QDate(1904, 1, 1).addDays(days));
        return;
    }
    // Excel counts 1900 as a leap year: serial 60 is 29 February 1900, and every serial
    // before it is one day later than the calendar's count from 30 December 1899.
    if (days == 60) {
        text.append(FictitiousDateText(locale, QDate(1900, 2, 28), 29));
        return;
    }
    const QDate base = days < 60 ? QDate(1899, 12, 31) : QDate(1899, 12, 30);
    LocaleTexts::of(locale).appendShortDate(text, base.addDays(days));
}

constexpr double SmallestFixed = 1e-5;
template<typename T>
constexpr std::array<T, MaxDigits + 1> PowersOfTen()
{
    std::array<T, MaxDigits + 1> powers{};
    T power = 1;
    for (T &entry : powers) {
        entry = power;
        power *= 10;
    }
    return powers;
}
// Exact in both types: 10^15 is below 2^53.
constexpr auto DoublePowers = PowersOfTen<double>();
constexpr auto IntegerPowers = PowersOfTen<qint64>();

// Writes a number in [1E-5, 1E15) that is some integer below 10^15 divided by a power of ten
// (most typed-in numbers: 36.63, 45000.5) without a general conversion. If that quotient,
// correctly rounded, is the double itself, the decimal has at most 15 digits and lies within
// half a unit of the double, so it is the 15-digit rounding; the smallest such power gives it
// without trailing zeros. False when no power up to 10^15 fits.
bool AppendShortDecimal(QString &text, double magnitude, const LocaleTexts &texts)
{
    for (int decimals = 1; decimals <= MaxDigits; ++decimals) {
        const double scaled = magnitude * DoublePowers[decimals];
        if (scaled >= 1e15)
            return false;
        const double whole = std::nearbyint(scaled);
        if (whole / DoublePowers[decimals] != magnitude)
            continue;
        const auto digits = static_cast<qint64>(whole);
        AppendDigits(text, digits / IntegerPowers[decimals]);
        text.append(texts.decimalPoint());
        const qint64 fraction = digits % IntegerPowers[decimals];
        AppendZeros(text, decimals - DigitCount(fraction));
        AppendDigits(text, fraction);
        return true;
    }
    return false;
}

// The significant digits of a positive finite number, at most 15 of them, correctly rounded
// and without trailing zeros, and the decimal exponent of the first one.
struct SignificantDigits
{
    std::array<char16_t, 17> digits{};
    int count = 0;
    int exponent = 0;

    explicit SignificantDigits(double magnitude)
    {
        // The shortest text that reads back as the same double is the correctly rounded one
        // whenever it has at most 15 digits (the usual case for typed-in numbers), since a
        // normal double is far closer to it than half a 15th digit; otherwise round to 15.
        const bool normal = magnitude >= std::numeric_limits<double>::min();
        if (!normal || !parse(magnitude, std::nullopt) || count > MaxDigits)
            parse(magnitude, MaxDigits - 1);
        while (count > 1 && digits[count - 1] == u'0')
            --count;
    }

private:
    // Reads std::to_chars's "d.ddde-xx".
    bool parse(double magnitude, std::optional<int> precision)
    {
        char buffer[48];
        const std::to_chars_result result =
            precision ? std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                                      std::chars_format::scientific, *precision)
                      : std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                                      std::chars_format::scientific);
        if (result.ec != std::errc())
            return false;
        count = 0;
        const char *p = buffer;
        for (; p != result.ptr && *p != 'e'; ++p) {
            if (*p != '.' && count < int(digits.size()))
                digits[count++] = char16_t(*p);
        }
        if (p == result.ptr)
            return false;
        std::from_chars(p + (p[1] == '+' ? 2 : 1), result.ptr, exponent);
        return count > 0;
    }
};

void AppendTwoDigits(QString &text, qint64 value)
{
    text.append(QChar(char16_t(u'0' + value / 10)));
    text.append(QChar(char16_t(u'0' + value % 10)));
}

} // namespace

QString NumberText(double value, const QLocale &locale)
{
    if (!std::isfinite(value))
        return NonFiniteText(value);
    if (value == 0)
        return QStringLiteral("0");

    const LocaleTexts &texts = LocaleTexts::of(locale);
    const double magnitude = std::fabs(value);
    QString text;
    text.reserve(24);
    if (value < 0)
        text.append(texts.negativeSign());

    // Whole numbers below 10^15 are the common case: no rounding, no separator.
    if (magnitude < 1e15 && magnitude == std::trunc(magnitude)) {
        AppendDigits(text, static_cast<qint64>(magnitude));
        return text;
    }

    if (magnitude >= SmallestFixed && AppendShortDecimal(text, magnitude, texts))
        return text;

    const SignificantDigits rounded(magnitude);
    const int count = rounded.count;
    const int exponent = rounded.exponent;
    const auto appendDigitRange = [&](int from, int to) {
        text.append(reinterpret_cast<const QChar *>(rounded.digits.data() + from), to - from);
    };

    // Decided on the rounded value, so that 0.0000099999999999999999 reads "0,00001".
    const bool fixed = exponent < MaxDigits && exponent >= SmallestFixedExponent;
    if (!fixed) {
        appendDigitRange(0, 1);
        if (count > 1) {
            text.append(texts.decimalPoint());
            appendDigitRange(1, count);
        }
        text.append(u'E');
        if (exponent < 0)
            text.append(texts.negativeSign());
        AppendDigits(text, std::abs(exponent));
        return text;
    }
    if (exponent >= 0) {
        const int integerDigits = exponent + 1;
        appendDigitRange(0, std::min(count, integerDigits));
        AppendZeros(text, integerDigits - count);
        if (count > integerDigits) {
            text.append(texts.decimalPoint());
            appendDigitRange(integerDigits, count);
        }
    } else {
        text.append(u'0');
        text.append(texts.decimalPoint());
        AppendZeros(text, -exponent - 1);
        appendDigitRange(0, count);
    }
    return text;
}

bool IsDateTimeFormat(int formatIndex, const QString &formatCode)
{
    if ((formatIndex >= 14 && formatIndex <= 22) || (formatIndex >= 45 && formatIndex <= 47))
        return true;

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
            if (IsElapsedTimeBracket(formatCode, i, close))
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
            if (IsDateChar(c))
                ++dateChars;
            break;
        }
    }
    return dateChars > numberChars;
}

QString DateTimeText(double serial, bool date1904, const QLocale &locale)
{
    // The last day each system can show is 31 December 9999.
    const double lastSerial = date1904 ? 2957003.0 : 2958465.0;
    if (!(serial >= 0 && serial < lastSerial + 1))
        return NumberText(serial, locale);

    const auto seconds = static_cast<qint64>(std::llround(serial * double(SecondsPerDay)));
    const qint64 days = seconds / SecondsPerDay;
    const qint64 timeOfDay = seconds % SecondsPerDay;
    const bool hasTime = serial != std::trunc(serial);
    if (days > qint64(lastSerial))
        return NumberText(serial, locale);

    // Serials below one day carry no date in either system: they are times of day.
    QString text;
    text.reserve(20);
    if (days > 0) {
        AppendDate(text, days, date1904, locale);
        if (!hasTime)
            return text;
        text.append(u' ');
    }
    AppendTwoDigits(text, timeOfDay / 3600);
    text.append(u':');
    AppendTwoDigits(text, timeOfDay / 60 % 60);
    text.append(u':');
    AppendTwoDigits(text, timeOfDay % 60);
    return text;
}

QString ErrorText(std::uint8_t biffErrorCode)
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

QString BooleanText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}
