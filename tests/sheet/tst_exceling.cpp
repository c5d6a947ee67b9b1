#include "sheet/WorkbookFormats.h"
#include "sheet/exceling.h"
#include "sheet/model/ValueText.h"
#include "sheet/model/Workbook.h"
#include "sheet/model/WorkbookError.h"
#include "tests/support/WholeFile.h"
#include "tests/support/XlsTestFiles.h"
#include "util/InOutError.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace xlstest;

// The BIFF records a workbook's cells come from, and the workbook operations with their
// lifecycle: what ExcelApp and ExcelSheet hold across opens, selects, closes and failures.
class TestExceling : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanupTestCase();

    void cellValues_data();
    void cellValues();
    void sharedStringsAcrossContinue_data();
    void sharedStringsAcrossContinue();
    void formulaTextAcrossContinue();
    void cyrillicBiff5();
    void dates1904();
    void worksheetNumbering();
    void lastRowAndOrder();
    void biff2PlainFile();
    void biff4WorkbookRefused();
    void encryptionHeaders_data();
    void encryptionHeaders();
    void textsCutAtRecordEnd_data();
    void textsCutAtRecordEnd();
    void damagedRecords_data();
    void damagedRecords();
    void overlappingSheetsStayCheap();

    void getCellBeforeSelect();
    void openErrors();
    void twoOpensInARow();
    void failedOpenReleasesPrevious();
    void failedSelectKeepsSheet();
    void closeKeepsReferences();
    void releasedRowsReadEmpty_data();
    void releasedRowsReadEmpty();
    void releaseAtExit();

private:
    QString writeFile(const QString &name, const QByteArray &bytes);
    QTemporaryDir m_dir;
};

namespace {

QString cellOf(const QByteArray &file, int row, int column, int sheet = 1)
{
    const auto book = readWorkbook(file);
    return book->cellText(book->worksheet(sheet), row, column, QLocale::system());
}

QString oneCell(const QByteArray &cells, const QByteArray &globals = {})
{
    return cellOf(xlsFile(simpleStream(cells, globals)), 1, 1);
}

// RK values: a 30-bit integer, or the top 30 bits of a double, optionally times 100.
std::uint32_t rkInt(std::int32_t v, bool hundredths = false)
{
    return (std::uint32_t(v) << 2) | 2u | (hundredths ? 1u : 0u);
}

std::uint32_t rkDouble(double v)
{
    std::uint64_t bits;
    std::memcpy(&bits, &v, 8);
    return std::uint32_t(bits >> 32) & 0xFFFFFFFCu;
}

WorkbookError::Kind kindOf(const std::function<void()> &action, QString *message = nullptr)
{
    try {
        action();
    } catch (const WorkbookError &e) {
        if (message)
            *message = e.message();
        return e.kind();
    }
    return WorkbookError::Kind(-1);
}

} // namespace

void TestExceling::init()
{
    excelRelease();
}

void TestExceling::cleanupTestCase()
{
    excelRelease();
}

QString TestExceling::writeFile(const QString &name, const QByteArray &bytes)
{
    return testfiles::writeInto(QDir(m_dir.path()), name, bytes);
}

