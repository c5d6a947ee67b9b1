#pragma once

#include <QLocale>
#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class TextBuilder;

// The parts of a locale that cell texts need, looked up once per locale: QLocale's accessors
// look the locale up on every call (the system locale asks the operating system), which is far
// too slow for a text made for every numeric cell. Also writes the short date itself from the
// pattern, split once into pieces, for the usual day, month and year patterns, and leaves the
// rest to QLocale.
class LocaleTexts
{
public:
    explicit LocaleTexts(const QLocale &locale);

    // The texts of `locale`, kept per thread for the locale used last.
    static const LocaleTexts &of(const QLocale &locale);

    const QLocale &locale() const { return m_locale; }
    QStringView decimalPoint() const { return m_decimalPoint; }
    QStringView negativeSign() const { return m_negativeSign; }

    // Appends a date of the Gregorian calendar in the locale's short format. 29 February of a
    // year without one (Excel's 1900) reads like the other days of that month.
    void appendShortDate(TextBuilder &text, int year, int month, int day) const;

private:
    // One piece of the short date pattern of one month: the month is written out already, so
    // that only the day and the year are left to fill in. Literal text lies in m_literals.
    struct Piece
    {
        enum Kind : std::uint8_t { Literal, Day, Day2, Year2, Year4 };
        Kind kind;
        std::uint16_t from = 0;
        std::uint16_t length = 0;
    };
    using Pieces = std::vector<Piece>;

    bool parsePattern(const QString &pattern);
    void addLiteral(Pieces &pieces, QStringView text);
    QString qlocaleShortDate(int year, int month, int day) const;

    QLocale m_locale;
    QString m_decimalPoint;
    QString m_negativeSign;
    QString m_shortDatePattern;
    bool m_ownDates = false; // whether m_months covers the whole pattern
    std::array<Pieces, 12> m_months;
    std::u16string m_literals;
};
