#pragma once

#include <QStringView>
#include <cstdint>
#include <optional>

// Dates as the spreadsheet formats count them: a serial number of days (with the time of day
// as its fraction) since the start of the workbook's date system, 1900 or 1904. The 1900
// system keeps the fictitious 29 February 1900, serial 60.
namespace DateSerial {

// A day of the Gregorian calendar.
struct CivilDate
{
    int year;
    int month;
    int day;
};

// Days since 1 January 1970 and back, in integers (after Howard Hinnant's days_from_civil and
// civil_from_days): a QDate round trip per cell costs several calls into Qt's calendar.
constexpr std::int64_t daysFromCivil(int year, int month, int day)
{
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = unsigned(year - era * 400);
    const unsigned dayOfYear =
        (153 * unsigned(month > 2 ? month - 3 : month + 9) + 2) / 5 + unsigned(day) - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + std::int64_t(dayOfEra) - 719468;
}

constexpr CivilDate civilFromDays(std::int64_t days)
{
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = unsigned(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthFromMarch = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * monthFromMarch + 2) / 5 + 1;
    const unsigned month = monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9;
    return {int(std::int64_t(yearOfEra) + era * 400 + (month <= 2)), int(month), int(day)};
}

// The serial of a calendar day, without a time.
double fromCivil(int year, int month, int day, bool date1904);

// An ISO 8601 date, date and time, or time of day as the XML formats write them:
// "2024-03-01", "2024-03-01T13:45:10", with fractions of a second and a zone ("Z", "+02:00",
// which is dropped: the cell shows the wall-clock time written), or "13:45:10"; nothing for
// text of another shape or a day no calendar has.
std::optional<double> fromIso8601(QStringView text, bool date1904);

// An ISO 8601 duration as OpenDocument writes a time of day ("PT13H45M10S", "PT36H",
// "P1DT2H", "-PT1H"), as a fraction of days; nothing for text of another shape.
std::optional<double> fromIsoDuration(QStringView text);

} // namespace DateSerial
