#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>

class LocaleTexts;
class QLocale;
class TextBuilder;

// The texts a cell value reads as: numbers in the general format, date and time cells,
// error values and booleans. The same for every workbook format.

// General format with at most 15 significant digits: fixed notation while the integer part has
// at most 15 digits and the magnitude is at least 1E-5, otherwise "1E20", "1,5E-7". The
// locale gives the decimal separator and the minus sign; there are no group separators.
QString numberText(double value, const QLocale &locale);
// The same with the locale's parts looked up already: for texts made by the hundred thousand.
QString numberText(double value, const LocaleTexts &locale);
// The same appended to `text`, for readers that want no QString per cell.
void appendNumberText(TextBuilder &text, double value, const LocaleTexts &locale);

// Whether a cell with this number format shows its number as a date or a time: the built-in
// formats 14 to 22 and 45 to 47, Excel's named date and time formats ("Short Date", "Long
// Time", ...; its other names, "Fixed", "Currency" and the like, show numbers), or a format
// code with date or time codes outside quoted stretches, escaped characters and brackets (the
// elapsed-time brackets [h], [m], [s] count). Every reader asks this one.
bool isDateTimeFormat(int formatIndex, const QString &formatCode);

// A date serial number as the locale's short date and/or the time as HH:MM:SS, rounded to the
// nearest second: the date alone for a whole number, the time alone below one day (0 too),
// both otherwise. `date1904` selects the 1904 date system; the 1900 system keeps Excel's
// fictitious 29 February 1900 (serial 60). A serial no calendar holds (negative, or after
// the year 9999) reads as its number.
QString dateTimeText(double serial, bool date1904, const QLocale &locale);
QString dateTimeText(double serial, bool date1904, const LocaleTexts &locale);
void appendDateTimeText(TextBuilder &text, double serial, bool date1904, const LocaleTexts &locale);

// The text of a BIFF error value ("#DIV/0!" and so on); an unknown code reads "#ERR<code>".
QString errorText(std::uint8_t biffErrorCode);

// The BIFF error code of an error value's text ("#N/A" is 0x2A); nothing for another text.
std::optional<std::uint8_t> errorCodeFromText(QStringView text);

// "True" or "False".
QString booleanText(bool value);
QStringView booleanTextView(bool value);