void TestExceling::cellValues_data()
{
    const QLocale locale = QLocale::system();
    QTest::addColumn<QByteArray>("cells");
    QTest::addColumn<QString>("text");
    QTest::newRow("NUMBER fraction") << number(0, 0, 1.5) << numberText(1.5, locale);
    QTest::newRow("NUMBER negative integer") << number(0, 0, -42) << QStringLiteral("-42");
    QTest::newRow("NUMBER 0.1+0.2") << number(0, 0, 0.1 + 0.2) << numberText(0.3, locale);
    QTest::newRow("RK integer") << rk(0, 0, rkInt(-7)) << QStringLiteral("-7");
    QTest::newRow("RK hundredths") << rk(0, 0, rkInt(1234, true)) << numberText(12.34, locale);
    QTest::newRow("RK double") << rk(0, 0, rkDouble(2.5)) << numberText(2.5, locale);
    QTest::newRow("MULRK first") << mulRk(0, 0, {rkInt(1), rkInt(2), rkInt(3)})
                                 << QStringLiteral("1");
    QTest::newRow("LABEL 8-bit") << label8(0, 0, QStringLiteral("Grüße"))
                                 << QStringLiteral("Grüße");
    QTest::newRow("LABEL UTF-16 with line feed")
        << label8(0, 0, QStringLiteral("Иванов\nПётр\r")) << QStringLiteral("Иванов\nПётр\r");
    QTest::newRow("LABEL empty") << label8(0, 0, QString()) << QString();
    QTest::newRow("RSTRING") << record(0x00D6, cellHead(0, 0) +
                                                   unicodeText(QStringLiteral("rich")) + u16(0))
                             << QStringLiteral("rich");
    QTest::newRow("BOOLERR true") << boolErr(0, 0, 1, false) << QStringLiteral("True");
    QTest::newRow("BOOLERR false") << boolErr(0, 0, 0, false) << QStringLiteral("False");
    QTest::newRow("BOOLERR #DIV/0!") << boolErr(0, 0, 0x07, true) << QStringLiteral("#DIV/0!");
    QTest::newRow("BOOLERR #N/A") << boolErr(0, 0, 0x2A, true) << QStringLiteral("#N/A");
    QTest::newRow("FORMULA number") << formulaNumber(0, 0, 0.25) << numberText(0.25, locale);
    QTest::newRow("FORMULA text") << formulaSpecial(0, 0, 0) + stringRecord(QStringLiteral("Σ = 3"))
                                  << QStringLiteral("Σ = 3");
    QTest::newRow("FORMULA text after shared formula")
        << formulaSpecial(0, 0, 0) + record(0x04BC, QByteArray(10, '\0')) +
               stringRecord(QStringLiteral("shared"))
        << QStringLiteral("shared");
    QTest::newRow("FORMULA text without STRING") << formulaSpecial(0, 0, 0) << QString();
    QTest::newRow("FORMULA boolean") << formulaSpecial(0, 0, 1, 1) << QStringLiteral("True");
    QTest::newRow("FORMULA error") << formulaSpecial(0, 0, 2, 0x1D) << QStringLiteral("#NAME?");
    QTest::newRow("FORMULA empty text") << formulaSpecial(0, 0, 3) << QString();
    QTest::newRow("BLANK") << blank(0, 0) << QString();
    QTest::newRow("MULBLANK") << mulBlank(0, 0, 3) << QString();
    QTest::newRow("built-in date format")
        << number(0, 0, 45000, 1) << dateTimeText(45000, false, locale);
    QTest::newRow("custom date-time format")
        << number(0, 0, 45000.5, 2) << dateTimeText(45000.5, false, locale);
    QTest::newRow("quoted d is no date") << number(0, 0, 3, 3) << numberText(3, locale);
    QTest::newRow("RK date") << rk(0, 0, rkInt(45000), 1) << dateTimeText(45000, false, locale);
    QTest::newRow("style index without XF") << number(0, 0, 2, 999) << QStringLiteral("2");
    QTest::newRow("later record wins")
        << number(0, 0, 1) + label8(0, 0, QStringLiteral("second")) << QStringLiteral("second");
}

void TestExceling::cellValues()
{
    QFETCH(QByteArray, cells);
    QFETCH(QString, text);
    QCOMPARE(oneCell(cells), text);

    // The import's way: a view, with a scratch buffer that still holds an earlier text, one
    // long enough to have left the stack.
    QString path = writeFile(QStringLiteral("cell.xls"), xlsFile(simpleStream(cells)));
    ExcelOpen(path);
    ExcelSelectSheet(1);
    TextBuilder scratch;
    scratch.append(QString(200, u'x'));
    QCOMPARE(excelGetCellText(1, 1, scratch).toString(), text);
    QCOMPARE(excelGetCellText(1, 1, scratch).toString(), text);
    QCOMPARE(ExcelGetCell(1, 1), text);
    QVERIFY(excelGetCellText(2, 1, scratch).isEmpty());
}

