#include "sheet/model/DateSerial.h"

namespace DateSerial {

namespace {

constexpr std::int64_t Day0Of1904 = daysFromCivil(1904, 1, 1);
constexpr std::int64_t Day0Of1900 = daysFromCivil(1899, 12, 30);
constexpr std::int64_t FirstMarch1900 = daysFromCivil(1900, 3, 1);

static_assert(civilFromDays(daysFromCivil(1900, 3, 1) - 1).day == 28);
static_assert(civilFromDays(daysFromCivil(2000, 3, 1) - 1).day == 29);
static_assert(civilFromDays(daysFromCivil(9999, 12, 31)).year == 9999);

// Reads exactly `count` digits at `pos`.
bool Digits(QStringView text, qsizetype &pos, int count, int &value)
{
    if (pos + count > text.size())
        return false;
    value = 0;
    for (int i = 0; i < count; ++i) {
        const char16_t c = text[pos + i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c - u'0');
    }
    pos += count;
    return true;
}

bool expect(QStringView text, qsizetype &pos, char16_t c)
{
    if (pos >= text.size() || text[pos] != c)
        return false;
    ++pos;
    return true;
}

constexpr bool isLeap(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : days[month - 1];
}

// "13:45:10", "13:45", with a fraction of a second; the seconds of the day, or -1.
double timeOfDay(QStringView text, qsizetype &pos)
{
    int hour = 0, minute = 0, second = 0;
    if (!Digits(text, pos, 2, hour) || !expect(text, pos, u':') || !Digits(text, pos, 2, minute))
        return -1;
    double fraction = 0;
    if (expect(text, pos, u':')) {
        if (!Digits(text, pos, 2, second))
            return -1;
        if (pos < text.size() && (text[pos] == u'.' || text[pos] == u',')) {
            ++pos;
            double scale = 0.1;
            const qsizetype start = pos;
            while (pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9') {
                fraction += scale * (text[pos].unicode() - u'0');
                scale /= 10;
                ++pos;
            }
            if (pos == start)
                return -1;
        }
    }
    // 24:00:00 is the end of a day, as ISO 8601 allows.
    if (hour > 24 || minute > 59 || second > 60 || (hour == 24 && (minute || second || fraction)))
        return -1;
    return hour * 3600.0 + minute * 60.0 + second + fraction;
}

// A zone after the time: "Z", "+02:00", "-0500", "+02"; dropped.
bool skipZone(QStringView text, qsizetype &pos)
{
    if (pos == text.size())
        return true;
    if (text[pos] == u'Z')
        return ++pos == text.size();
    if (text[pos] != u'+' && text[pos] != u'-')
        return false;
    ++pos;
    int hours = 0, minutes = 0;
    if (!Digits(text, pos, 2, hours))
        return false;
    expect(text, pos, u':');
    if (pos < text.size() && !Digits(text, pos, 2, minutes))
        return false;
    return pos == text.size() && hours <= 23 && minutes <= 59;
}

} // namespace

double fromCivil(int year, int month, int day, bool date1904)
{
    const std::int64_t days = daysFromCivil(year, month, day);
    if (date1904)
        return double(days - Day0Of1904);
    // Serials before 1 March 1900 are one lower than the calendar's count: the fictitious
    // 29 February comes between them and the later ones.
    return double(days - Day0Of1900 - (days < FirstMarch1900 ? 1 : 0));
}

std::optional<double> fromIso8601(QStringView text, bool date1904)
{
    text = text.trimmed();
    qsizetype pos = 0;
    if (text.size() >= 5 && text[2] == u':') {
        const double seconds = timeOfDay(text, pos);
        if (seconds < 0 || !skipZone(text, pos))
            return std::nullopt;
        return seconds / 86400.0;
    }
    int year = 0, month = 0, day = 0;
    if (!Digits(text, pos, 4, year) || !expect(text, pos, u'-') || !Digits(text, pos, 2, month) ||
        !expect(text, pos, u'-') || !Digits(text, pos, 2, day))
        return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
        return std::nullopt;
    double serial = fromCivil(year, month, day, date1904);
    if (pos < text.size() && (text[pos] == u'T' || text[pos] == u' ')) {
        ++pos;
        const double seconds = timeOfDay(text, pos);
        if (seconds < 0)
            return std::nullopt;
        serial += seconds / 86400.0;
    }
    if (!skipZone(text, pos))
        return std::nullopt;
    return serial;
}

std::optional<double> fromIsoDuration(QStringView text)
{
    text = text.trimmed();
    qsizetype pos = 0;
    const bool negative = expect(text, pos, u'-');
    if (!expect(text, pos, u'P'))
        return std::nullopt;
    double seconds = 0;
    bool inTime = false;
    bool any = false;
    while (pos < text.size()) {
        if (!inTime && expect(text, pos, u'T')) {
            inTime = true;
            continue;
        }
        double number = 0;
        const qsizetype start = pos;
        while (pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9')
            number = number * 10 + (text[pos++].unicode() - u'0');
        if (pos < text.size() && (text[pos] == u'.' || text[pos] == u',')) {
            ++pos;
            double scale = 0.1;
            while (pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9') {
                number += scale * (text[pos++].unicode() - u'0');
                scale /= 10;
            }
        }
        if (pos == start || pos >= text.size())
            return std::nullopt;
        const char16_t unit = text[pos++].unicode();
        if (!inTime && unit == u'D')
            seconds += number * 86400;
        else if (inTime && unit == u'H')
            seconds += number * 3600;
        else if (inTime && unit == u'M')
            seconds += number * 60;
        else if (inTime && unit == u'S')
            seconds += number;
        else
            return std::nullopt;
        any = true;
    }
    if (!any)
        return std::nullopt;
    return (negative ? -seconds : seconds) / 86400.0;
}

} // namespace DateSerial
