#include "sheet/exceling.h"
#include "sheet/model/DateSerial.h"
#include "sheet/model/ValueText.h"
#include "sheet/model/Workbook.h"
#include "sheet/model/WorkbookError.h"
#include "sheet/ooxml/OoxmlReader.h"
#include "tests/support/OoxmlTestFiles.h"
#include "tests/support/WholeFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace ooxmltest;

// The OOXML reader: the cells of every type through both of its XML parsers, the package's
// structure, the refusals of damaged packages, and the four workbook operations on an OOXML
// workbook.
class TestOoxml : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanupTestCase();

    void cells_data();
    void cells();
    void workbookStructure();
    void strictVocabulary();
    void scannerHandsOverToExpat();
    void recognition();
    void refusals_data();
    void refusals();

    void lifecycle();
    void failedOpenReleasesPrevious();

private:
    QString writeFile(const QString &name, const QByteArray &bytes);
    QTemporaryDir m_dir;
};

namespace {

std::shared_ptr<Workbook> readBytes(const QByteArray &bytes, bool fast)
{
    OoxmlReader::Options options;
    options.fastScanner = fast;
    options.parallel = fast;
    return OoxmlReader::read(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t *>(bytes.data()),
                                      std::size_t(bytes.size())),
        {}, options);
}

QString Text(const Workbook &book, int row, int column, int sheet = 1)
{
    return book.cellText(book.worksheet(sheet), row, column, QLocale::system());
}

QByteArray Cell(const QByteArray &attributes, const QByteArray &content)
{
    return "<row r=\"1\"><c r=\"A1\" " + attributes + ">" + content + "</c></row>";
}

} // namespace

void TestOoxml::init()
{
    excelRelease();
}

void TestOoxml::cleanupTestCase()
{
    excelRelease();
}

QString TestOoxml::writeFile(const QString &name, const QByteArray &bytes)
{
    return testfiles::writeInto(QDir(m_dir.path()), name, bytes);
}

