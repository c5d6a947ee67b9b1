#include "sheet/WorkbookFormats.h"
#include "sheet/model/Workbook.h"
#include "sheet/model/WorkbookError.h"
#include "tests/support/OoxmlTestFiles.h"

#include <QTest>

// OpenDocument spreadsheets (packaged and flat) and XML Spreadsheet 2003 documents at the edges
// of what they may hold and beyond: how they are recognised, repeat counts that would cost
// memory or time if they were written out, and damaged or hostile input, which must end in a
// clear refusal. Each case is a document made here, read as the import reads a file.
namespace {

using Part = std::pair<const char *, QByteArray>;

// A ZIP package of the parts in order, each deflated but the first when `storedFirst`.
QByteArray package(const QList<Part> &parts, bool storedFirst = true)
{
    QList<ooxmltest::ZipEntry> entries;
    for (qsizetype i = 0; i < parts.size(); ++i)
        entries.append({parts[i].first, parts[i].second, !(i == 0 && storedFirst)});
    return ooxmltest::zipFile(entries);
}

const QByteArray OdfNamespaces =
    " xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
    " xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\""
    " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"";

QByteArray content(const QByteArray &tables)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document-content" + OdfNamespaces +
           "><office:body><office:spreadsheet>" + tables +
           "</office:spreadsheet></office:body></office:document-content>";
}

QByteArray flat(const QByteArray &tables, const QByteArray &prologue = "<?xml version=\"1.0\"?>")
{
    return prologue + "\n<office:document" + OdfNamespaces +
           " office:mimetype=\"application/vnd.oasis.opendocument.spreadsheet\"><office:body>"
           "<office:spreadsheet>" +
           tables + "</office:spreadsheet></office:body></office:document>";
}

QByteArray odsPackage(const QByteArray &tables)
{
    return package({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                    {"content.xml", content(tables)}});
}

QByteArray Table(const QByteArray &rows)
{
    return "<table:table table:name=\"T\">" + rows + "</table:table>";
}

QByteArray textCell(const QByteArray &text, const QByteArray &attributes = {})
{
    return "<table:table-cell office:value-type=\"string\"" + attributes + "><text:p>" + text +
           "</text:p></table:table-cell>";
}

QByteArray xml2003(const QByteArray &body, const QByteArray &prologue = "<?xml version=\"1.0\"?>")
{
    return prologue +
           "\n<?mso-application progid=\"Excel.Sheet\"?>\n"
           "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\""
           " xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\""
           " xmlns:x=\"urn:schemas-microsoft-com:office:excel\""
           " xmlns:html=\"http://www.w3.org/TR/REC-html40\">" +
           body + "</Workbook>";
}

QByteArray sheet2003(const QByteArray &rows)
{
    return "<Worksheet ss:Name=\"S\"><Table>" + rows + "</Table></Worksheet>";
}

QByteArray repeated(const QByteArray &text, int times)
{
    QByteArray all;
    for (int i = 0; i < times; ++i)
        all += text;
    return all;
}

} // namespace

class TestXmlWorkbookLimits : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void reads_data();
    void reads();
    void refuses_data();
    void refuses();
};

