#pragma once

#include <QLocale>
#include <QString>

#include <array>
#include <vector>

class QDate;

// The parts of a locale that cell texts need, looked up once per locale: QLocale's accessors
// look the locale up on every call (the system locale asks the operating system), which is far
// too slow for a text made for every numeric cell. Also writes the short date itself for the
// usual day, month and year patterns, and leaves the rest to QLocale.
class LocaleTexts
{
public:
    explicit LocaleTexts(const QLocale &locale);

    // The texts of `locale`, kept per thread for the locale used last.
    static const LocaleTexts &of(const QLocale &locale);

    const QString &decimalPoint() const { return m_decimalPoint; }
    const QString &negativeSign() const { return m_negativeSign; }

    // Appends `date` in the locale's short format.
    void appendShortDate(QString &text, const QDate &date) const;

private:
    // One piece of the short date pattern.
    struct Piece
    {
        enum Kind { Literal, Day, Day2, Month, Month2, MonthShort, MonthLong, Year2, Year4 };
        Kind kind;
        QString literal;
    };

    bool parsePattern(const QString &pattern);

    QLocale m_locale;
    QString m_decimalPoint;
    QString m_negativeSign;
    bool m_ownDates = false; // whether m_pieces covers the whole pattern
    std::vector<Piece> m_pieces;
    std::array<QString, 12> m_shortMonths;
    std::array<QString, 12> m_longMonths;
};