void TestOoxml::cells_data()
{
    const QLocale locale = QLocale::system();
    QTest::addColumn<QByteArray>("sheetData");
    QTest::addColumn<QByteArray>("strings");
    QTest::addColumn<QByteArray>("workbookPr");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    const QByteArray none;
    const QByteArray two = "<si><t>zero</t></si><si><t>one</t></si>";

    QTest::newRow("number") << Cell({}, "<v>1.5</v>") << none << none << 1 << 1
                            << numberText(1.5, locale);
    QTest::newRow("number, type n")
        << Cell("t=\"n\"", "<v> -42 </v>") << none << none << 1 << 1 << QStringLiteral("-42");
    QTest::newRow("cells without r follow on")
        << QByteArray("<row><c><v>7</v></c><c><v>8</v></c></row>") << none << none << 1 << 2
        << QStringLiteral("8");
    QTest::newRow("a cell without r after one with it")
        << QByteArray("<row r=\"3\"><c r=\"C3\"><v>1</v></c><c><v>2</v></c></row>") << none << none
        << 3 << 4 << QStringLiteral("2");
    QTest::newRow("rows without r follow on")
        << QByteArray("<row r=\"5\"><c><v>1</v></c></row><row><c><v>2</v></c></row>") << none
        << none << 6 << 1 << QStringLiteral("2");
    QTest::newRow("the last place of the sheet")
        << QByteArray("<row r=\"1048576\"><c r=\"XFD1048576\"><v>9</v></c></row>") << none << none
        << 1048576 << 16384 << QStringLiteral("9");
    QTest::newRow("shared string")
        << Cell("t=\"s\"", "<v>1</v>") << two << none << 1 << 1 << QStringLiteral("one");
    QTest::newRow("rich text runs joined")
        << Cell("t=\"s\"", "<v>0</v>")
        << QByteArray("<si><r><rPr><b/></rPr><t>Hel</t></r><r><t>lo</t></r></si>") << none << 1 << 1
        << QStringLiteral("Hello");
    QTest::newRow("phonetic runs left out")
        << Cell("t=\"s\"", "<v>0</v>")
        << QByteArray("<si><t>漢字</t><rPh sb=\"0\" eb=\"2\"><t>かんじ</t></rPh>"
                      "<phoneticPr fontId=\"1\"/></si>")
        << none << 1 << 1 << QStringLiteral("漢字");
    QTest::newRow("escapes decoded")
        << Cell("t=\"s\"", "<v>0</v>") << QByteArray("<si><t>a_x000D_b_x005F_x0041_ _xZZ_</t></si>")
        << none << 1 << 1 << QStringLiteral("a\rb_x0041_ _xZZ_");
    QTest::newRow("spaces kept") << Cell("t=\"s\"", "<v>0</v>")
                                 << QByteArray("<si><t xml:space=\"preserve\">  two  </t></si>")
                                 << none << 1 << 1 << QStringLiteral("  two  ");
    QTest::newRow("line ends") << Cell("t=\"s\"", "<v>0</v>")
                               << QByteArray("<si><t>a\r\nb\rc&#13;&#10;d</t></si>") << none << 1
                               << 1 << QStringLiteral("a\nb\nc\r\nd");
    QTest::newRow("inline string, references")
        << Cell("t=\"inlineStr\"", "<is><t>&lt;&amp;&#x41;&#1046;&quot;&apos;&gt;</t></is>") << none
        << none << 1 << 1 << QStringLiteral("<&AЖ\"'>");
    QTest::newRow("inline string, Cyrillic runs")
        << Cell("t=\"inlineStr\"", "<is><r><t>При</t></r><r><t>вет</t></r></is>") << none << none
        << 1 << 1 << QStringLiteral("Привет");
    QTest::newRow("formula text") << Cell("t=\"str\"", "<f>\"a\"&amp;\"b\"</f><v>ab</v>") << none
                                  << none << 1 << 1 << QStringLiteral("ab");
    QTest::newRow("formula number")
        << Cell({}, "<f>1+1</f><v>2</v>") << none << none << 1 << 1 << QStringLiteral("2");
    QTest::newRow("formula without its value")
        << Cell({}, "<f>1+1</f>") << none << none << 1 << 1 << QString();
    QTest::newRow("boolean true") << Cell("t=\"b\"", "<v>1</v>") << none << none << 1 << 1
                                  << QStringLiteral("True");
    QTest::newRow("boolean false")
        << Cell("t=\"b\"", "<v>0</v>") << none << none << 1 << 1 << QStringLiteral("False");
    QTest::newRow("error") << Cell("t=\"e\"", "<f>1/0</f><v>#DIV/0!</v>") << none << none << 1 << 1
                           << QStringLiteral("#DIV/0!");
    QTest::newRow("unknown error stays text")
        << Cell("t=\"e\"", "<v>#SPILL!</v>") << none << none << 1 << 1 << QStringLiteral("#SPILL!");
    const double stamp = *DateSerial::fromIso8601(u"2024-03-01T13:45:10", false);
    QTest::newRow("ISO date") << Cell("t=\"d\"", "<v>2024-03-01T13:45:10</v>") << none << none << 1
                              << 1 << dateTimeText(stamp, false, locale);
    QTest::newRow("built-in date style") << Cell("s=\"1\"", "<v>45000</v>") << none << none << 1
                                         << 1 << dateTimeText(45000, false, locale);
    QTest::newRow("custom date style") << Cell("s=\"2\"", "<v>45000.5</v>") << none << none << 1
                                       << 1 << dateTimeText(45000.5, false, locale);
    QTest::newRow("quoted letters are no date")
        << Cell("s=\"3\"", "<v>4.5</v>") << none << none << 1 << 1 << numberText(4.5, locale);
    QTest::newRow("style beyond the table")
        << Cell("s=\"70000\"", "<v>4.5</v>") << none << none << 1 << 1 << numberText(4.5, locale);
    QTest::newRow("1904 dates") << Cell("s=\"1\"", "<v>1</v>") << none
                                << QByteArray("<workbookPr date1904=\"1\"/>") << 1 << 1
                                << dateTimeText(1, true, locale);
    QTest::newRow("style alone is no content")
        << Cell("s=\"1\"", {}) << none << none << 1 << 1 << QString();
    QTest::newRow("prefixed main namespace")
        << QByteArray("<x:row xmlns:x=\"" + Main + "\"><x:c r=\"A1\"><x:v>3</x:v></x:c></x:row>")
        << none << none << 1 << 1 << QStringLiteral("3");
    QTest::newRow("a foreign c is no cell")
        << QByteArray("<row r=\"1\"><o:c xmlns:o=\"urn:other\" r=\"A1\"><v>3</v></o:c></row>")
        << none << none << 1 << 1 << QString();
}

