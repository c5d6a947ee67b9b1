#include "sheet/model/TextBuilder.h"
#include "sheet/model/ValueText.h"

#include <QLocale>
#include <QRegularExpression>
#include <QTest>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>

namespace {

// The significant digits (no trailing zeros) and the decimal exponent of the first digit.
using Digits = std::pair<QString, int>;

// From the C library's "%.14e": correctly rounded, exact ties to even (Qt's own printf rounds
// them away from zero).
Digits printfDigits(double value)
{
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.14e", std::fabs(value));
    const QString text = QString::fromLatin1(buffer);
    QString digits = text.section(u'e', 0, 0).remove(u'.');
    while (digits.size() > 1 && digits.endsWith(u'0'))
        digits.chop(1);
    return {digits, text.section(u'e', 1).toInt()};
}

// From a C-locale text of numberText, fixed or scientific.
Digits ourDigits(const QString &text)
{
    const QString mantissa = text.section(u'E', 0, 0).remove(u'-');
    const int exponent = text.contains(u'E') ? text.section(u'E', 1).toInt() : 0;
    const qsizetype point = mantissa.contains(u'.') ? mantissa.indexOf(u'.') : mantissa.size();
    QString digits = mantissa;
    digits.remove(u'.');
    qsizetype leading = 0;
    while (leading + 1 < digits.size() && digits.at(leading) == u'0')
        ++leading;
    digits = digits.mid(leading);
    while (digits.size() > 1 && digits.endsWith(u'0'))
        digits.chop(1);
    return {digits, int(point - 1 - leading) + exponent};
}

// Excel's 29 February 1900 as the locale's short date: its pattern with the day as quoted text,
// the rest from the 28th.
QString fictitiousDay(const QLocale &locale)
{
    static const QRegularExpression day(QStringLiteral("(?<!d)dd?(?!d)"));
    QStringList parts = locale.dateFormat(QLocale::ShortFormat).split(u'\'');
    for (qsizetype i = 0; i < parts.size(); i += 2) // outside quotes
        parts[i].replace(day, QStringLiteral("'29'"));
    return locale.toString(QDate(1900, 2, 28), parts.join(u'\''));
}

// A deterministic stream of 64-bit numbers.
struct Random
{
    std::uint64_t state;
    std::uint64_t next()
    {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return state ^ (state >> 29);
    }
};

} // namespace

// Cell values as text: general number format, dates and times, errors and booleans, in the C
// locale and a Russian one (comma as the decimal separator, day.month.year dates).
class TestValueText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void numberText_data();
    void numberText();
    void numberTextNonFinite();
    void numberTextRoundTrips();
    void numberTextDigitsMatchPrintf();
    void dateFormat_data();
    void dateFormat();
    void dateTimeText_data();
    void dateTimeText();
    void shortDateInEveryLocale();
    void longTexts();
    void errorText_data();
    void errorText();
    void booleanText();

private:
    const QLocale russian{QLocale::Russian, QLocale::Russia};
};