void TestXmlWorkbookLimits::reads_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<qint64>("cells"); // of worksheet 1; -1: not counted
    // "row,column=text", 1-based, as ExcelGetCell reads them in the C locale.
    QTest::addColumn<QByteArrayList>("shown");

    const QByteArray plain = Table("<table:table-row>" + textCell("a") + "</table:table-row>");
    QTest::newRow("ods: mimetype entry first")
        << odsPackage(plain) << QByteArray("ODS") << 1ll << QByteArrayList{"1,1=a"};
    QTest::newRow("ods: no mimetype, the manifest names a spreadsheet")
        << package({{"META-INF/manifest.xml",
                     "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:"
                     "manifest:1.0\"><manifest:file-entry manifest:full-path=\"/\" "
                     "manifest:media-type=\"application/vnd.oasis.opendocument.spreadsheet\"/>"
                     "</manifest:manifest>"},
                    {"content.xml", content(plain)}},
                   false)
        << QByteArray("ODS") << 1ll << QByteArrayList{"1,1=a"};
    QTest::newRow("ods: content.xml alone") << package({{"content.xml", content(plain)}}, false)
                                            << QByteArray("ODS") << 1ll << QByteArrayList{"1,1=a"};
    QTest::newRow("fods: byte-order mark, comment, processing instruction")
        << flat(plain, "\xEF\xBB\xBF<?xml version=\"1.0\"?><!-- saved --><?app x?>")
        << QByteArray("FODS") << 1ll << QByteArrayList{"1,1=a"};

    // LibreOffice ends every sheet so: empty cells and rows to the sheet's limits and past them.
    QTest::newRow("ods: a billion empty cells and rows cost nothing")
        << odsPackage(
               Table("<table:table-row>" + textCell("a") +
                     "<table:table-cell table:number-columns-repeated=\"1000000000\"/>" +
                     textCell("lost") +
                     "</table:table-row><table:table-row table:number-rows-repeated=\"1000000000\">"
                     "<table:table-cell table:number-columns-repeated=\"1000000000\"/>"
                     "</table:table-row><table:table-row>" +
                     textCell("lost") + "</table:table-row>"))
        << QByteArray("ODS") << 1ll << QByteArrayList{"1,1=a", "2,1="};
    QTest::newRow("ods: repeated content stops at the last column")
        << odsPackage(Table("<table:table-row table:number-rows-repeated=\"3\">" +
                            textCell("x", " table:number-columns-repeated=\"99999\"") +
                            "</table:table-row><table:table-row>" + textCell("after") +
                            "</table:table-row>"))
        << QByteArray("ODS") << 3 * 16384ll + 1 << QByteArrayList{"3,16384=x", "4,1=after", "4,2="};
    QTest::newRow("ods: repeated rows stop at the last row")
        << odsPackage(Table("<table:table-row table:number-rows-repeated=\"1048570\">"
                            "<table:table-cell/></table:table-row>"
                            "<table:table-row table:number-rows-repeated=\"100\">" +
                            textCell("x") + "</table:table-row>"))
        << QByteArray("ODS") << 6ll << QByteArrayList{"1048571,1=x", "1048576,1=x"};
    QTest::newRow("ods: rows in header rows, groups and row lists, covered cells")
        << odsPackage(Table("<table:table-header-rows><table:table-row>" + textCell("h") +
                            "</table:table-row></table:table-header-rows><table:table-row-group>"
                            "<table:table-rows><table:table-row>" +
                            textCell("m", " table:number-columns-spanned=\"2\"") +
                            "<table:covered-table-cell office:value-type=\"string\"><text:p>hidden"
                            "</text:p></table:covered-table-cell>" +
                            textCell("c") +
                            "</table:table-row></table:table-rows>"
                            "</table:table-row-group>"))
        << QByteArray("ODS") << 3ll << QByteArrayList{"1,1=h", "2,1=m", "2,2=", "2,3=c"};
    QTest::newRow("ods: the first table is worksheet 1")
        << odsPackage(Table("<table:table-row>" + textCell("one") + "</table:table-row>") +
                      "<table:table table:name=\"U\"><table:table-row>" + textCell("two") +
                      "</table:table-row></table:table>")
        << QByteArray("ODS") << 1ll << QByteArrayList{"1,1=one"};

    QTest::newRow("xml 2003: indexes, merges, spans, styles of rows, columns and parents")
        << xml2003("<Styles><Style ss:ID=\"Default\"/><Style ss:ID=\"d\"><NumberFormat "
                   "ss:Format=\"Short Date\"/></Style><Style ss:ID=\"child\" ss:Parent=\"d\">"
                   "<Font/></Style><Style ss:ID=\"n\"><NumberFormat ss:Format=\"0.00\"/></Style>"
                   "</Styles>" +
                   sheet2003("<Column ss:Index=\"4\" ss:StyleID=\"d\"/>"
                             "<Row><Cell ss:MergeAcross=\"1\"><Data ss:Type=\"String\">m</Data>"
                             "</Cell><Cell><Data ss:Type=\"Number\">45000</Data></Cell>"
                             "<Cell><Data ss:Type=\"Number\">45000</Data></Cell>"
                             "<Cell ss:Index=\"6\" ss:StyleID=\"child\"><Data ss:Type=\"DateTime\">"
                             "2024-03-01T13:45:10.000</Data></Cell></Row>"
                             "<Row ss:Index=\"3\" ss:Span=\"1\" ss:StyleID=\"d\"><Cell><Data "
                             "ss:Type=\"Number\">45000</Data></Cell><Cell ss:StyleID=\"n\">"
                             "<Data ss:Type=\"DateTime\">2024-03-01T00:00:00</Data></Cell></Row>"
                             "<Row><Cell><Data ss:Type=\"Boolean\">1</Data></Cell>"
                             "<Cell><Data ss:Type=\"Error\">#N/A</Data></Cell>"
                             "<Cell><ss:Data ss:Type=\"String\" xmlns=\"http://www.w3.org/TR/"
                             "REC-html40\"><B>bo</B><Font html:Color=\"#FF0000\">ld</Font>&#10;x"
                             "</ss:Data></Cell><Cell><Data ss:Type=\"String\">c</Data><Comment>"
                             "<Data>not shown</Data></Comment></Cell></Row>"))
        << QByteArray("XML Spreadsheet 2003") << 10ll
        << QByteArrayList{"1,1=m",
                          "1,2=",
                          "1,3=45000",
                          "1,4=15 Mar 2023",
                          "1,6=1 Mar 2024 13:45:10",
                          "3,1=15 Mar 2023",
                          "3,2=45352",
                          "5,1=True",
                          "5,2=#N/A",
                          "5,3=bold\nx",
                          "5,4=c"};
    QTest::newRow("xml 2003: the 1904 date system")
        << xml2003("<ExcelWorkbook xmlns=\"urn:schemas-microsoft-com:office:excel\"><Date1904/>"
                   "</ExcelWorkbook><Styles><Style ss:ID=\"d\"><NumberFormat ss:Format=\"General "
                   "Date\"/></Style></Styles>" +
                   sheet2003("<Row><Cell ss:StyleID=\"d\"><Data ss:Type=\"DateTime\">"
                             "1904-01-02T06:00:00</Data></Cell><Cell><Data ss:Type=\"DateTime\">"
                             "1904-01-02T06:00:00</Data></Cell></Row>"))
        << QByteArray("XML Spreadsheet 2003") << 2ll
        << QByteArrayList{"1,1=2 Jan 1904 06:00:00", "1,2=1.25"};
    QTest::newRow("xml 2003: a prefixed root after a comment")
        << QByteArray("<!-- x --><ss:Workbook xmlns:ss=\"urn:schemas-microsoft-com:office:"
                      "spreadsheet\"><ss:Worksheet ss:Name=\"S\"><ss:Table><ss:Row><ss:Cell>"
                      "<ss:Data ss:Type=\"String\">p</ss:Data></ss:Cell></ss:Row></ss:Table>"
                      "</ss:Worksheet></ss:Workbook>")
        << QByteArray("XML Spreadsheet 2003") << 1ll << QByteArrayList{"1,1=p"};
}

