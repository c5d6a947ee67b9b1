#include "sheet/WorkbookFormats.h"
#include "sheet/exceling.h"
#include "sheet/model/Workbook.h"
#include "sheet/model/WorkbookError.h"
#include "tests/support/ThrownWorkbookError.h"
#include "tests/support/WholeFile.h"

#include <QTest>

// Reading a workbook for one worksheet and its first columns: what lies outside is passed over
// in every format, damage there does not refuse the workbook, the sheet list stays whole, and
// an unread sheet is refused when asked for rather than shown empty.
class TestReadScope : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanupTestCase();
    void keepsWhatTheScopeNames_data();
    void keepsWhatTheScopeNames();
    void damageOutsideTheScope_data();
    void damageOutsideTheScope();
    void unreadSheetRefusedBySelect();
};

namespace {

QByteArray contents(const QString &path)
{
    return testfiles::readWhole(QStringLiteral(ORVANDEL_SOURCE_DIR "/tests/data/") + path);
}

std::shared_ptr<Workbook> readBytes(const QByteArray &bytes, ReadScope scope = {})
{
    return readWorkbook(QByteArrayView(bytes), ReadControl(scope));
}

QString Text(const Workbook &book, const Worksheet &sheet, int row, int column)
{
    return book.cellText(sheet, row, column, QLocale::c());
}

QString sheetError(const Workbook &book, int number)
{
    return thrownWorkbookError([&] { book.worksheet(number); });
}

QString notReadMessage(int number)
{
    return WorkbookError::sheetNotRead(number).message();
}

// The scoped sheet against the whole one: the same texts in the columns read, none past them.
QStringList cellDifferences(const Workbook &whole, const Workbook &scoped, int number, int columns)
{
    const Worksheet &all = whole.worksheet(number);
    const Worksheet &part = scoped.worksheet(number);
    QStringList differences;
    if (columns > 0 && part.columnCount() > columns)
        differences << QStringLiteral("%1 columns kept").arg(part.columnCount());
    for (int row = 1; row <= all.rowCount(); ++row) {
        for (int column = 1; column <= all.columnCount() + 1; ++column) {
            const QString expected =
                columns == 0 || column <= columns ? Text(whole, all, row, column) : QString();
            const QString got = Text(scoped, part, row, column);
            if (got != expected)
                differences << QStringLiteral("sheet %1 row %2 column %3: \"%4\", not \"%5\"")
                                   .arg(number)
                                   .arg(row)
                                   .arg(column)
                                   .arg(got, expected);
        }
    }
    return differences;
}

} // namespace

void TestReadScope::cleanupTestCase()
{
    excelRelease();
}

void TestReadScope::keepsWhatTheScopeNames_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("sheet");
    QTest::addColumn<int>("columns");

    const QList<std::pair<const char *, QString>> files = {
        {"BIFF8", QStringLiteral("fixtures/xlwt-several-sheets.xls")},
        {"BIFF8 formulas", QStringLiteral("fixtures/calc-formulas.xls")},
        {"OOXML", QStringLiteral("formats/scope__two-sheets.xlsx")},
        {"XLSB", QStringLiteral("formats/ours__records.xlsb")},
        {"encrypted XLSB", QStringLiteral("formats/ours__agile-default-password.xlsb")},
        {"ODS", QStringLiteral("formats/odfpy__hidden-first.ods")},
        {"FODS", QStringLiteral("formats/libreoffice__results.fods")},
        {"XML 2003", QStringLiteral("formats/poi__SampleSS.xml")},
        {"web page", QStringLiteral("formats/libreoffice__results.html")},
        {"text", QStringLiteral("formats/libreoffice__results-utf8-comma.csv")},
    };
    const QList<std::pair<int, int>> scopes = {{1, 0}, {2, 0}, {1, 2}, {0, 3}, {2, 1}};
    for (const auto &[format, file] : files) {
        for (const auto &[sheet, columns] : scopes)
            QTest::addRow("%s, sheet %d, %d columns", format, sheet, columns)
                << file << sheet << columns;
    }
}