void TestValueText::numberText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("c");
    QTest::addColumn<QString>("ru");
    const auto row = [](const char *name, double value, const char16_t *c, const char16_t *ru) {
        QTest::newRow(name) << value << QString::fromUtf16(c) << QString::fromUtf16(ru);
    };
    row("zero", 0.0, u"0", u"0");
    row("negative zero", -0.0, u"0", u"0");
    row("one", 1.0, u"1", u"1");
    row("integer", 42.0, u"42", u"42");
    row("negative integer", -17.0, u"-17", u"-17");
    row("no group separators", 1234567.0, u"1234567", u"1234567");
    row("fraction", 1.5, u"1.5", u"1,5");
    row("negative fraction", -1234.25, u"-1234.25", u"-1234,25");
    row("0.1+0.2", 0.1 + 0.2, u"0.3", u"0,3");
    row("2/3", 2.0 / 3.0, u"0.666666666666667", u"0,666666666666667");
    row("1/3*3", 1.0 / 3.0 * 3.0, u"1", u"1");
    row("-2/3", -2.0 / 3.0, u"-0.666666666666667", u"-0,666666666666667");
    row("pi", 3.14159265358979323846, u"3.14159265358979", u"3,14159265358979");
    row("rounds up to integer", 2.0000000000000004, u"2", u"2");
    row("15 digits with fraction", 12345678901234.5, u"12345678901234.5", u"12345678901234,5");
    row("fraction beyond 15 digits", 123456789012345.67, u"123456789012346", u"123456789012346");
    row("15-digit integer", 999999999999999.0, u"999999999999999", u"999999999999999");
    row("-15-digit integer", -999999999999999.0, u"-999999999999999", u"-999999999999999");
    row("1E15", 1e15, u"1E15", u"1E15");
    row("1000000000000000", 1000000000000000.0, u"1E15", u"1E15");
    row("rounds to 1E15", 999999999999999.6, u"1E15", u"1E15");
    row("16 nines", 9999999999999999.0, u"1E16", u"1E16");
    row("1E20", 1e20, u"1E20", u"1E20");
    row("-1E20", -1e20, u"-1E20", u"-1E20");
    row("18 digits", 123456789012345678.0, u"1.23456789012346E17", u"1,23456789012346E17");
    row("1E308", 1e308, u"1E308", u"1E308");
    row("0.00001", 0.00001, u"0.00001", u"0,00001");
    row("-0.00001", -0.00001, u"-0.00001", u"-0,00001");
    row("0.000012345", 0.000012345, u"0.000012345", u"0,000012345");
    row("rounds to 0.00001", 0.0000099999999999999999, u"0.00001", u"0,00001");
    row("0.000001", 0.000001, u"1E-6", u"1E-6");
    row("0.0000099", 0.0000099, u"9.9E-6", u"9,9E-6");
    row("1.5E-7", 1.5e-7, u"1.5E-7", u"1,5E-7");
    row("-1.5E-7", -1.5e-7, u"-1.5E-7", u"-1,5E-7");
    row("1E-20", 1e-20, u"1E-20", u"1E-20");
    row("1/3 E-20", 1e-20 / 3.0, u"3.33333333333333E-21", u"3,33333333333333E-21");
    row("denormal", 4.9406564584124654e-324, u"4.94065645841247E-324", u"4,94065645841247E-324");
    row("date serial", 45000.5, u"45000.5", u"45000,5");
    // Exact ties at the 16th digit go to the even 15th, as printf rounds them.
    row("tie stays even", 123456789012344.5, u"123456789012344", u"123456789012344");
    row("tie goes up to even", 123456789012345.5, u"123456789012346", u"123456789012346");
    row("tie in the fraction", 12345678901234.25, u"12345678901234.2", u"12345678901234,2");
    row("tie in the fraction up", 12345678901234.75, u"12345678901234.8", u"12345678901234,8");
    row("fraction rounds to 15 digits", 99999999999999.95, u"100000000000000", u"100000000000000");
    row("rounds to 0.0001", 0.000099999999999999995, u"0.0001", u"0,0001");
    row("1E15 and a half", 1e15 + 0.5, u"1E15", u"1E15");
    // Around 1E-8, where rounding in 64-bit integers ends and the general conversion begins.
    row("1.2E-8", 1.23456789012345e-8, u"1.23456789012345E-8", u"1,23456789012345E-8");
    row("below 1E-8", 9.99999999999999e-9, u"9.99999999999999E-9", u"9,99999999999999E-9");
    row("2^-30", 9.313225746154785e-10, u"9.31322574615479E-10", u"9,31322574615479E-10");
}

void TestValueText::numberText()
{
    QFETCH(double, value);
    QFETCH(QString, c);
    QFETCH(QString, ru);
    QCOMPARE(::numberText(value, QLocale::c()), c);
    QCOMPARE(::numberText(value, russian), ru);
}

void TestValueText::numberTextNonFinite()
{
    // BIFF cannot hold these; a damaged file must still give some text.
    for (const double value :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
          -std::numeric_limits<double>::infinity()}) {
        QVERIFY(!::numberText(value, QLocale::c()).isEmpty());
        QVERIFY(!::numberText(value, russian).isEmpty());
    }
}

