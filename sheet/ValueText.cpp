#include "sheet/ValueText.h"

#include <QDate>
#include <QLocale>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>

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

QString DateText(qint64 days, bool date1904, const QLocale &locale)
{
    if (date1904)
        return locale.toString(QDate(1904, 1, 1).addDays(days), QLocale::ShortFormat);
    // Excel counts 1900 as a leap year: serial 60 is 29 February 1900, and every serial
    // before it is one day later than the calendar's count from 30 December 1899.
    if (days == 60)
        return FictitiousDateText(locale, QDate(1900, 2, 28), 29);
    const QDate base = days < 60 ? QDate(1899, 12, 31) : QDate(1899, 12, 30);
    return locale.toString(base.addDays(days), QLocale::ShortFormat);
}

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

    const bool negative = value < 0;
    const double magnitude = std::fabs(value);
    QString text;
    text.reserve(24);
    if (negative)
        text.append(locale.negativeSign());

    // Whole numbers below 10^15 are the common case: no rounding, no separator.
    if (magnitude < 1e15 && magnitude == std::trunc(magnitude)) {
        AppendDigits(text, static_cast<qint64>(magnitude));
        return text;
    }

    // "d.dddddddddddddde-xx": 15 significant digits, correctly rounded by the C library.
    char buffer[40];
    const int length = std::snprintf(buffer, sizeof buffer, "%.*e", MaxDigits - 1, magnitude);
    if (length <= 0 || length >= int(sizeof buffer))
        return NonFiniteText(value);
    const char *exponentMark = buffer;
    while (*exponentMark != 'e')
        ++exponentMark;
    const int exponent = std::atoi(exponentMark + 1);

    std::array<char16_t, MaxDigits> digits{};
    int count = 0;
    for (const char *p = buffer; p != exponentMark; ++p) {
        if (*p != '.')
            digits[count++] = char16_t(*p);
    }
    while (count > 1 && digits[count - 1] == u'0')
        --count;
    const auto appendDigitRange = [&](int from, int to) {
        text.append(reinterpret_cast<const QChar *>(digits.data() + from), to - from);
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
        AppendDigits(text, std::abs(exponent));
        return text;
    }
    if (exponent >= 0) {
        const int integerDigits = exponent + 1;
        appendDigitRange(0, std::min(count, integerDigits));
        AppendZeros(text, integerDigits - count);
        if (count > integerDigits) {
            text.append(locale.decimalPoint());
            appendDigitRange(integerDigits, count);
        }
    } else {
        text.append(u'0');
        text.append(locale.decimalPoint());
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
    if (days > 0) {
        text = DateText(days, date1904, locale);
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