void TestOoxml::cells()
{
    QFETCH(QByteArray, sheetData);
    QFETCH(QByteArray, strings);
    QFETCH(QByteArray, workbookPr);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, text);
    const QByteArray file = zipFile(workbookParts(sheetData, strings, workbookPr));
    for (const bool fast : {true, false}) {
        const auto book = readBytes(file, fast);
        QCOMPARE(Text(*book, row, column), text);
        QCOMPARE(book->formatName(), QStringLiteral("OOXML"));
    }
}

void TestOoxml::workbookStructure()
{
    // Worksheets in the order of the workbook part, hidden ones too; a chart sheet and a dialog
    // sheet left out; the workbook part under a name of its own, its targets going up a folder.
    QMap<QByteArray, QByteArray> parts = workbookParts({});
    parts.remove("xl/workbook.xml");
    parts.remove("xl/_rels/workbook.xml.rels");
    parts.remove("xl/worksheets/sheet1.xml");
    parts["[Content_Types].xml"].replace("/xl/workbook.xml", "/book/Main%20Book.xml");
    parts["_rels/.rels"].replace("xl/workbook.xml", "/book/Main%20Book.xml");
    parts["book/Main Book.xml"] =
        "<workbook xmlns=\"" + Main + "\" xmlns:r=\"" + Relations +
        "\"><sheets><sheet name=\"Вторая\" r:id=\"b\"/><sheet name=\"Chart\" r:id=\"c\"/>"
        "<sheet name=\"Hidden\" state=\"hidden\" r:id=\"a\"/><sheet name=\"Dialog\" r:id=\"d\"/>"
        "</sheets></workbook>";
    const QByteArray rel = "<Relationship Type=\"" + Relations + "/";
    parts["book/_rels/Main Book.xml.rels"] =
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">" +
        rel + "worksheet\" Id=\"a\" Target=\"../sheets/a.xml\"/>" + rel +
        "worksheet\" Id=\"b\" Target=\"../sheets/./b.xml\"/>" + rel +
        "chartsheet\" Id=\"c\" Target=\"../charts/c.xml\"/>" + rel +
        "dialogsheet\" Id=\"d\" Target=\"../sheets/d.xml\"/>" + rel +
        "sharedStrings\" Id=\"s\" Target=\"/xl/sharedStrings.xml\"/></Relationships>";
    parts["sheets/a.xml"] = worksheet(Cell("t=\"s\"", "<v>0</v>"));
    parts["sheets/b.xml"] = worksheet(Cell("t=\"inlineStr\"", "<is><t>b</t></is>"));
    parts["sheets/d.xml"] = worksheet(Cell({}, "<v>4</v>"));
    parts["xl/sharedStrings.xml"] = sharedStrings("<si><t>a</t></si>");
    for (const bool fast : {true, false}) {
        const auto book = readBytes(zipFile(parts), fast);
        QCOMPARE(book->worksheetCount(), 2);
        QCOMPARE(book->worksheet(1).name(), QStringLiteral("Вторая"));
        QCOMPARE(Text(*book, 1, 1, 1), QStringLiteral("b"));
        QCOMPARE(book->worksheet(2).name(), QStringLiteral("Hidden"));
        QCOMPARE(Text(*book, 1, 1, 2), QStringLiteral("a"));
    }
}

void TestOoxml::strictVocabulary()
{
    const QByteArray strict = "http://purl.oclc.org/ooxml/spreadsheetml/main";
    const QByteArray strictRelations = "http://purl.oclc.org/ooxml/officeDocument/relationships";
    QMap<QByteArray, QByteArray> parts = workbookParts({}, "<si><t>strict</t></si>");
    for (QByteArray &part : parts) {
        part.replace(Main, strict);
        part.replace(Relations, strictRelations);
    }
    parts["xl/worksheets/sheet1.xml"] = worksheet(
        Cell("t=\"s\" s=\"1\"", "<v>0</v>") + "<row r=\"2\"><c s=\"1\"><v>2</v></c></row>", strict);
    for (const bool fast : {true, false}) {
        const auto book = readBytes(zipFile(parts), fast);
        QCOMPARE(Text(*book, 1, 1), QStringLiteral("strict"));
        QCOMPARE(Text(*book, 2, 1), dateTimeText(2, false, QLocale::system()));
    }
}