void TestExceling::sharedStringsAcrossContinue_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QStringList>("strings");
    const QStringList two{QStringLiteral("abcdef"), QStringLiteral("Жук")};
    const QByteArray zhuk = u16(3) + u8(1) + u16(0x0416) + u16(0x0443) + u16(0x043A);
    QTest::newRow("no continue") << QList<QByteArray>{u16(6) + u8(0) + "abcdef" + zhuk} << two;
    QTest::newRow("split between strings")
        << QList<QByteArray>{u16(6) + u8(0) + "abcdef", zhuk} << two;
    QTest::newRow("split in 8-bit characters, goes on 8-bit")
        << QList<QByteArray>{u16(6) + u8(0) + "abc", u8(0) + "def" + zhuk} << two;
    QTest::newRow("split in 8-bit characters, goes on 16-bit")
        << QList<QByteArray>{u16(6) + u8(0) + "ab",
                             u8(1) + u16('c') + u16('d') + u16('e') + u16('f') + zhuk}
        << two;
    QTest::newRow("split in 16-bit characters, goes on 8-bit")
        << QList<QByteArray>{u16(6) + u8(0) + "abcdef" + u16(3) + u8(1) + u16(0x0416),
                             u8(0) + "\xF3\xEA"}
        << QStringList{QStringLiteral("abcdef"), QStringLiteral("Жóê")};
    // Rich text: 2 formatting runs; phonetic block of 6 bytes; both cross into the next record.
    QTest::newRow("runs and phonetic block skipped")
        << QList<QByteArray>{u16(6) + u8(0x0C) + u16(2) + u32(6) + "abcdef" + u32(0x11111111),
                             u32(0x22222222) + QByteArray(6, '\x7F') + zhuk}
        << two;
    QTest::newRow("run headers split from characters")
        << QList<QByteArray>{u16(6) + u8(0x08) + u16(1), u8(0) + "abcdef" + u32(0) + zhuk} << two;
}

void TestExceling::sharedStringsAcrossContinue()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QStringList, strings);
    QByteArray cells;
    for (int i = 0; i < strings.size(); ++i)
        cells += labelSst(i, 0, std::uint32_t(i));
    const QByteArray file =
        xlsFile(simpleStream(cells, sst(std::uint32_t(strings.size()), chunks)));
    for (int i = 0; i < strings.size(); ++i)
        QCOMPARE(cellOf(file, i + 1, 1), strings[i]);
}

void TestExceling::formulaTextAcrossContinue()
{
    const QByteArray cells = formulaSpecial(0, 0, 0) + record(0x0207, u16(5) + u8(0) + "ab") +
                             record(0x003C, u8(1) + u16('c') + u16(0x0434) + u16('e'));
    QCOMPARE(oneCell(cells), QStringLiteral("abcдe"));
}

void TestExceling::cyrillicBiff5()
{
    // "Привет, мир" and the sheet name "Лист" in Windows-1251.
    const QByteArray text = QByteArrayLiteral("\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0");
    const QByteArray globals = record(0x0042, u16(1251)) + standardStyles(5);
    QByteArray stream = bof(5, 5) + globals;
    const qsizetype offsetAt = stream.size() + 4;
    stream +=
        record(0x0085, u32(0) + u8(0) + u8(0) + u8(4) + QByteArrayLiteral("\xCB\xE8\xF1\xF2"));
    stream += eof();
    putU32(stream, offsetAt, std::uint32_t(stream.size()));
    stream += bof(5, 0x10) + label5(0, 0, text) + formulaSpecial(1, 0, 0) +
              record(0x0207, u16(3) + QByteArrayLiteral("\xC0\xC1\xC2")) + eof();
    const auto book = readWorkbook(xlsFile(stream, QStringLiteral("Book")));
    QCOMPARE(book->formatName(), QStringLiteral("BIFF5"));
    QCOMPARE(book->codePage(), 1251);
    QCOMPARE(book->worksheet(1).name(), QStringLiteral("Лист"));
    QCOMPARE(book->cellText(book->worksheet(1), 1, 1, QLocale::c()), QStringLiteral("Привет, мир"));
    QCOMPARE(book->cellText(book->worksheet(1), 2, 1, QLocale::c()), QStringLiteral("АБВ"));
}

void TestExceling::dates1904()
{
    const QLocale locale = QLocale::system();
    const QByteArray file = xlsFile(simpleStream(number(0, 0, 36524, 1), record(0x0022, u16(1))));
    QCOMPARE(cellOf(file, 1, 1), dateTimeText(36524, true, locale));
    QVERIFY(dateTimeText(36524, true, locale) != dateTimeText(36524, false, locale));
}