void TestReadScope::keepsWhatTheScopeNames()
{
    QFETCH(QString, file);
    QFETCH(int, sheet);
    QFETCH(int, columns);
    const QByteArray bytes = contents(file);
    const std::shared_ptr<Workbook> whole = readBytes(bytes);
    const std::shared_ptr<Workbook> scoped = readBytes(bytes, ReadScope{sheet, columns});

    QCOMPARE(scoped->worksheetCount(), whole->worksheetCount());
    for (int n = 1; n <= whole->worksheetCount(); ++n) {
        if (sheet != 0 && n != sheet) {
            QVERIFY(!scoped->isRead(n));
            QCOMPARE(sheetError(*scoped, n), notReadMessage(n));
            continue;
        }
        QVERIFY(scoped->isRead(n));
        const QStringList differences = cellDifferences(*whole, *scoped, n, columns);
        QVERIFY2(differences.isEmpty(), qPrintable(differences.join(u'\n')));
    }
    const int past = whole->worksheetCount() + 1;
    QCOMPARE(sheetError(*scoped, past), WorkbookError::noSuchSheet(past).message());
}

void TestReadScope::damageOutsideTheScope_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("intact");
    QTest::addColumn<QString>("damage");

    const QString xlsx = QStringLiteral("formats/scope__two-sheets.xlsx");
    const QString xlsb = QStringLiteral("formats/ours__records.xlsb");
    QTest::newRow("OOXML, second sheet's part missing")
        << QStringLiteral("formats/scope__missing-second-part.xlsx") << xlsx
        << QStringLiteral("xl/worksheets/sheet2.xml is missing");
    QTest::newRow("OOXML, second sheet's cell outside the sheet")
        << QStringLiteral("formats/scope__second-cell-outside.xlsx") << xlsx
        << QStringLiteral("outside the sheet");
    QTest::newRow("XLSB, second sheet's part missing")
        << QStringLiteral("formats/scope__missing-second-part.xlsb") << xlsb
        << QStringLiteral("its package has no part xl/worksheets/sheet2.bin");
    QTest::newRow("XLSB, second sheet's row outside the sheet")
        << QStringLiteral("formats/scope__second-row-outside.xlsb") << xlsb
        << QStringLiteral("a row lies outside the sheet");
}

void TestReadScope::damageOutsideTheScope()
{
    QFETCH(QString, file);
    QFETCH(QString, intact);
    QFETCH(QString, damage);
    const QByteArray bytes = contents(file);
    const QString refusal = thrownWorkbookError([&] { readBytes(bytes); });
    QVERIFY2(refusal.startsWith(QStringLiteral("The workbook is damaged")) &&
                 refusal.contains(damage),
             qPrintable(refusal));

    const std::shared_ptr<Workbook> scoped = readBytes(bytes, ReadScope{1, 0});
    QCOMPARE(scoped->worksheetCount(), 2);
    QCOMPARE(sheetError(*scoped, 2), notReadMessage(2));
    const std::shared_ptr<Workbook> reference = readBytes(contents(intact));
    const QStringList differences = cellDifferences(*reference, *scoped, 1, 0);
    QVERIFY2(differences.isEmpty(), qPrintable(differences.join(u'\n')));
    QVERIFY(scoped->worksheet(1).rowCount() > 2);
}

void TestReadScope::unreadSheetRefusedBySelect()
{
    QString path = QStringLiteral(ORVANDEL_SOURCE_DIR "/tests/data/formats/scope__two-sheets.xlsx");
    ExcelOpen(path, nullptr, ReadScope{2, 1});
    ExcelSelectSheet(2);
    QCOMPARE(ExcelGetCell(1, 1), QStringLiteral("второй лист"));
    QCOMPARE(ExcelGetCell(2, 2), QString()); // past the column read
    QCOMPARE(thrownWorkbookError([] { ExcelSelectSheet(1); }),
             QStringLiteral("Worksheet 1 was not read: the workbook was opened for another one"));
    QCOMPARE(WorkbookError::sheetNotRead(1).kind(), WorkbookError::Kind::SheetNotRead);
    // The selection stays where it was.
    QCOMPARE(ExcelGetCell(1, 1), QStringLiteral("второй лист"));

    ExcelOpen(path);
    ExcelSelectSheet(1);
    ExcelSelectSheet(2);
    QCOMPARE(ExcelGetCell(2, 2), QStringLiteral("42"));
}

QTEST_GUILESS_MAIN(TestReadScope)
#include "tst_readscope.moc"
