#include "sheet/exceling.h"
#include "sheet/model/DateSerial.h"
#include "sheet/model/Workbook.h"
#include "tests/support/SheetText.h"
#include "util/ViewerError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <optional>

// Workbooks of every format, written by other programs, read through the workbook operations
// as the import reads them (under a ".xls" name, so the content alone decides the format) and
// held against what LibreOffice and SheetJS read from them, under the same shape: the header,
// the rows down to the first empty third column, 13 columns. The readers display numbers and
// dates by the cells' formats, we in the general format and the locale's short date: numbers
// are compared as numbers to the precision the reference shows, dates as dates.
namespace {

constexpr int Columns = 13;
constexpr int KeyColumn = 3;

QString dataDir()
{
    return QStringLiteral(ORVANDEL_SOURCE_DIR "/tests/data/formats");
}

QString unescaped(QStringView field)
{
    QString text;
    text.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] != u'\\' || i + 1 == field.size()) {
            text.append(field[i]);
            continue;
        }
        switch (field[++i].unicode()) {
        case u't':
            text.append(u'\t');
            break;
        case u'n':
            text.append(u'\n');
            break;
        case u'r':
            text.append(u'\r');
            break;
        default:
            text.append(field[i]);
            break;
        }
    }
    return text;
}

using Table = QList<QStringList>;

std::optional<Table> loadTable(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    Table table;
    const QString all = QString::fromUtf8(file.readAll());
    for (QStringView line : QStringView(all).split(u'\n')) {
        if (line.isEmpty())
            continue;
        QStringList cells;
        for (QStringView field : line.split(u'\t'))
            cells << unescaped(field);
        while (cells.size() < Columns)
            cells << QString();
        table << cells;
    }
    return table;
}

// Lines of a TSV file of ours, comments and empty lines left out.
QList<QStringList> loadList(const QString &path)
{
    QList<QStringList> lines;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.trimmed().isEmpty() || line.startsWith('#'))
            continue;
        lines << QString::fromUtf8(line).split(u'\t');
    }
    return lines;
}

// One of our cells: its text as the import reads it, and what the reader holds for it.
struct OurCell
{
    QString text;
    std::optional<Worksheet::Cell> cell;
    bool date = false;
};

struct OurTable
{
    QList<QList<OurCell>> rows;
    bool date1904 = false;
};

OurTable readOurs(const QString &source)
{
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("tempfgr1.xls"));
    if (!QFile::copy(source, path))
        throw std::runtime_error("cannot copy the workbook");
    ExcelOpen(path);
    ExcelSelectSheet(1);
    const std::shared_ptr<const Workbook> book = excelSheetWorkbook();
    const Worksheet &sheet = book->worksheet(1);
    int end = 2;
    while (!ExcelGetCell(end, KeyColumn).isEmpty())
        ++end;
    OurTable table;
    table.date1904 = book->uses1904();
    for (int row = 1; row < end; ++row) {
        QList<OurCell> cells;
        for (int column = 1; column <= Columns; ++column) {
            OurCell ours{ExcelGetCell(row, column), std::nullopt, false};
            if (const Worksheet::Cell *cell = sheet.find(row - 1, column - 1)) {
                ours.cell = *cell;
                ours.date = book->showsDate(*cell);
            }
            cells << ours;
        }
        table.rows << cells;
    }
    ExcelClose();
    return table;
}

// A number as a reader displays it, and how far from it a value may lie and still show so.
struct Displayed
{
    double value;
    double tolerance;
};