void TestExceling::worksheetNumbering()
{
    // A chart sheet first, then a worksheet, a macro sheet, a hidden worksheet and a module.
    const QByteArray stream = workbookStream(
        8, standardStyles(8),
        {Sheet{QStringLiteral("Chart"), number(0, 0, 99), 2},
         Sheet{QStringLiteral("First"), label8(0, 0, QStringLiteral("first"))},
         Sheet{QStringLiteral("Macro"), number(0, 0, 98), 1},
         Sheet{QStringLiteral("Hidden"), label8(0, 0, QStringLiteral("hidden")), 0, 1},
         Sheet{QStringLiteral("Module"), QByteArray(), 6}});
    QString path = writeFile(QStringLiteral("numbering.xls"), xlsFile(stream));
    ExcelOpen(path);
    ExcelSelectSheet(1);
    QCOMPARE(ExcelGetCell(1, 1), QStringLiteral("first"));
    ExcelSelectSheet(2);
    QCOMPARE(ExcelGetCell(1, 1), QStringLiteral("hidden"));
    for (int bad : {3, 0, -1}) {
        QString message;
        QCOMPARE(kindOf([&] { ExcelSelectSheet(bad); }, &message),
                 WorkbookError::Kind::NoSuchSheet);
        QCOMPARE(message, QStringLiteral("The workbook has no worksheet %1").arg(bad));
    }
    QCOMPARE(ExcelGetCell(1, 1), QStringLiteral("hidden"));
    QCOMPARE(ExcelGetCell(0, 1), QString());
    QCOMPARE(ExcelGetCell(1, 0), QString());
    QCOMPARE(ExcelGetCell(-5, -5), QString());
}

void TestExceling::lastRowAndOrder()
{
    // 65,536 rows (the most BIFF8 has), written last row first and with a MULRK in between.
    QByteArray cells;
    for (int r = 65535; r >= 0; --r)
        cells += rk(r, 2, rkInt(r + 1));
    cells += mulRk(100, 0, {rkInt(7), rkInt(8)});
    const auto book = readWorkbook(xlsFile(simpleStream(cells)));
    const Worksheet &sheet = book->worksheet(1);
    QCOMPARE(sheet.rowCount(), 65536);
    QCOMPARE(sheet.columnCount(), 3);
    QCOMPARE(book->cellText(sheet, 65536, 3, QLocale::c()), QStringLiteral("65536"));
    QCOMPARE(book->cellText(sheet, 65537, 3, QLocale::c()), QString());
    QCOMPARE(book->cellText(sheet, 1, 3, QLocale::c()), QStringLiteral("1"));
    QCOMPARE(book->cellText(sheet, 101, 1, QLocale::c()), QStringLiteral("7"));
    QCOMPARE(book->cellText(sheet, 101, 2, QLocale::c()), QStringLiteral("8"));
    QCOMPARE(book->cellText(sheet, 101, 3, QLocale::c()), QStringLiteral("101"));
    QCOMPARE(book->cellText(sheet, 101, 4, QLocale::c()), QString());
    QCOMPARE(book->cellText(sheet, 100, 257, QLocale::c()), QString());
}

void TestExceling::biff2PlainFile()
{
    // Excel 2.1: no container, three attribute bytes per cell, 8-bit lengths.
    const QByteArray attr(3, '\0');
    const QByteArray file = record(0x0009, u16(0x0002) + u16(0x0010)) +
                            record(0x0003, u16(0) + u16(0) + attr + f64(2.5)) +
                            record(0x0002, u16(0) + u16(1) + attr + u16(17)) +
                            record(0x0004, u16(1) + u16(0) + attr + u8(5) + "hello") +
                            record(0x0005, u16(1) + u16(1) + attr + u8(1) + u8(0)) + eof();
    const auto book = readWorkbook(file);
    QCOMPARE(book->formatName(), QStringLiteral("BIFF2"));
    const Worksheet &s = book->worksheet(1);
    QCOMPARE(book->cellText(s, 1, 1, QLocale::c()), QStringLiteral("2.5"));
    QCOMPARE(book->cellText(s, 1, 2, QLocale::c()), QStringLiteral("17"));
    QCOMPARE(book->cellText(s, 2, 1, QLocale::c()), QStringLiteral("hello"));
    QCOMPARE(book->cellText(s, 2, 2, QLocale::c()), QStringLiteral("True"));
}

void TestExceling::biff4WorkbookRefused()
{
    const QByteArray file = record(0x0409, u16(0) + u16(0x0100) + u16(0)) + eof();
    QString message;
    QCOMPARE(kindOf([&] { readWorkbook(file); }, &message), WorkbookError::Kind::NotWorkbook);
    QVERIFY(message.contains(QStringLiteral("Excel 4.0 workbook")));
}