void TestValueText::numberTextRoundTrips()
{
    // Reading the text back gives the value to 15 significant digits over the whole range.
    double value = 1.234567890123456789e-300;
    for (int step = 0; step < 590; ++step, value *= -10.37) {
        const QString text = ::numberText(value, QLocale::c());
        bool ok = false;
        const double back = text.toDouble(&ok);
        QVERIFY2(ok, qPrintable(text));
        QVERIFY2(std::fabs(back - value) <= std::fabs(value) * 1e-14, qPrintable(text));
        QVERIFY2(!text.contains(u'+') && !text.contains(u'e'), qPrintable(text));
        const QString mantissa = text.section(u'E', 0, 0);
        QVERIFY2(!mantissa.contains(u'.') || !mantissa.endsWith(u'0'), qPrintable(text));
        const qsizetype digits =
            std::count_if(mantissa.begin(), mantissa.end(), [](QChar c) { return c.isDigit(); });
        QVERIFY2(text.contains(u'E') ? digits <= 15 : true, qPrintable(text));
    }
}

void TestValueText::numberTextDigitsMatchPrintf()
{
    // Random doubles of every magnitude, and short decimals like the ones people type, which
    // take a shortcut of their own: the digits must be the C library's rounding to 15.
    Random random{12345};
    for (int i = 0; i < 60000; ++i) {
        double value = 0;
        const std::uint64_t bits = random.next();
        switch (i % 4) {
        case 0:
            std::memcpy(&value, &bits, sizeof value);
            break;
        case 1:
            value = double(bits % 1000000000000000ULL) / std::pow(10.0, double(bits >> 59));
            break;
        case 2:
            // Exact ties at the 16th digit.
            value = double(100000000000000ULL + bits % 900000000000000ULL) + 0.5;
            break;
        default:
            value = double(bits % 100000) / std::pow(10.0, double(bits >> 60)) + 1e-9 * (i % 7);
            break;
        }
        if (!std::isfinite(value) || value == 0)
            continue;
        const QString text = ::numberText(value, QLocale::c());
        const Digits ours = ourDigits(text);
        const Digits printed = printfDigits(value);
        QVERIFY2(ours == printed, qPrintable(QStringLiteral("%1 for %2: %3e%4 vs %5e%6")
                                                 .arg(text, QString::asprintf("%.17g", value))
                                                 .arg(ours.first)
                                                 .arg(ours.second)
                                                 .arg(printed.first)
                                                 .arg(printed.second)));
        QCOMPARE(text.startsWith(u'-'), value < 0);
        const int exponent = printfDigits(value).second;
        QCOMPARE(text.contains(u'E'), exponent < -5 || exponent > 14);
    }
}

void TestValueText::dateFormat_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("isDate");
    const auto row = [](const char *name, int index, const char16_t *code, bool isDate) {
        QTest::newRow(name) << index << QString::fromUtf16(code) << isDate;
    };
    // Built-in formats by index, whatever code a writer stored for them.
    row("General", 0, u"General", false);
    row("builtin 0.00", 2, u"0.00", false);
    row("builtin 13", 13, u"# ?\?/??", false);
    row("builtin 14", 14, u"m/d/yy", true);
    row("builtin 14 localized", 14, u"DD.MM.YYYY", true);
    row("builtin 14 no code", 14, u"", true);
    row("builtin 18 no code", 18, u"", true);
    row("builtin 22", 22, u"m/d/yy h:mm", true);
    row("builtin 23", 23, u"", false);
    row("builtin 44", 44, u"", false);
    row("builtin 45 no code", 45, u"", true);
    row("builtin 47 no code", 47, u"", true);
    row("builtin 48", 48, u"##0.0E+0", false);
    row("builtin 49 text", 49, u"@", false);
    // Custom codes.
    row("dd/mm/yyyy", 164, u"dd/mm/yyyy", true);
    row("locale bracket", 165, u"[$-419]DD.MM.YYYY", true);
    row("date and time", 166, u"dd.mm.yyyy hh:mm:ss", true);
    row("AM/PM", 167, u"h:mm AM/PM", true);
    row("mm:ss", 168, u"mm:ss", true);
    row("elapsed hours", 169, u"[h]:mm:ss", true);
    row("elapsed hours alone", 170, u"[h]", true);
    row("elapsed minutes alone", 170, u"[mm]", true);
    row("escaped date", 171, u"yyyy\\-mm\\-dd", true);
    row("quoted text in date", 172, u"d \"de\" mmmm", true);
    row("month name", 173, u"mmmm yyyy", true);
    row("upper case", 174, u"YYYY-MM-DD", true);
    row("quoted d", 175, u"\"d\"0", false);
    row("quoted words", 176, u"0\" days\"", false);
    row("escaped h", 177, u"0\\h", false);
    row("Red", 178, u"[Red]0.00", false);
    row("colour and condition", 179, u"[Blue][>=100]#,##0;[Red]-#,##0", false);
    row("currency locale", 180, u"#,##0.00\\ [$руб.-419]", false);
    row("fill and padding", 181, u"_-* #,##0_-;\\-* #,##0_-;_-* \"-\"_-;_-@_-", false);
    row("General code", 182, u"General", false);
    row("0.00", 183, u"0.00", false);
    row("#,##0", 184, u"#,##0", false);
    row("0%", 185, u"0%", false);
    row("scientific", 186, u"0.00E+00", false);
    row("text", 187, u"@", false);
    row("empty", 188, u"", false);
    row("unterminated quote", 189, u"0\"h", false);
    row("unterminated bracket", 190, u"[h", false);
    row("numbers outweigh a letter", 191, u"0.00 h", false);
}

