#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Values as the XML workbook formats write them in attributes and element text: numbers
// (xsd:double), counts, ISO 8601 dates, times and durations.

// A finite number in xsd:double form ("12.57", "-1E-3", "+5"), white space around it allowed;
// nothing for anything else, infinities and NaN too.
std::optional<double> parseXmlNumber(std::string_view text);

// A count of decimal digits ("16384"); nothing for anything else. Counts too large for 64 bits
// read as the largest one.
std::optional<std::uint64_t> parseXmlCount(std::string_view text);

// An ISO 8601 date, date and time or time of day, as a date serial (DateSerial::fromIso8601).
std::optional<double> parseXmlDateTime(std::string_view text, bool date1904);

// An ISO 8601 duration as a fraction of days (DateSerial::fromIsoDuration).
std::optional<double> parseXmlDuration(std::string_view text);
