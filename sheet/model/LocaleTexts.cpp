#include "sheet/model/LocaleTexts.h"

#include "sheet/model/TextBuilder.h"

#include <QDate>

#include <optional>

LocaleTexts::LocaleTexts(const QLocale &locale)
    : m_locale(locale)
    , m_decimalPoint(locale.decimalPoint())
    , m_negativeSign(locale.negativeSign())
    , m_shortDatePattern(locale.dateFormat(QLocale::ShortFormat))
{
    // Locales with digits of their own are left to QLocale as a whole.
    m_ownDates = locale.zeroDigit() == QStringView(u"0") && parsePattern(m_shortDatePattern);
}

const LocaleTexts &LocaleTexts::of(const QLocale &locale)
{
    thread_local std::optional<LocaleTexts> last;
    if (!last || last->m_locale != locale)
        last.emplace(locale);
    return *last;
}

void LocaleTexts::addLiteral(Pieces &pieces, QStringView text)
{
    if (pieces.empty() || pieces.back().kind != Piece::Literal)
        pieces.push_back({Piece::Literal, std::uint16_t(m_literals.size()), 0});
    m_literals.append(text.utf16(), std::size_t(text.size()));
    pieces.back().length = std::uint16_t(pieces.back().length + text.size());
}

// Splits the pattern into pieces, one list per month; false for anything this class does not
// write itself (quoted text, day names, eras), which QLocale then formats.
bool LocaleTexts::parsePattern(const QString &pattern)
{
    // Far more than any locale's pattern and month names need; keeps the offsets small.
    constexpr qsizetype Longest = 4096;
    for (int month = 1; month <= 12; ++month) {
        Pieces &pieces = m_months[std::size_t(month - 1)];
        for (qsizetype i = 0; i < pattern.size();) {
            const QChar c = pattern.at(i);
            if (c == u'\'')
                return false;
            if (!c.isLetter()) {
                addLiteral(pieces, QStringView(&c, 1));
                ++i;
                continue;
            }
            qsizetype run = 1;
            while (i + run < pattern.size() && pattern.at(i + run) == c)
                ++run;
            i += run;
            if (c == u'd' && run <= 2) {
                pieces.push_back({run == 1 ? Piece::Day : Piece::Day2});
            } else if (c == u'M' && run <= 2) {
                addLiteral(pieces, QString::number(month).rightJustified(int(run), u'0'));
            } else if (c == u'M' && run <= 4) {
                addLiteral(pieces, m_locale.monthName(month, run == 3 ? QLocale::ShortFormat
                                                                      : QLocale::LongFormat));
            } else if (c == u'y' && (run == 2 || run == 4)) {
                pieces.push_back({run == 2 ? Piece::Year2 : Piece::Year4});
            } else {
                return false;
            }
            if (qsizetype(m_literals.size()) > Longest)
                return false;
        }
    }
    return true;
}

// QLocale's own short date. A day the calendar does not have is put into the pattern as quoted
// text, and the rest formatted from the 28th of that month.
QString LocaleTexts::qlocaleShortDate(int year, int month, int day) const
{
    const QDate date(year, month, day);
    if (date.isValid())
        return m_locale.toString(date, QLocale::ShortFormat);
    const QString &format = m_shortDatePattern;
    QString pattern;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i);
        if (c == u'\'') {
            quoted = !quoted;
            pattern.append(c);
            ++i;
            continue;
        }
        qsizetype run = 1;
        while (i + run < format.size() && format.at(i + run) == c)
            ++run;
        if (!quoted && c == u'd' && run <= 2)
            pattern.append(u'\'' + QString::number(day).rightJustified(int(run), u'0') + u'\'');
        else
            pattern.append(format.mid(i, run));
        i += run;
    }
    return m_locale.toString(QDate(year, month, 28), pattern);
}

void LocaleTexts::appendShortDate(TextBuilder &text, int year, int month, int day) const
{
    if (!m_ownDates || year < 1000 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > 31) {
        text.append(qlocaleShortDate(year, month, day));
        return;
    }
    for (const Piece &piece : m_months[std::size_t(month - 1)]) {
        switch (piece.kind) {
        case Piece::Literal:
            text.append(m_literals.data() + piece.from, piece.length);
            break;
        case Piece::Day:
            if (day < 10)
                text.append(char16_t(u'0' + day));
            else
                text.appendTwoDigits(day);
            break;
        case Piece::Day2:
            text.appendTwoDigits(day);
            break;
        case Piece::Year2:
            text.appendTwoDigits(year % 100);
            break;
        case Piece::Year4:
            text.appendTwoDigits(year / 100);
            text.appendTwoDigits(year % 100);
            break;
        }
    }
}