std::optional<Displayed> displayedNumber(QString text)
{
    text = text.trimmed();
    text.remove(QRegularExpression(QStringLiteral("[$€£¥₽\\x{00A0} ]")));
    bool negative = false;
    if (text.startsWith(u'(') && text.endsWith(u')')) {
        negative = true;
        text = text.mid(1, text.size() - 2);
    }
    if (text.startsWith(u'-') || text.startsWith(u'\u2212')) {
        negative = !negative;
        text = text.mid(1);
    }
    double scale = 1;
    if (text.endsWith(u'%')) {
        scale = 0.01;
        text.chop(1);
    }
    static const QRegularExpression fraction(QStringLiteral("^(?:(\\d+) )?(\\d+)/(\\d+)$"));
    if (const auto m = fraction.match(text); m.hasMatch()) {
        const double denominator = m.captured(3).toDouble();
        if (denominator == 0)
            return std::nullopt;
        const double value = m.captured(1).toDouble() + m.captured(2).toDouble() / denominator;
        return Displayed{negative ? -value : value, 1.0 / denominator};
    }
    static const QRegularExpression number(
        QStringLiteral("^(\\d{1,3}(?:,\\d{3})+|\\d*)(?:\\.(\\d*))?(?:[Ee]([+-]?\\d+))?$"));
    const auto m = number.match(text);
    if (!m.hasMatch() || (m.captured(1).isEmpty() && m.captured(2).isEmpty()))
        return std::nullopt;
    QString digits = m.captured(1);
    digits.remove(u',');
    const QString decimals = m.captured(2);
    const int exponent = m.captured(3).toInt();
    const double value =
        (digits + u'.' + decimals + u'0').toDouble() * std::pow(10.0, exponent) * scale;
    const double unit = 0.5 * std::pow(10.0, exponent - int(decimals.size())) * scale;
    return Displayed{negative ? -value : value, unit + std::fabs(value) * 1e-12};
}

// A date and/or time as a reader displays it.
struct DisplayedDate
{
    bool hasDate = false;
    int year = -1; // -1: not shown; below 100: two digits shown
    int month = 0;
    int day = 0;         // 0: not shown
    double seconds = -1; // -1: no time shown
    double secondsUnit = 1;
};

int monthNumber(const QString &name)
{
    static const QStringList Months{
        QStringLiteral("jan"), QStringLiteral("feb"), QStringLiteral("mar"), QStringLiteral("apr"),
        QStringLiteral("may"), QStringLiteral("jun"), QStringLiteral("jul"), QStringLiteral("aug"),
        QStringLiteral("sep"), QStringLiteral("oct"), QStringLiteral("nov"), QStringLiteral("dec")};
    return int(Months.indexOf(name.left(3).toLower())) + 1;
}

// The date at the start of `text`: "m/d/yy", "m/d/yyyy", "yyyy-mm-dd", "d-mmm-yy", "d-mmm",
// "mmm-yy", "d.m.yyyy", "mmmm d, yyyy" with or without a weekday; the rest is left in `text`.
std::optional<DisplayedDate> leadingDate(QString &text)
{
    struct Form
    {
        QRegularExpression pattern;
        int year, month, day; // capture groups; 0 for none
        bool monthName;
    };
    static const QList<Form> Forms{
        {QRegularExpression(QStringLiteral("^(\\d{1,2})/(\\d{1,2})/(\\d{4}|\\d{2})")), 3, 1, 2,
         false},
        {QRegularExpression(QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})")), 1, 2, 3, false},
        {QRegularExpression(QStringLiteral("^(\\d{1,2})-([A-Za-z]{3})-(\\d{4}|\\d{2})")), 3, 2, 1,
         true},
        {QRegularExpression(QStringLiteral("^(\\d{1,2})-([A-Za-z]{3})")), 0, 2, 1, true},
        {QRegularExpression(QStringLiteral("^([A-Za-z]{3})-(\\d{2,4})")), 2, 1, 0, true},
        {QRegularExpression(QStringLiteral("^(\\d{1,2})\\.(\\d{1,2})\\.(\\d{4}|\\d{2})")), 3, 2, 1,
         false},
        {QRegularExpression(
             QStringLiteral("^(?:[A-Za-z]+, )?([A-Za-z]+)\\.? (\\d{1,2}),? (\\d{4})")),
         3, 1, 2, true},
    };
    for (const Form &form : Forms) {
        const QRegularExpressionMatch m = form.pattern.match(text);
        if (!m.hasMatch())
            continue;
        DisplayedDate shown;
        shown.hasDate = true;
        shown.year = form.year ? m.captured(form.year).toInt() : -1;
        shown.month =
            form.monthName ? monthNumber(m.captured(form.month)) : m.captured(form.month).toInt();
        shown.day = form.day ? m.captured(form.day).toInt() : 0;
        if (shown.month < 1 || shown.month > 12)
            return std::nullopt;
        text = text.mid(m.capturedLength()).trimmed();
        if (text.startsWith(u'T'))
            text = text.mid(1);
        return shown;
    }
    return DisplayedDate();
}