// A FILEPASS record of the RC4 CryptoAPI kind: the header fields, the provider's name and a
// verifier that no password matches.
QByteArray cryptoApiFilePass(std::uint32_t algorithm, std::uint32_t keyBits,
                             std::uint32_t saltSize = 16, std::uint32_t headerSizeExtra = 0)
{
    const QByteArray header = u32(0x04) + u32(0) + u32(algorithm) + u32(0x8004) + u32(keyBits) +
                              u32(1) + u32(0) + u32(0) + u16('P') + u16(0);
    const QByteArray verifier = u32(saltSize) + QByteArray(16, '\x5A') + QByteArray(16, '\x11') +
                                u32(20) + QByteArray(20, '\x22');
    return record(0x002F, u16(1) + u16(4) + u16(2) + u32(0x04) +
                              u32(std::uint32_t(header.size()) + headerSizeExtra) + header +
                              verifier);
}

void TestExceling::encryptionHeaders_data()
{
    using Kind = WorkbookError::Kind;
    QTest::addColumn<QByteArray>("filePass");
    QTest::addColumn<Kind>("kind");
    QTest::newRow("XOR, another password")
        << record(0x002F, u16(0) + u16(0x1234) + u16(0x5678)) << Kind::Encrypted;
    QTest::newRow("RC4, another password")
        << record(0x002F, u16(1) + u16(1) + u16(1) + QByteArray(48, '\x11')) << Kind::Encrypted;
    QTest::newRow("CryptoAPI 128-bit, another password")
        << cryptoApiFilePass(0x6801, 128) << Kind::Encrypted;
    QTest::newRow("CryptoAPI 56-bit, another password")
        << cryptoApiFilePass(0x6801, 56) << Kind::Encrypted;
    QTest::newRow("empty") << record(0x002F, QByteArray()) << Kind::Damaged;
    QTest::newRow("XOR cut short") << record(0x002F, u16(0) + u16(0x1234)) << Kind::Damaged;
    QTest::newRow("unknown scheme") << record(0x002F, u16(7) + QByteArray(52, 0)) << Kind::Damaged;
    QTest::newRow("RC4 unknown version")
        << record(0x002F, u16(1) + u16(0x1111) + u16(0x1111) + QByteArray(48, 0)) << Kind::Damaged;
    QTest::newRow("RC4 cut short")
        << record(0x002F, u16(1) + u16(1) + u16(1) + QByteArray(40, 0)) << Kind::Damaged;
    QTest::newRow("CryptoAPI header past its record")
        << cryptoApiFilePass(0x6801, 128, 16, 1000) << Kind::Damaged;
    QTest::newRow("CryptoAPI verifier cut short")
        << cryptoApiFilePass(0x6801, 128, 16, 60) << Kind::Damaged;
    QTest::newRow("CryptoAPI with AES") << cryptoApiFilePass(0x660E, 128) << Kind::Damaged;
    QTest::newRow("CryptoAPI 256-bit key") << cryptoApiFilePass(0x6801, 256) << Kind::Damaged;
    QTest::newRow("CryptoAPI 8-byte salt") << cryptoApiFilePass(0x6801, 128, 8) << Kind::Damaged;
}

void TestExceling::encryptionHeaders()
{
    QFETCH(QByteArray, filePass);
    QFETCH(WorkbookError::Kind, kind);
    const QByteArray file = xlsFile(simpleStream(number(0, 0, 1), filePass));
    QString message;
    QCOMPARE(kindOf([&] { readWorkbook(file); }, &message), kind);
    if (kind == WorkbookError::Kind::Encrypted)
        QCOMPARE(message, QStringLiteral("The workbook is password-protected"));
    else
        QVERIFY2(message.startsWith(QStringLiteral("The workbook is damaged: ")),
                 qPrintable(message));
}