void TestOoxml::scannerHandsOverToExpat()
{
    // A comment in the middle of the sheet, and one in the shared strings: the scanner gives
    // up there and the parts are read again by expat, with nothing read twice.
    QByteArray rows;
    for (int row = 1; row <= 3000; ++row)
        rows += "<row><c t=\"s\"><v>0</v></c><c t=\"inlineStr\"><is><t>r" +
                QByteArray::number(row) + "</t></is></c></row>";
    rows.insert(rows.indexOf("<row>", rows.size() / 2), "<!-- written here -->");
    const QByteArray strings = "<si><t>s</t></si><!-- and here --><si><t>t</t></si>";
    const QByteArray file = zipFile(workbookParts(rows, strings));
    const auto book = readBytes(file, true);
    const Worksheet &sheet = book->worksheet(1);
    QCOMPARE(sheet.cellCount(), std::size_t(6000));
    QCOMPARE(Text(*book, 3000, 2), QStringLiteral("r3000"));
    QCOMPARE(Text(*book, 1500, 1), QStringLiteral("s"));
    QCOMPARE(book->strings().charCount(), readBytes(file, false)->strings().charCount());
}

void TestOoxml::recognition()
{
    const auto recognizes = [](const QByteArray &bytes) {
        return OoxmlReader::recognizes(std::span<const std::uint8_t>(
            reinterpret_cast<const std::uint8_t *>(bytes.data()), std::size_t(bytes.size())));
    };
    QMap<QByteArray, QByteArray> parts = workbookParts(Cell({}, "<v>1</v>"));
    QVERIFY(recognizes(zipFile(parts)));
    for (const QByteArray &type :
         {QByteArray("application/vnd.ms-excel.sheet.macroEnabled.main+xml"),
          QByteArray("application/vnd.openxmlformats-officedocument."
                     "spreadsheetml.template.main+xml"),
          QByteArray("application/vnd.ms-excel.addin.macroEnabled.main+xml")}) {
        QMap<QByteArray, QByteArray> other = parts;
        other["[Content_Types].xml"].replace(
            "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml", type);
        QVERIFY(recognizes(zipFile(other)));
        QCOMPARE(Text(*readBytes(zipFile(other), true), 1, 1), QStringLiteral("1"));
    }
    // A binary workbook, a text document and an OpenDocument spreadsheet are someone else's.
    QMap<QByteArray, QByteArray> binary = parts;
    binary["[Content_Types].xml"].replace(
        "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml",
        "application/vnd.ms-excel.sheet.binary.macroEnabled.main");
    QVERIFY(!recognizes(zipFile(binary)));
    QMap<QByteArray, QByteArray> document = parts;
    document["[Content_Types].xml"].replace(
        "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml",
        "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml");
    QVERIFY(!recognizes(zipFile(document)));
    QVERIFY(!recognizes(zipFile(
        QList<ZipEntry>{{"mimetype", "application/vnd.oasis.opendocument.spreadsheet", false}})));
    QVERIFY(!recognizes(QByteArray("PK")));
    // A package too damaged to open is taken when it starts like an OOXML package, to be
    // reported as damaged; any other broken ZIP file is no workbook.
    QVERIFY(recognizes(zipFile(parts).left(100)));
    QVERIFY(!recognizes(QByteArray("PK\x03\x04 rest of a file")));
    QVERIFY(!recognizes(zipFile(QList<ZipEntry>{{"a.txt", "a"}}).left(40)));
}