void TestValueText::dateFormat()
{
    QFETCH(int, index);
    QFETCH(QString, code);
    QFETCH(bool, isDate);
    QCOMPARE(isDateTimeFormat(index, code), isDate);
}

void TestValueText::dateTimeText_data()
{
    QTest::addColumn<double>("serial");
    QTest::addColumn<bool>("date1904");
    QTest::addColumn<QString>("c");
    QTest::addColumn<QString>("ru");
    const auto row = [](const char *name, double serial, bool date1904, const char16_t *c,
                        const char16_t *ru) {
        QTest::newRow(name) << serial << date1904 << QString::fromUtf16(c)
                            << QString::fromUtf16(ru);
    };
    row("plain date", 45000, false, u"15 Mar 2023", u"15.03.2023");
    row("date and time", 45000.5, false, u"15 Mar 2023 12:00:00", u"15.03.2023 12:00:00");
    row("seconds", 45000 + (13 * 3600 + 14 * 60 + 15) / 86400.0, false, u"15 Mar 2023 13:14:15",
        u"15.03.2023 13:14:15");
    row("time only", 0.75, false, u"18:00:00", u"18:00:00");
    row("time only 1904", 0.25, true, u"06:00:00", u"06:00:00");
    row("midnight serial 0", 0, false, u"00:00:00", u"00:00:00");
    row("first day", 1, false, u"1 Jan 1900", u"01.01.1900");
    row("28 Feb 1900", 59, false, u"28 Feb 1900", u"28.02.1900");
    row("fictitious 29 Feb 1900", 60, false, u"29 Feb 1900", u"29.02.1900");
    row("fictitious day with time", 60.5, false, u"29 Feb 1900 12:00:00", u"29.02.1900 12:00:00");
    row("1 Mar 1900", 61, false, u"1 Mar 1900", u"01.03.1900");
    row("31 Dec 1899 is not a day", 31, false, u"31 Jan 1900", u"31.01.1900");
    row("leap day 2000", 36585, false, u"29 Feb 2000", u"29.02.2000");
    row("1904 serial 0", 0, true, u"00:00:00", u"00:00:00");
    row("1904 day 1", 1, true, u"2 Jan 1904", u"02.01.1904");
    row("1904 date", 43538, true, u"15 Mar 2023", u"15.03.2023");
    row("1904 date and time", 43538.25, true, u"15 Mar 2023 06:00:00", u"15.03.2023 06:00:00");
    row("rounds down to second", 45000 + 1.4 / 86400, false, u"15 Mar 2023 00:00:01",
        u"15.03.2023 00:00:01");
    row("rounds up to second", 45000 + 1.6 / 86400, false, u"15 Mar 2023 00:00:02",
        u"15.03.2023 00:00:02");
    row("rounds to next day", 45000.99999999, false, u"16 Mar 2023 00:00:00",
        u"16.03.2023 00:00:00");
    row("time rounds to next day", 0.99999999, false, u"1 Jan 1900 00:00:00",
        u"01.01.1900 00:00:00");
    row("rounds onto fictitious day", 59.999999999, false, u"29 Feb 1900 00:00:00",
        u"29.02.1900 00:00:00");
    row("last second", 45000 + 86399 / 86400.0, false, u"15 Mar 2023 23:59:59",
        u"15.03.2023 23:59:59");
    row("tiny time", 1e-9, false, u"00:00:00", u"00:00:00");
    row("last day", 2958465, false, u"31 Dec 9999", u"31.12.9999");
    row("last day 1904", 2957003, true, u"31 Dec 9999", u"31.12.9999");
    row("after the last day", 2958466, false, u"2958466", u"2958466");
    row("negative", -1.5, false, u"-1.5", u"-1,5");
    row("half a second rounds up", 0.5 / 86400, false, u"00:00:01", u"00:00:01");
    row("fictitious day, last second", 60.99999, false, u"29 Feb 1900 23:59:59",
        u"29.02.1900 23:59:59");
    row("fictitious day rounds onto 1 Mar", 61 - 1e-9, false, u"1 Mar 1900 00:00:00",
        u"01.03.1900 00:00:00");
    row("1904 leap day", 59.5, true, u"29 Feb 1904 12:00:00", u"29.02.1904 12:00:00");
    row("last second of 9999", 2958465.99999, false, u"31 Dec 9999 23:59:59",
        u"31.12.9999 23:59:59");
    row("rounds past the last day", 2958465.999999999, false, u"2958466", u"2958466");
    row("1904 past the last day", 2957003.999999999, true, u"2957004", u"2957004");
    row("1904 last day in the 1900 system", 2957003.999999999, false, u"31 Dec 9995 00:00:00",
        u"31.12.9995 00:00:00");
}