std::optional<DisplayedDate> displayedDateTime(QString text)
{
    text = text.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    std::optional<DisplayedDate> shown = leadingDate(text);
    if (!shown || text.isEmpty())
        return shown && shown->hasDate ? shown : std::nullopt;
    static const QRegularExpression time(
        QStringLiteral("^(\\d{1,2}):(\\d{2})(?::(\\d{2})(?:[.,](\\d+))?)?\\s*([AaPp][Mm])?$"));
    const QRegularExpressionMatch m = time.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    int hour = m.captured(1).toInt();
    const QString half = m.captured(5).toLower();
    if (half == u"pm" && hour < 12)
        hour += 12;
    if (half == u"am" && hour == 12)
        hour = 0;
    shown->seconds = hour * 3600.0 + m.captured(2).toInt() * 60.0;
    shown->secondsUnit = 60;
    if (m.hasCaptured(3)) {
        shown->seconds += m.captured(3).toInt();
        shown->secondsUnit = 1;
        if (m.hasCaptured(4)) {
            shown->seconds += (QStringLiteral("0.") + m.captured(4)).toDouble();
            shown->secondsUnit = std::pow(10.0, -int(m.captured(4).size()));
        }
    }
    return shown;
}

bool sameDate(double serial, bool date1904, const DisplayedDate &shown)
{
    // The serial's own day and time, rounded to the displayed unit of time.
    const double seconds = serial * 86400.0;
    double day = std::floor(serial);
    double timeOfDay = seconds - day * 86400.0;
    if (shown.seconds >= 0) {
        const double difference = std::fabs(timeOfDay - shown.seconds);
        // Shown rounded or cut, and a time just short of midnight may read as the next day.
        if (difference > shown.secondsUnit && std::fabs(difference - 86400) > shown.secondsUnit)
            return false;
        if (std::fabs(difference - 86400) <= shown.secondsUnit)
            day += 1;
    }
    if (!shown.hasDate)
        return true;
    const double base = date1904 ? 1462 : 0; // the 1904 system's day 0 in 1900 serials
    const double serial1900 = day + base;
    int year, month, dayOfMonth;
    if (serial1900 == 60) {
        year = 1900, month = 2, dayOfMonth = 29;
    } else {
        const std::int64_t days = std::int64_t(serial1900) + (serial1900 < 60 ? 1 : 0) +
                                  DateSerial::daysFromCivil(1899, 12, 30);
        const DateSerial::CivilDate civil = DateSerial::civilFromDays(days);
        year = civil.year, month = civil.month, dayOfMonth = civil.day;
    }
    const bool sameYear = shown.year < 0 || shown.year == (shown.year < 100 ? year % 100 : year);
    return sameYear && month == shown.month && (shown.day == 0 || dayOfMonth == shown.day);
}

QString lineEnds(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

bool matches(const OurCell &ours, const QString &theirs, bool date1904)
{
    if (lineEnds(ours.text) == lineEnds(theirs))
        return true;
    if (ours.text.isEmpty() || theirs.isEmpty())
        return false;
    if (ours.cell && ours.cell->kind == Worksheet::Kind::Boolean)
        return ours.text.compare(theirs.trimmed(), Qt::CaseInsensitive) == 0;
    const bool numeric = ours.cell && (ours.cell->kind == Worksheet::Kind::Number ||
                                       ours.cell->kind == Worksheet::Kind::DateTime);
    if (!numeric)
        return false;
    const double value = ours.cell->number;
    if (ours.date) {
        if (const auto shown = displayedDateTime(theirs))
            return sameDate(value, date1904, *shown);
    }
    if (const auto shown = displayedNumber(theirs))
        return std::fabs(value - shown->value) <= shown->tolerance;
    return false;
}

} // namespace

class tst_FormatCorpus : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void readsLikeTheReferences_data();
    void readsLikeTheReferences();
    void knownDifferencesStillDiffer();
    void cleanupTestCase() { excelRelease(); }

private:
    // "file|row|column" (row "rows" for the row count) of the cells allowed to differ.
    QHash<QString, QString> m_allowed;
    QSet<QString> m_used;
};

void tst_FormatCorpus::initTestCase()
{
    for (const QStringList &entry : loadList(dataDir() + QStringLiteral("/differences.tsv"))) {
        QVERIFY2(entry.size() >= 4, qPrintable(entry.join(u'\t')));
        m_allowed.insert(entry.mid(0, 3).join(u'|'), entry.at(3));
    }
}