void TestOoxml::refusals_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("message");
    const int damaged = int(WorkbookError::Kind::Damaged);
    const QByteArray cells = Cell("t=\"s\"", "<v>0</v>");
    const QMap<QByteArray, QByteArray> good = workbookParts(cells, "<si><t>x</t></si>");
    const QByteArray file = zipFile(good);
    const auto without = [&good](const QByteArray &part) {
        QMap<QByteArray, QByteArray> parts = good;
        parts.remove(part);
        return zipFile(parts);
    };
    const auto with = [&good](const QByteArray &part, const QByteArray &content) {
        QMap<QByteArray, QByteArray> parts = good;
        parts[part] = content;
        return zipFile(parts);
    };
    const auto sheet = [&with](const QByteArray &sheetData) {
        return with("xl/worksheets/sheet1.xml", worksheet(sheetData));
    };

    QTest::newRow("cut in half") << file.left(file.size() / 2) << damaged
                                 << QStringLiteral("its package cannot be read");
    QTest::newRow("cut short of the end")
        << file.chopped(5) << damaged << QStringLiteral("its package cannot be read");
    QByteArray directory = file;
    directory[directory.lastIndexOf("PK\x01\x02") + 2] = 'X';
    QTest::newRow("central directory damaged")
        << directory << damaged << QStringLiteral("its package cannot be read");
    QList<ZipEntry> stored;
    for (auto it = good.cbegin(); it != good.cend(); ++it)
        stored.append({it.key(), it.value(), false});
    QByteArray crc = zipFile(stored);
    crc[crc.indexOf("<v>0</v>") + 3] = '1';
    QTest::newRow("CRC mismatch") << crc << damaged << QStringLiteral("CRC");
    QTest::newRow("no content types")
        << without("[Content_Types].xml") << int(WorkbookError::Kind::NotWorkbook)
        << QStringLiteral("not an Excel workbook");
    QTest::newRow("no package relationships")
        << without("_rels/.rels") << damaged << QStringLiteral("name no workbook part");
    QTest::newRow("no workbook part")
        << without("xl/workbook.xml") << damaged << QStringLiteral("xl/workbook.xml is missing");
    QTest::newRow("no sheet part") << without("xl/worksheets/sheet1.xml") << damaged
                                   << QStringLiteral("xl/worksheets/sheet1.xml is missing");
    QTest::newRow("no shared strings part") << without("xl/sharedStrings.xml") << damaged
                                            << QStringLiteral("xl/sharedStrings.xml is missing");
    QTest::newRow("malformed sheet") << with("xl/worksheets/sheet1.xml", "<worksheet><sheetData>")
                                     << damaged << QStringLiteral("not well-formed");
    QTest::newRow("malformed shared strings")
        << with("xl/sharedStrings.xml", "<sst><si><t>x</si></sst>") << damaged
        << QStringLiteral("xl/sharedStrings.xml is not well-formed");
    QTest::newRow("malformed relationships") << with("xl/_rels/workbook.xml.rels", "<Relationships")
                                             << damaged << QStringLiteral("not well-formed");
    QTest::newRow("document type in the sheet")
        << with("xl/worksheets/sheet1.xml",
                "<!DOCTYPE worksheet [<!ENTITY e \"eeeeeeee\">]>" + worksheet(cells))
        << damaged << QStringLiteral("document type declaration");
    QTest::newRow("entities in the shared strings")
        << with("xl/sharedStrings.xml",
                "<?xml version=\"1.0\"?><!DOCTYPE sst [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
                "\"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]><sst xmlns=\"" +
                    Main + "\"><si><t>&b;</t></si></sst>")
        << damaged << QStringLiteral("document type declaration");
    QTest::newRow("external entity in the workbook part")
        << with("xl/workbook.xml", "<!DOCTYPE workbook SYSTEM \"file:///etc/passwd\"><workbook/>")
        << damaged << QStringLiteral("document type declaration");
    QList<ZipEntry> bomb;
    for (auto it = good.cbegin(); it != good.cend(); ++it) {
        if (it.key() != "xl/worksheets/sheet1.xml")
            bomb.append({it.key(), it.value()});
    }
    // 300 MiB of spaces inside <sheetData> from half a megabyte: past the sane limit.
    bomb.append({"xl/worksheets/sheet1.xml",
                 ooxmltest::bomb("<worksheet xmlns=\"" + Main + "\"><sheetData>", ' ', 300), true,
                 true, std::uint64_t(300) << 20, 0});
    QTest::newRow("ZIP bomb") << zipFile(bomb) << damaged
                              << QStringLiteral("inflates to more than");
    QTest::newRow("column outside the sheet")
        << sheet("<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>") << damaged
        << QStringLiteral("has a cell at XFE1, outside the sheet");
    QTest::newRow("row outside the sheet") << sheet("<row><c r=\"A1048577\"><v>1</v></c></row>")
                                           << damaged << QStringLiteral("outside the sheet");
    QTest::newRow("row number 0") << sheet("<row r=\"0\"/>") << damaged
                                  << QStringLiteral("row numbered 0");
    QTest::newRow("row number too large")
        << sheet("<row r=\"1048577\"/>") << damaged << QStringLiteral("row numbered 1048577");
    QTest::newRow("too many cells without r")
        << sheet("<row><c r=\"XFD1\"><v>1</v></c><c><v>2</v></c></row>") << damaged
        << QStringLiteral("more cells in row 1 than a sheet holds");
    QTest::newRow("reference naming no cell") << sheet("<row><c r=\"1A\"><v>1</v></c></row>")
                                              << damaged << QStringLiteral("names no cell");
    QTest::newRow("number that is none") << sheet(Cell({}, "<v>1,5</v>")) << damaged
                                         << QStringLiteral("\"1,5\" for the number in cell A1");
    QTest::newRow("boolean that is none") << sheet(Cell("t=\"b\"", "<v>2</v>")) << damaged
                                          << QStringLiteral("for the boolean in cell A1");
    QTest::newRow("shared string beyond the table")
        << sheet(Cell("t=\"s\"", "<v>1</v>")) << damaged << QStringLiteral("shared string 1 of 1");
    QTest::newRow("unknown cell type")
        << sheet(Cell("t=\"x\"", "<v>1</v>")) << damaged << QStringLiteral("unknown type \"x\"");
}