void TestValueText::dateTimeText()
{
    QFETCH(double, serial);
    QFETCH(bool, date1904);
    QFETCH(QString, c);
    QFETCH(QString, ru);
    QCOMPARE(::dateTimeText(serial, date1904, QLocale::c()), c);
    QCOMPARE(::dateTimeText(serial, date1904, russian), ru);
}

void TestValueText::shortDateInEveryLocale()
{
    // Short dates are written without QLocale where the pattern allows: they must read the
    // same as QLocale's own in every locale Qt knows.
    const auto locales =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    QVERIFY(locales.size() > 100);
    for (const QLocale &locale : locales) {
        for (const int serial : {1, 59, 61, 3000, 36585, 45000, 45291, 2958465}) {
            const QDate base = serial < 60 ? QDate(1899, 12, 31) : QDate(1899, 12, 30);
            const QString expected = locale.toString(base.addDays(serial), QLocale::ShortFormat);
            QCOMPARE(::dateTimeText(serial, false, locale), expected);
        }
        QCOMPARE(::dateTimeText(1, true, locale),
                 locale.toString(QDate(1904, 1, 2), QLocale::ShortFormat));
        QCOMPARE(::dateTimeText(60, false, locale), fictitiousDay(locale));
    }
}

void TestValueText::longTexts()
{
    // Texts beyond the builder's stack buffer go on on the heap, whole and in order.
    QString expected;
    TextBuilder text;
    for (int i = 0; i < 3 * TextBuilder::Capacity; ++i) {
        const QString piece = QString::number(i % 100);
        if (i % 2 != 0) {
            text.append(piece);
        } else {
            text.appendTwoDigits(i % 100);
            expected.append(piece.size() == 1 ? u'0' : piece.at(0));
            expected.append(piece.back());
            continue;
        }
        expected.append(piece);
        QCOMPARE(text.toString(), expected);
    }
    QCOMPARE(text.toString(), expected);
}

void TestValueText::errorText_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("NULL") << 0x00 << QStringLiteral("#NULL!");
    QTest::newRow("DIV/0") << 0x07 << QStringLiteral("#DIV/0!");
    QTest::newRow("VALUE") << 0x0F << QStringLiteral("#VALUE!");
    QTest::newRow("REF") << 0x17 << QStringLiteral("#REF!");
    QTest::newRow("NAME") << 0x1D << QStringLiteral("#NAME?");
    QTest::newRow("NUM") << 0x24 << QStringLiteral("#NUM!");
    QTest::newRow("N/A") << 0x2A << QStringLiteral("#N/A");
    QTest::newRow("unknown") << 0x05 << QStringLiteral("#ERR5");
    QTest::newRow("unknown high") << 0xFF << QStringLiteral("#ERR255");
}

void TestValueText::errorText()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(::errorText(std::uint8_t(code)), text);
}

void TestValueText::booleanText()
{
    QCOMPARE(::booleanText(true), QStringLiteral("True"));
    QCOMPARE(::booleanText(false), QStringLiteral("False"));
}

QTEST_GUILESS_MAIN(TestValueText)
#include "tst_valuetext.moc"
