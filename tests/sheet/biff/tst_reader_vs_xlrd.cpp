#include "sheet/WorkbookFormats.h"
#include "sheet/biff/BiffDecryption.h"
#include "sheet/biff/BiffFormat.h"
#include "sheet/exceling.h"
#include "sheet/model/ValueText.h"
#include "sheet/model/WorkbookError.h"
#include "tests/support/SheetText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QSet>
#include <QTest>

#include <cmath>
#include <exception>
#include <functional>

namespace {

// xlrd's cell types.
enum XlrdType { Text = 1, Number = 2, Date = 3, Boolean = 4, Error = 5 };

// Places where our reader and python3-xlrd legitimately read different things. Each entry is
// "file|sheet|row|column" (1-based) with the reason beside it; an entry that no longer differs
// fails the test too, so the list cannot go stale.
const QHash<QString, QString> &knownDifferences()
{
    static const QHash<QString, QString> differences{};
    return differences;
}

// Files xlrd refuses that our reader reads: the reason we accept them.
const QHash<QString, QString> &readableDespiteXlrd()
{
    static const QHash<QString, QString> files{};
    return files;
}

// The largest sheet scanned position by position; larger ones are scanned on the rows that
// hold cells and on their borders, so that a sheet with one cell at (65536, 256) stays quick.
constexpr qint64 FullScanLimit = 4'000'000;

QString dataDir()
{
    return QStringLiteral(ORVANDEL_SOURCE_DIR "/tests/data");
}

QJsonObject loadExpected(const QString &fileName)
{
    QFile file(dataDir() + QStringLiteral("/expected/") + fileName + QStringLiteral(".json"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

bool sameNumber(const QString &ours, double expected)
{
    bool ok = false;
    const double value = QLocale::system().toDouble(ours, &ok);
    if (!ok)
        return false;
    if (expected == 0)
        return value == 0;
    return std::fabs(value - expected) <= std::fabs(expected) * 1e-14;
}

// What our reader should show for one of xlrd's cells, for the message, and whether our
// text matches it.
struct Expectation
{
    QString text;
    bool matches = false;
};

Expectation expect(const QJsonArray &cell, bool date1904, const QString &ours)
{
    const int type = cell.at(2).toInt();
    const QJsonValue value = cell.at(3);
    switch (type) {
    case Text:
        return {value.toString(), ours == value.toString()};
    case Number: {
        const double number = value.toDouble();
        return {numberText(number, QLocale::system()), sameNumber(ours, number)};
    }
    case Date: {
        const QString text = dateTimeText(value.toDouble(), date1904, QLocale::system());
        return {text, ours == text};
    }
    case Boolean: {
        const QString text = booleanText(value.toInt() != 0);
        return {text, ours == text};
    }
    case Error: {
        const QString text = errorText(std::uint8_t(value.toInt()));
        return {text, ours == text};
    }
    default:
        return {QStringLiteral("<xlrd type %1>").arg(type), false};
    }
}

// A cell's text at (row, column), 1-based, of the worksheet being compared.
using CellReader = std::function<QString(int row, int column)>;

// Compares one worksheet cell by cell; returns the differences found as "key: description".
QStringList compareSheet(const QString &file, const QJsonObject &sheet, bool date1904,
                         const CellReader &cellText)
{
    QStringList differences;
    const int index = sheet.value(u"index").toInt();
    const auto report = [&](int row, int col, const QString &ours, const QString &theirs) {
        differences << QStringLiteral("%1|%2|%3|%4").arg(file).arg(index).arg(row).arg(col) +
                           QStringLiteral(": ours %1, xlrd %2").arg(quoted(ours), quoted(theirs));
    };

    QHash<qint64, QJsonArray> cells;
    QSet<int> rowsWithCells;
    for (const QJsonValue &entry : sheet.value(u"cells").toArray()) {
        const QJsonArray cell = entry.toArray();
        const int row = cell.at(0).toInt();
        const int col = cell.at(1).toInt();
        cells.insert(qint64(row) << 16 | col, cell);
        rowsWithCells.insert(row);
    }

    // One row and one column beyond what xlrd saw, within the format's limits.
    const int rows = std::min(sheet.value(u"nrows").toInt() + 1, 65536);
    const int cols = std::min(sheet.value(u"ncols").toInt() + 1, 256);
    const bool fullScan = qint64(rows) * cols <= FullScanLimit;
    for (int row = 1; row <= rows; ++row) {
        if (!fullScan && !rowsWithCells.contains(row) && row > 100 && row < rows - 100)
            continue;
        for (int col = 1; col <= cols; ++col) {
            const QString ours = cellText(row, col);
            const auto found = cells.constFind(qint64(row) << 16 | col);
            if (found == cells.cend()) {
                if (!ours.isEmpty())
                    report(row, col, ours, QString());
                continue;
            }
            const Expectation expected = expect(*found, date1904, ours);
            if (!expected.matches)
                report(row, col, ours, expected.text);
        }
    }
    return differences;
}

QString exceptionText(const std::exception_ptr &error)
{
    try {
        std::rethrow_exception(error);
    } catch (const WorkbookError &e) {
        return QStringLiteral("WorkbookError: ") + e.message();
    } catch (const ViewerError &e) {
        return QStringLiteral("other ViewerError: ") + e.message();
    } catch (const std::exception &e) {
        return QStringLiteral("std::exception: ") + QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("unknown exception");
    }
}

} // namespace

// Every workbook of the corpus and every writer-made fixture, read through the workbook
// operations and held cell by cell against what python3-xlrd reads from the same file; and the
// encrypted workbooks, read with their passwords, against what xlrd reads once they are
// decrypted.
class TestReaderVsXlrd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void workbook_data();
    void workbook();
    void encryptedWorkbook_data();
    void encryptedWorkbook();
    void knownDifferencesStillDiffer();

private:
    void expectOnlyKnown(const QStringList &differences);

    QSet<QString> m_seenDifferences;
};

void TestReaderVsXlrd::initTestCase()
{
    const QDir expected(dataDir() + QStringLiteral("/expected"));
    QVERIFY2(expected.exists(), "tests/data/expected is missing");
}

void TestReaderVsXlrd::cleanupTestCase()
{
    excelRelease();
}

void TestReaderVsXlrd::workbook_data()
{
    QTest::addColumn<QString>("path");
    int count = 0;
    for (const QString &folder : {QStringLiteral("corpus"), QStringLiteral("fixtures")}) {
        const QDir dir(dataDir() + u'/' + folder);
        for (const QString &name :
             dir.entryList({QStringLiteral("*.xls")}, QDir::Files, QDir::Name)) {
            QTest::newRow(qPrintable(folder + u'/' + name)) << dir.filePath(name);
            ++count;
        }
    }
    QVERIFY2(count >= 40, "the corpus or the fixtures are missing");
}

void TestReaderVsXlrd::workbook()
{
    QFETCH(QString, path);
    const QString file = QFileInfo(path).fileName();
    const QJsonObject expected = loadExpected(file);
    QVERIFY2(!expected.isEmpty(), qPrintable(QStringLiteral("no reference file for ") + file));

    QString fileName = path;
    if (expected.contains(u"error")) {
        // xlrd refuses the file: we must refuse it with a clear error, or read it.
        try {
            ExcelOpen(fileName);
        } catch (const WorkbookError &error) {
            QVERIFY2(!error.message().isEmpty(), "empty error message");
            QVERIFY2(!error.message().endsWith(u'.'), qPrintable(error.message()));
            return;
        } catch (...) {
            QFAIL(qPrintable(QStringLiteral("not a WorkbookError: ") +
                             exceptionText(std::current_exception())));
        }
        QVERIFY2(readableDespiteXlrd().contains(file),
                 qPrintable(QStringLiteral("read although xlrd refuses it: ") +
                            expected.value(u"error").toString()));
        ExcelClose();
        return;
    }

    try {
        ExcelOpen(fileName);
    } catch (...) {
        QFAIL(qPrintable(QStringLiteral("xlrd reads it, we do not: ") +
                         exceptionText(std::current_exception())));
    }
    const bool date1904 = expected.value(u"datemode").toInt() == 1;
    const QJsonArray sheets = expected.value(u"sheets").toArray();
    QStringList differences;
    TextBuilder scratch;
    for (const QJsonValue &entry : sheets) {
        const QJsonObject sheet = entry.toObject();
        try {
            ExcelSelectSheet(sheet.value(u"index").toInt());
            differences << compareSheet(file, sheet, date1904, [&](int row, int col) {
                const QString text = ExcelGetCell(row, col);
                // The import reads through the view; it must give the very same text.
                if (excelGetCellText(row, col, scratch) != text)
                    return QStringLiteral("view differs: ") +
                           excelGetCellText(row, col, scratch).toString();
                return text;
            });
        } catch (...) {
            differences << QStringLiteral("%1|%2: %3")
                               .arg(file)
                               .arg(sheet.value(u"index").toInt())
                               .arg(exceptionText(std::current_exception()));
        }
    }
    // Worksheets count worksheets only: there is none after the last one xlrd lists.
    try {
        ExcelSelectSheet(std::int32_t(sheets.size() + 1));
        differences << QStringLiteral("%1: worksheet %2 exists, xlrd lists %3")
                           .arg(file)
                           .arg(sheets.size() + 1)
                           .arg(sheets.size());
    } catch (const WorkbookError &) {
    }
    ExcelClose();
    expectOnlyKnown(differences);
}

void TestReaderVsXlrd::expectOnlyKnown(const QStringList &differences)
{
    QStringList unexpected;
    for (const QString &difference : differences) {
        const QString key = difference.section(u':', 0, 0);
        if (knownDifferences().contains(key))
            m_seenDifferences.insert(key);
        else
            unexpected << difference;
    }
    for (const QString &difference : unexpected)
        qWarning().noquote() << difference;
    QVERIFY2(unexpected.isEmpty(),
             qPrintable(QStringLiteral("%1 cell(s) differ from xlrd").arg(unexpected.size())));
}

void TestReaderVsXlrd::encryptedWorkbook_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("password");
    QFile list(dataDir() + QStringLiteral("/formats/passwords.tsv"));
    QVERIFY(list.open(QIODevice::ReadOnly | QIODevice::Text));
    int count = 0;
    while (!list.atEnd()) {
        const QString line = QString::fromUtf8(list.readLine()).chopped(1);
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const QString file = line.section(u'\t', 0, 0);
        QTest::newRow(qPrintable(file))
            << dataDir() + QStringLiteral("/formats/") + file << line.section(u'\t', 1, 1);
        ++count;
    }
    QVERIFY2(count >= 7, "the encrypted workbooks are missing");
}

void TestReaderVsXlrd::encryptedWorkbook()
{
    QFETCH(QString, path);
    QFETCH(QString, password);
    const QString file = QFileInfo(path).fileName();
    const QJsonObject expected = loadExpected(file);
    QVERIFY2(expected.contains(u"sheets"), qPrintable(QStringLiteral("no reference for ") + file));
    QFile input(path);
    QVERIFY(input.open(QIODevice::ReadOnly));
    const QByteArray bytes = input.readAll();
    const auto span = std::span(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                                std::size_t(bytes.size()));
    const auto kindOf = [](const std::function<void()> &read) {
        try {
            read();
        } catch (const WorkbookError &error) {
            return error.kind();
        }
        return WorkbookError::Kind::NoSuchSheet; // read: no error at all
    };
    // The viewer tries the default password alone; a near miss is refused by the verifier.
    if (password != BiffDecryption::DefaultPassword)
        QCOMPARE(kindOf([&] { readWorkbook(bytes); }), WorkbookError::Kind::Encrypted);
    QCOMPARE(kindOf([&] { readBiffWorkbook(span, password + u'x'); }),
             WorkbookError::Kind::Encrypted);

    std::shared_ptr<Workbook> book;
    try {
        book = readBiffWorkbook(span, password);
    } catch (...) {
        QFAIL(qPrintable(exceptionText(std::current_exception())));
    }
    const bool date1904 = expected.value(u"datemode").toInt() == 1;
    const QJsonArray sheets = expected.value(u"sheets").toArray();
    QCOMPARE(book->worksheetCount(), sheets.size());
    QStringList differences;
    const QLocale locale = QLocale::system();
    for (const QJsonValue &entry : sheets) {
        const QJsonObject sheet = entry.toObject();
        const Worksheet &worksheet = book->worksheet(sheet.value(u"index").toInt());
        differences << compareSheet(file, sheet, date1904, [&](int row, int col) {
            return book->cellText(worksheet, row, col, locale);
        });
    }
    expectOnlyKnown(differences);
}

void TestReaderVsXlrd::knownDifferencesStillDiffer()
{
    for (auto it = knownDifferences().cbegin(); it != knownDifferences().cend(); ++it)
        QVERIFY2(m_seenDifferences.contains(it.key()),
                 qPrintable(it.key() + QStringLiteral(" now reads like xlrd: drop it")));
}

QTEST_GUILESS_MAIN(TestReaderVsXlrd)
#include "tst_reader_vs_xlrd.moc"