void TestXmlWorkbookLimits::reads()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, format);
    QFETCH(qint64, cells);
    QFETCH(QByteArrayList, shown);
    const std::shared_ptr<Workbook> book = readWorkbook(bytes);
    QCOMPARE(book->formatName(), QString::fromUtf8(format));
    const Worksheet &sheet = book->worksheet(1);
    if (cells >= 0)
        QCOMPARE(qint64(sheet.cellCount()), cells);
    for (const QByteArray &line : shown) {
        const QString check = QString::fromUtf8(line);
        const qsizetype comma = check.indexOf(u','), equals = check.indexOf(u'=');
        const qint64 row = check.left(comma).toLongLong();
        const qint64 column = check.mid(comma + 1, equals - comma - 1).toLongLong();
        QCOMPARE(book->cellText(sheet, row, column, QLocale::c()), check.mid(equals + 1));
    }
}

void TestXmlWorkbookLimits::refuses_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("message"); // a part of it

    const QByteArray ods =
        odsPackage(Table("<table:table-row>" + textCell("a") + "</table:table-row>"));
    QTest::newRow("ods: cut short")
        << ods.left(ods.size() / 2) << QByteArray("The workbook is damaged");
    // Inflated on a thread of its own: what goes wrong there is raised to the reader.
    QByteArray corrupt = odsPackage(
        Table(repeated("<table:table-row>" + textCell("abc") + "</table:table-row>", 2000)));
    const qsizetype data = corrupt.indexOf("content.xml") + 11;
    for (qsizetype i = data + 40; i < data + 60; ++i)
        corrupt[i] = char(corrupt[i] ^ 0x5A);
    QTest::newRow("ods: content.xml corrupted") << corrupt << QByteArray("The workbook is damaged");
    QTest::newRow("ods: no content.xml")
        << package({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                    {"styles.xml", "<x/>"}})
        << QByteArray("has no content.xml");
    QTest::newRow("ods: malformed content.xml")
        << package({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                    {"content.xml", content(Table("<table:table-row>"))}})
        << QByteArray("content.xml is not well-formed XML");
    QTest::newRow("ods: document type declaration")
        << package({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                    {"content.xml", "<!DOCTYPE x [<!ENTITY a \"aaaa\">]>" + content({})}})
        << QByteArray("document type declaration");
    QTest::newRow("ods: encrypted content")
        << package({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                    {"META-INF/manifest.xml",
                     "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:"
                     "manifest:1.0\"><manifest:file-entry manifest:full-path=\"content.xml\">"
                     "<manifest:encryption-data/></manifest:file-entry></manifest:manifest>"},
                    {"content.xml", "\x93\x11\xfe"}})
        << QByteArray("The workbook is password-protected");
    QTest::newRow("odt: a text document")
        << package(
               {{"mimetype", "application/vnd.oasis.opendocument.text"}, {"content.xml", "<x/>"}})
        << QByteArray("The file is not an Excel workbook");
    QTest::newRow("ods: no spreadsheet body")
        << package({{"content.xml", "<office:document-content" + OdfNamespaces +
                                        "><office:body><office:text/></office:body>"
                                        "</office:document-content>"}},
                   false)
        << QByteArray("The file is not an Excel workbook");
    QTest::newRow("ods: repeated content past the budget")
        << odsPackage(Table("<table:table-row table:number-rows-repeated=\"1048576\">" +
                            textCell("x", " table:number-columns-repeated=\"16384\"") +
                            "</table:table-row>"))
        << QByteArray("repeat counts ask for more than");
    QTest::newRow("ods: a billion spaces")
        << odsPackage(Table("<table:table-row>" + textCell("a<text:s text:c=\"1000000000\"/>") +
                            "</table:table-row>"))
        << QByteArray("repeat counts ask for more than");
    QTest::newRow("ods: many spaces in many cells")
        << odsPackage(Table("<table:table-row>" +
                            repeated(textCell("<text:s text:c=\"100000\"/>"), 200) +
                            "</table:table-row>"))
        << QByteArray("repeat counts ask for more than");

    QTest::newRow("fods: document type declaration")
        << flat({}, "<?xml version=\"1.0\"?><!DOCTYPE office:document [<!ENTITY e SYSTEM "
                    "\"file:///etc/passwd\">]>")
        << QByteArray("document type declaration");
    QTest::newRow("fods: cut short")
        << flat(Table({})).left(400) << QByteArray("is not well-formed XML");

    QTest::newRow("xml 2003: an index of 0")
        << xml2003(sheet2003("<Row ss:Index=\"0\"/>")) << QByteArray("ss:Index of 0");
    QTest::newRow("xml 2003: an index that is not a number")
        << xml2003(sheet2003("<Row><Cell ss:Index=\"two\"/></Row>"))
        << QByteArray("is not a count");
    QTest::newRow("xml 2003: a cell beyond the last column")
        << xml2003(sheet2003("<Row><Cell ss:Index=\"16385\"><Data ss:Type=\"Number\">1</Data>"
                             "</Cell></Row>"))
        << QByteArray("beyond the last row or column");
    QTest::newRow("xml 2003: a cell beyond the last row")
        << xml2003(sheet2003("<Row ss:Index=\"1048576\" ss:Span=\"5\"/><Row><Cell><Data "
                             "ss:Type=\"Number\">1</Data></Cell></Row>"))
        << QByteArray("beyond the last row or column");
    QTest::newRow("xml 2003: columns that overlap")
        << xml2003(
               sheet2003("<Column ss:Span=\"16383\"/><Column ss:Index=\"2\" ss:Span=\"16383\"/>"))
        << QByteArray("columns overlap");
    QTest::newRow("xml 2003: an entity")
        << xml2003({}, "<?xml version=\"1.0\"?><!DOCTYPE Workbook [<!ENTITY a \"b\">]>")
        << QByteArray("document type declaration");
    QTest::newRow("xml 2003: malformed") << xml2003(sheet2003("<Row><Cell></Row>"))
                                         << QByteArray("the document is not well-formed XML");
}

void TestXmlWorkbookLimits::refuses()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, message);
    try {
        readWorkbook(bytes);
        QFAIL("read without an error");
    } catch (const WorkbookError &error) {
        QVERIFY2(error.message().contains(QString::fromUtf8(message)), qPrintable(error.message()));
    }
}

QTEST_GUILESS_MAIN(TestXmlWorkbookLimits)
#include "tst_xmlworkbooklimits.moc"