void TestExceling::textsCutAtRecordEnd_data()
{
    // Style 4 (the first after the standard ones) of a date serial: whether its format was
    // read shows in the cell's text.
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("text");
    const QLocale locale = QLocale::system();
    const QString date = dateTimeText(45000, false, locale);
    const auto withGlobals = [](int biff, const QByteArray &globals, int style = 4) {
        return xlsFile(
            workbookStream(biff, standardStyles(biff) + globals,
                           {Sheet{QStringLiteral("Sheet1"), number(0, 0, 45000, style)}}));
    };
    const QByteArray isoDate = "yyyy-mm-dd";
    QTest::newRow("8-bit format one character short")
        << withGlobals(8, record(0x041E, u16(170) + u16(11) + u8(0) + isoDate) + xf(8, 170))
        << date;
    QByteArray wide;
    for (char c : isoDate)
        wide += u16(std::uint16_t(c));
    QTest::newRow("UTF-16 format ending in half a character")
        << withGlobals(8, record(0x041E, u16(170) + u16(40) + u8(1) + wide + u8('x')) + xf(8, 170))
        << date;
    QTest::newRow("format with rich-text header past its record")
        << withGlobals(8, record(0x041E, u16(170) + u16(3) + u8(0x08) + u8(0)) + xf(8, 170))
        << numberText(45000, locale);
    QTest::newRow("BIFF5 format one character short")
        << withGlobals(5, record(0x041E, u16(170) + u8(11) + isoDate) + xf(5, 170)) << date;
    QTest::newRow("format without its number")
        << withGlobals(8, record(0x041E, u8(1)) + xf(8, 14)) << date;
    QTest::newRow("style too short keeps the numbering")
        << withGlobals(8, record(0x00E0, u16(0)) + xf(8, 14), 5) << date;
    QByteArray longName = withGlobals(8, xf(8, 14));
    const qsizetype entry = longName.indexOf(QByteArray::fromHex("8500"));
    longName[entry + 4 + 6] = char(longName[entry + 4 + 6] + 1);
    QTest::newRow("sheet name one character short") << longName << date;
}

void TestExceling::textsCutAtRecordEnd()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, text);
    QCOMPARE(cellOf(file, 1, 1), text);
}

void TestExceling::damagedRecords_data()
{
    QTest::addColumn<QByteArray>("stream");
    const QByteArray good = simpleStream(number(0, 0, 1));
    QTest::newRow("record past the end") << good.left(good.size() - 3);
    QTest::newRow("short NUMBER") << simpleStream(record(0x0203, cellHead(0, 0)));
    QTest::newRow("short LABEL text")
        << simpleStream(record(0x0204, cellHead(0, 0) + u16(50) + u8(0) + "abc"));
    QTest::newRow("LABELSST without SST") << simpleStream(labelSst(0, 0, 0));
    QTest::newRow("LABELSST past the SST")
        << simpleStream(labelSst(0, 0, 1), sst(1, {u16(1) + u8(0) + "a"}));
    QTest::newRow("SST text past its records")
        << simpleStream(labelSst(0, 0, 0), sst(1, {u16(100) + u8(0) + "a"}));
    QTest::newRow("SST phonetic block past its records")
        << simpleStream(labelSst(0, 0, 0), sst(1, {u16(1) + u8(4) + u32(0x7FFFFFFF) + "a"}));
    QByteArray badOffset = good;
    // The sheet list entry's offset sits right after the globals' BOF and styles.
    const qsizetype entry = badOffset.indexOf(QByteArray::fromHex("8500"));
    putU32(badOffset, entry + 4, 0x7FFFFFFF);
    QTest::newRow("sheet offset beyond stream") << badOffset;
    putU32(badOffset, entry + 4, 2);
    QTest::newRow("sheet offset not at a BOF") << badOffset;
}

void TestExceling::damagedRecords()
{
    QFETCH(QByteArray, stream);
    QString message;
    // Unpadded, so that nothing follows the stream's last byte.
    const QByteArray file = container({{QStringLiteral("Workbook"), stream}}, false).bytes;
    QCOMPARE(kindOf([&] { readWorkbook(file); }, &message), WorkbookError::Kind::Damaged);
    QVERIFY2(message.startsWith(QStringLiteral("The workbook is damaged: ")), qPrintable(message));
}

void TestExceling::overlappingSheetsStayCheap()
{
    // Thousands of sheet list entries that all point at one big sheet would cost quadratic
    // time if each were read; the reader notices the overlap instead.
    QByteArray cells;
    for (int r = 0; r < 20000; ++r)
        cells += rk(r, 0, rkInt(r));
    QList<Sheet> sheets;
    for (int i = 0; i < 2000; ++i)
        sheets << Sheet{QStringLiteral("S"), QByteArray()};
    QByteArray stream = workbookStream(8, standardStyles(8), sheets);
    const qsizetype sheetStart = stream.size();
    stream += bof(8, 0x10) + cells + eof();
    for (qsizetype at = stream.indexOf(QByteArray::fromHex("8500")); at >= 0 && at < sheetStart;
         at = stream.indexOf(QByteArray::fromHex("8500"), at + 1))
        if (at + 8 < sheetStart && stream[at + 2] == char(9))
            putU32(stream, at + 4, std::uint32_t(sheetStart));
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(kindOf([&] { readWorkbook(xlsFile(stream)); }), WorkbookError::Kind::Damaged);
    QVERIFY(timer.elapsed() < 2000);
}

