#include "sheet/LocaleTexts.h"

#include <QDate>

#include <optional>

LocaleTexts::LocaleTexts(const QLocale &locale)
    : m_locale(locale)
    , m_decimalPoint(locale.decimalPoint())
    , m_negativeSign(locale.negativeSign())
{
    for (int month = 1; month <= 12; ++month) {
        m_shortMonths[month - 1] = locale.monthName(month, QLocale::ShortFormat);
        m_longMonths[month - 1] = locale.monthName(month, QLocale::LongFormat);
    }
    // Locales with digits of their own are left to QLocale as a whole.
    m_ownDates = locale.zeroDigit() == QStringView(u"0") &&
                 parsePattern(locale.dateFormat(QLocale::ShortFormat));
}

const LocaleTexts &LocaleTexts::of(const QLocale &locale)
{
    thread_local std::optional<LocaleTexts> last;
    if (!last || last->m_locale != locale)
        last.emplace(locale);
    return *last;
}

// Splits the pattern into pieces this class writes itself; false for anything else (quoted
// text, day names, eras), which QLocale then formats.
bool LocaleTexts::parsePattern(const QString &pattern)
{
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar c = pattern.at(i);
        if (c == u'\'')
            return false;
        if (!c.isLetter()) {
            if (m_pieces.empty() || m_pieces.back().kind != Piece::Literal)
                m_pieces.push_back({Piece::Literal, QString()});
            m_pieces.back().literal.append(c);
            ++i;
            continue;
        }
        qsizetype run = 1;
        while (i + run < pattern.size() && pattern.at(i + run) == c)
            ++run;
        i += run;
        if (c == u'd' && run <= 2) {
            m_pieces.push_back({run == 1 ? Piece::Day : Piece::Day2, {}});
        } else if (c == u'M' && run <= 4) {
            constexpr Piece::Kind kinds[] = {Piece::Month, Piece::Month2, Piece::MonthShort,
                                             Piece::MonthLong};
            m_pieces.push_back({kinds[run - 1], {}});
        } else if (c == u'y' && (run == 2 || run == 4)) {
            m_pieces.push_back({run == 2 ? Piece::Year2 : Piece::Year4, {}});
        } else {
            return false;
        }
    }
    return true;
}

namespace {

void AppendNumber(QString &text, int value, int width)
{
    char16_t digits[8];
    int count = 0;
    do {
        digits[count++] = char16_t(u'0' + value % 10);
        value /= 10;
    } while (value != 0 && count < 8);
    for (int pad = count; pad < width; ++pad)
        text.append(u'0');
    while (count > 0)
        text.append(QChar(digits[--count]));
}

} // namespace

void LocaleTexts::appendShortDate(QString &text, const QDate &date) const
{
    int year = 0;
    int month = 0;
    int day = 0;
    date.getDate(&year, &month, &day);
    if (!m_ownDates || year < 1000 || year > 9999) {
        text.append(m_locale.toString(date, QLocale::ShortFormat));
        return;
    }
    for (const Piece &piece : m_pieces) {
        switch (piece.kind) {
        case Piece::Literal:
            text.append(piece.literal);
            break;
        case Piece::Day:
        case Piece::Day2:
            AppendNumber(text, day, piece.kind == Piece::Day2 ? 2 : 1);
            break;
        case Piece::Month:
        case Piece::Month2:
            AppendNumber(text, month, piece.kind == Piece::Month2 ? 2 : 1);
            break;
        case Piece::MonthShort:
            text.append(m_shortMonths[month - 1]);
            break;
        case Piece::MonthLong:
            text.append(m_longMonths[month - 1]);
            break;
        case Piece::Year2:
            AppendNumber(text, year % 100, 2);
            break;
        case Piece::Year4:
            AppendNumber(text, year, 4);
            break;
        }
    }
}