void TestOoxml::refusals()
{
    QFETCH(QByteArray, file);
    QFETCH(int, kind);
    QFETCH(QString, message);
    for (const bool fast : {true, false}) {
        try {
            readBytes(file, fast);
            QFAIL("read");
        } catch (const WorkbookError &error) {
            QCOMPARE(int(error.kind()), kind);
            QVERIFY2(error.message().contains(message), qPrintable(error.message()));
        }
    }
}

void TestOoxml::lifecycle()
{
    // Under a .xls name, as the import writes its copy: the content decides.
    QString path =
        writeFile(QStringLiteral("results.xls"),
                  zipFile(workbookParts(Cell("t=\"s\"", "<v>0</v>") + "<row><c><v>2</v></c></row>",
                                        "<si><t>Номер</t></si>")));
    ExcelOpen(path);
    ExcelSelectSheet(1);
    QCOMPARE(ExcelGetCell(1, 1), QStringLiteral("Номер"));
    QCOMPARE(ExcelGetCell(2, 1), QStringLiteral("2"));
    QCOMPARE(ExcelGetCell(3, 1), QString());
    QCOMPARE(ExcelGetCell(1, 16385), QString());
    QVERIFY_THROWS_EXCEPTION(WorkbookError, ExcelSelectSheet(2));
    QCOMPARE(ExcelGetCell(1, 1), QStringLiteral("Номер"));
    const auto first = excelAppWorkbook();
    ExcelClose();
    QVERIFY(first->isClosed());
    QVERIFY_THROWS_EXCEPTION(WorkbookError, ExcelGetCell(1, 1));
    // A second open makes a new workbook; the sheet reference keeps the first until the next
    // selection.
    ExcelOpen(path);
    QVERIFY(excelAppWorkbook() != first);
    QCOMPARE(excelSheetWorkbook(), first);
    ExcelSelectSheet(1);
    QCOMPARE(excelSheetWorkbook(), excelAppWorkbook());
    QCOMPARE(ExcelGetCell(2, 1), QStringLiteral("2"));
    ExcelClose();
    excelRelease();
    QVERIFY(!excelAppWorkbook());
}

void TestOoxml::failedOpenReleasesPrevious()
{
    const QByteArray good = zipFile(workbookParts(Cell({}, "<v>1</v>")));
    QString a = writeFile(QStringLiteral("a.xls"), good);
    QString torn = writeFile(QStringLiteral("torn.xls"), good.left(good.size() * 2 / 3));
    ExcelOpen(a);
    std::weak_ptr<const Workbook> first = excelAppWorkbook();
    try {
        ExcelOpen(torn);
        QFAIL("opened a torn package");
    } catch (const WorkbookError &error) {
        // A half-written file is a content error, which the import takes for a torn snapshot.
        QCOMPARE(error.kind(), WorkbookError::Kind::Damaged);
    }
    QVERIFY(first.expired());
    QVERIFY(!excelAppWorkbook());
}

QTEST_GUILESS_MAIN(TestOoxml)
#include "tst_ooxml.moc"