void TestExceling::getCellBeforeSelect()
{
    QString message;
    QCOMPARE(kindOf([] { ExcelGetCell(1, 1); }, &message),
             WorkbookError::Kind::InvalidVariantOperation);
    QCOMPARE(message, QStringLiteral("Invalid variant operation"));
    QCOMPARE(kindOf([] { ExcelSelectSheet(1); }), WorkbookError::Kind::InvalidVariantOperation);
    QCOMPARE(kindOf([] { ExcelClose(); }), WorkbookError::Kind::InvalidVariantOperation);
    // Opening is not selecting.
    QString path = writeFile(QStringLiteral("a.xls"), xlsFile(simpleStream(number(0, 0, 1))));
    ExcelOpen(path);
    QCOMPARE(kindOf([] { ExcelGetCell(1, 1); }), WorkbookError::Kind::InvalidVariantOperation);
    TextBuilder scratch;
    QCOMPARE(kindOf([&] { excelGetCellText(1, 1, scratch); }),
             WorkbookError::Kind::InvalidVariantOperation);
}

void TestExceling::openErrors()
{
    QString missing = m_dir.filePath(QStringLiteral("missing.xls"));
    try {
        ExcelOpen(missing);
        QFAIL("opened a missing file");
    } catch (const InOutError &e) {
        QCOMPARE(e.code(), 2);
        QCOMPARE(e.message(), QStringLiteral("File not found"));
    }
    QString dir = m_dir.path();
    QVERIFY_THROWS_EXCEPTION(InOutError, ExcelOpen(dir));
    QString empty;
    QVERIFY_THROWS_EXCEPTION(InOutError, ExcelOpen(empty));
    // Binary: text would read as delimited text.
    QString text =
        writeFile(QStringLiteral("text.xls"), QByteArrayLiteral("\x89PNG\r\n\x1a\n\0\0"));
    QString message;
    QCOMPARE(kindOf([&] { ExcelOpen(text); }, &message), WorkbookError::Kind::NotWorkbook);
    QCOMPARE(message, QStringLiteral("The file is not an Excel workbook"));
    QVERIFY(!excelAppWorkbook());
}

void TestExceling::twoOpensInARow()
{
    QString a = writeFile(QStringLiteral("a.xls"),
                          xlsFile(simpleStream(label8(0, 0, QStringLiteral("A")))));
    QString b = writeFile(QStringLiteral("b.xls"),
                          xlsFile(simpleStream(label8(0, 0, QStringLiteral("B")))));
    ExcelOpen(a);
    ExcelSelectSheet(1);
    QCOMPARE(ExcelGetCell(1, 1), QStringLiteral("A"));
    ExcelClose();
    std::weak_ptr<const Workbook> first = excelAppWorkbook();

    ExcelOpen(b);
    QVERIFY(excelAppWorkbook() != first.lock());
    // ExcelSheet still refers to the first workbook and keeps it alive, closed.
    QVERIFY(!first.expired());
    QCOMPARE(excelSheetWorkbook(), first.lock());
    QCOMPARE(kindOf([] { ExcelGetCell(1, 1); }), WorkbookError::Kind::NoWorkbookOpen);

    ExcelSelectSheet(1);
    QVERIFY(first.expired());
    QCOMPARE(ExcelGetCell(1, 1), QStringLiteral("B"));
    QCOMPARE(excelSheetWorkbook(), excelAppWorkbook());
}

void TestExceling::failedOpenReleasesPrevious()
{
    QString a = writeFile(QStringLiteral("a.xls"), xlsFile(simpleStream(number(0, 0, 1))));
    QString bad =
        writeFile(QStringLiteral("bad.xls"), xlsFile(simpleStream(number(0, 0, 1))).left(700));
    ExcelOpen(a);
    std::weak_ptr<const Workbook> first = excelAppWorkbook();
    QCOMPARE(kindOf([&] { ExcelOpen(bad); }), WorkbookError::Kind::Damaged);
    QVERIFY(first.expired());
    QVERIFY(!excelAppWorkbook());
    QCOMPARE(kindOf([] { ExcelSelectSheet(1); }), WorkbookError::Kind::InvalidVariantOperation);
}