void tst_FormatCorpus::readsLikeTheReferences_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("expect");
    QTest::addColumn<QString>("detail");
    const QList<QStringList> cases = loadList(dataDir() + QStringLiteral("/cases.tsv"));
    for (const QStringList &entry : cases) {
        if (entry.value(0) == u"file")
            continue; // the heading
        QTest::addRow("%s", qPrintable(entry.value(0)))
            << entry.value(0) << entry.value(1) << entry.value(2);
    }
    if (cases.isEmpty())
        QSKIP("no cases yet");
}

void tst_FormatCorpus::readsLikeTheReferences()
{
    QFETCH(QString, file);
    QFETCH(QString, expect);
    QFETCH(QString, detail);
    const QString source = dataDir() + u'/' + file;
    QVERIFY2(QFile::exists(source), qPrintable(source));

    if (expect == u"error") {
        try {
            readOurs(source);
        } catch (const ViewerError &error) {
            QVERIFY2(error.message().contains(detail),
                     qPrintable(QStringLiteral("the message was: ") + error.message()));
            return;
        }
        QFAIL(qPrintable(QStringLiteral("read, but should fail with: ") + detail));
    }

    OurTable ours;
    try {
        ours = readOurs(source);
    } catch (const ViewerError &error) {
        QFAIL(qPrintable(QStringLiteral("refused: ") + error.message()));
    }

    const QStringList readers = expect == u"either"
                                    ? QStringList{QStringLiteral("lo"), QStringLiteral("sheetjs")}
                                    : QStringList{expect};
    QList<Table> references;
    for (const QString &reader : readers) {
        const QString path = dataDir() + QStringLiteral("/expected/") + QFileInfo(file).fileName() +
                             u'.' + reader + QStringLiteral(".tsv");
        const std::optional<Table> table = loadTable(path);
        QVERIFY2(table, qPrintable(QStringLiteral("no expected table ") + path));
        references << *table;
    }

    QStringList differences;
    const auto allowed = [&](const QString &row, const QString &column) {
        const QString key = file + u'|' + row + u'|' + column;
        if (!m_allowed.contains(key))
            return false;
        m_used.insert(key);
        return true;
    };
    bool sameRows = false;
    for (const Table &reference : references)
        sameRows = sameRows || reference.size() == ours.rows.size();
    if (!sameRows && !allowed(QStringLiteral("rows"), QStringLiteral("-")))
        differences << QStringLiteral("%1 rows, the reference has %2")
                           .arg(ours.rows.size())
                           .arg(references.first().size());
    for (qsizetype row = 0; row < ours.rows.size(); ++row) {
        for (int column = 0; column < Columns; ++column) {
            const OurCell &cell = ours.rows[row][column];
            bool matched = false;
            bool compared = false;
            for (const Table &reference : references) {
                if (row >= reference.size())
                    continue;
                compared = true;
                if (expect == u"ours" ? cell.text == reference[row][column]
                                      : matches(cell, reference[row][column], ours.date1904))
                    matched = true;
            }
            if (!compared || matched ||
                allowed(QString::number(row + 1), QString::number(column + 1)))
                continue;
            QString theirs;
            for (const Table &reference : references)
                theirs += (theirs.isEmpty() ? QString() : QStringLiteral(" or ")) +
                          quoted(row < reference.size() ? reference[row][column] : QString());
            differences << QStringLiteral("row %1 column %2: ours %3, theirs %4")
                               .arg(row + 1)
                               .arg(column + 1)
                               .arg(quoted(cell.text), theirs);
        }
    }
    QVERIFY2(differences.isEmpty(), qPrintable(differences.join(u'\n')));
}

void tst_FormatCorpus::knownDifferencesStillDiffer()
{
    QStringList stale;
    for (auto it = m_allowed.cbegin(); it != m_allowed.cend(); ++it) {
        if (!m_used.contains(it.key()))
            stale << it.key();
    }
    QVERIFY2(stale.isEmpty(), qPrintable(QStringLiteral("no longer differ: ") + stale.join(u' ')));
}

QTEST_GUILESS_MAIN(tst_FormatCorpus)
#include "tst_formatcorpus.moc"