void TestExceling::failedSelectKeepsSheet()
{
    QString a = writeFile(QStringLiteral("a.xls"),
                          xlsFile(simpleStream(label8(0, 0, QStringLiteral("A")))));
    ExcelOpen(a);
    ExcelSelectSheet(1);
    QCOMPARE(kindOf([] { ExcelSelectSheet(2); }), WorkbookError::Kind::NoSuchSheet);
    QCOMPARE(ExcelGetCell(1, 1), QStringLiteral("A"));
}

void TestExceling::releasedRowsReadEmpty_data()
{
    QTest::addColumn<int>("cut");
    QTest::addColumn<int>("laterCut"); // a second call, which never brings rows back
    QTest::newRow("nothing") << 1 << 0;
    QTest::newRow("the header") << 2 << 1;
    QTest::newRow("inside a page") << 3 << 2;
    QTest::newRow("many pages") << 12'289 << 4'097;
    QTest::newRow("all but the last row") << 20'000 << 20'000;
    QTest::newRow("all") << 20'001 << 30'000;
    QTest::newRow("beyond the sheet") << 70'000 << 1;
}

// Rows handed back read as empty; the rows after them read as before, whole pages or not.
void TestExceling::releasedRowsReadEmpty()
{
    QFETCH(int, cut);
    QFETCH(int, laterCut);
    constexpr int Rows = 20'000;
    QByteArray cells;
    for (int r = 0; r < Rows; ++r) {
        for (int c = 0; c < 3; ++c)
            cells += rk(r, c, rkInt(r * 10 + c));
    }
    QString path = writeFile(QStringLiteral("rows.xls"), xlsFile(simpleStream(cells)));
    ExcelOpen(path);
    ExcelSelectSheet(1);
    excelReleaseRowsBefore(cut);
    excelReleaseRowsBefore(laterCut);
    const int released = std::max(cut, laterCut);
    for (int row : {1, 2, 3, 4'096, 4'097, 12'288, 12'289, 19'999, Rows}) {
        for (int column = 1; column <= 3; ++column) {
            const QString expected =
                row < released ? QString() : QString::number((row - 1) * 10 + column - 1);
            QCOMPARE(ExcelGetCell(row, column), expected);
        }
    }
    ExcelClose();
}

void TestExceling::closeKeepsReferences()
{
    QString a = writeFile(QStringLiteral("a.xls"),
                          xlsFile(simpleStream(label8(0, 0, QStringLiteral("A")))));
    ExcelOpen(a);
    ExcelSelectSheet(1);
    const auto book = excelAppWorkbook();
    ExcelClose();
    QCOMPARE(excelAppWorkbook(), book);
    QCOMPARE(excelSheetWorkbook(), book);
    // The objects stay; the closed workbook's cells are gone with their memory.
    QVERIFY(book->isClosed());
    QCOMPARE(book->worksheetCount(), 1);
    QCOMPARE(book->worksheet(1).cellCount(), std::size_t{0});
    QString message;
    QCOMPARE(kindOf([] { ExcelGetCell(1, 1); }, &message), WorkbookError::Kind::NoWorkbookOpen);
    QCOMPARE(message, QStringLiteral("No workbook is open"));
    // Workbook 1 is gone now: neither selecting nor closing finds it.
    QCOMPARE(kindOf([] { ExcelSelectSheet(1); }, &message), WorkbookError::Kind::NoWorkbookOpen);
    QCOMPARE(message, QStringLiteral("No workbook is open"));
    QCOMPARE(kindOf([] { ExcelClose(); }), WorkbookError::Kind::NoWorkbookOpen);
    // The next open and select read again.
    ExcelOpen(a);
    ExcelSelectSheet(1);
    QCOMPARE(ExcelGetCell(1, 1), QStringLiteral("A"));
}

void TestExceling::releaseAtExit()
{
    QString a = writeFile(QStringLiteral("a.xls"),
                          xlsFile(simpleStream(label8(0, 0, QStringLiteral("A")))));
    ExcelOpen(a);
    ExcelSelectSheet(1);
    std::weak_ptr<const Workbook> book = excelAppWorkbook();
    excelRelease();
    QVERIFY(book.expired());
    QVERIFY(!excelAppWorkbook());
    QVERIFY(!excelSheetWorkbook());
    QCOMPARE(kindOf([] { ExcelGetCell(1, 1); }), WorkbookError::Kind::InvalidVariantOperation);
    TextBuilder scratch;
    QCOMPARE(kindOf([&] { excelGetCellText(1, 1, scratch); }),
             WorkbookError::Kind::InvalidVariantOperation);
}

QTEST_GUILESS_MAIN(TestExceling)
#include "tst_exceling.moc"
