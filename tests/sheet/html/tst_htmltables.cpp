#include "sheet/WorkbookFormats.h"
#include "sheet/html/GumboArena.h"
#include "sheet/html/PageReader.h"
#include "sheet/html/TableLayout.h"
#include "sheet/model/Workbook.h"
#include "tests/support/SheetText.h"

#include <QStringEncoder>
#include <QTest>
#include <random>

// Web pages read as workbooks: which bytes are a page, how its tables are laid out on the
// sheet, a cell's text, the page's encoding, and a long page read in pieces as it reads whole.
class TestHtmlTables : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void layout_data();
    void layout();
    void cellText_data();
    void cellText();
    void encoding_data();
    void encoding();
    void recognition_data();
    void recognition();
    void piecesReadAsWhole_data();
    void piecesReadAsWhole();
    void deepNesting();
    void calledOffInsideGumbo();
};

namespace {

QByteArray page(const QByteArray &body)
{
    return "<!DOCTYPE html>\n<html><head><title>t</title></head><body>" + body + "</body></html>";
}

QByteArray cellPage(const QByteArray &cell)
{
    return page("<table><tr><td>" + cell + "</td></tr></table>");
}

// The page's sheet read with the given piece size, and how many cuts the reading made.
QString readInPieces(const QByteArray &html, std::size_t pieceBytes, int *cuts)
{
    Workbook book;
    TableLayout layout(book, book.addWorksheet(QStringLiteral("Sheet1")));
    *cuts = 0;
    const ReadControl control([&](const std::uint8_t *, const std::uint8_t *) { ++*cuts; },
                              nullptr);
    PageReader(std::string_view(html.constData(), std::size_t(html.size())), true, layout, control,
               pieceBytes)
        .read();
    book.finish();
    return SheetText(book);
}

// A long page of several tables whose rows hold what makes a cut hard: row spans across it,
// "<tr" in comments, scripts and attribute values, nested tables, rows without end tags, a
// table inside other elements, tables in a template.
QByteArray longPage(unsigned seed)
{
    std::mt19937 random(seed);
    auto chance = [&](int percent) {
        return int(random() % 100) < percent;
    };
    QByteArray body;
    for (int table = 0; table < 4; ++table) {
        const bool wrapped = table % 2 == 1;
        const bool endTags = table != 2;
        if (wrapped)
            body += "<div><center><form>";
        body += table == 3 ? "<table><thead><tr><th>head</th></tr></thead>" : "<table>";
        for (int row = 0; row < 300; ++row) {
            if (chance(5))
                body += "</tbody><tbody>";
            body += chance(50) ? "\n<tr class=\"r\">" : "<TR>";
            const int cells = 1 + int(random() % 6);
            for (int cell = 0; cell < cells; ++cell) {
                body += "<td";
                if (chance(10))
                    body += " rowspan=" + QByteArray::number(int(random() % 4));
                if (chance(10))
                    body += " colspan=" + QByteArray::number(1 + int(random() % 3));
                if (chance(5))
                    body += " title='<tr>'";
                body += ">t" + QByteArray::number(table) + "r" + QByteArray::number(row) + "c" +
                        QByteArray::number(cell);
                if (chance(5))
                    body += "<!-- <tr><td>not a row</td></tr> -->";
                if (chance(5))
                    body += "<script>document.write('<tr><td>')</script>";
                if (chance(5))
                    body += "<table><tr><td>in</td><td>ner</td></tr><tr><td>x</td></tr></table>";
                if (endTags)
                    body += "</td>";
            }
            if (endTags)
                body += "</tr>";
        }
        body += "</table>";
        if (wrapped)
            body += "</form></center></div>";
        body += "<p>between <b>tables</p><template><table><tr><td>hidden</td></tr></table>"
                "</template>";
    }
    return page(body);
}

} // namespace

void TestHtmlTables::layout_data()
{
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<QString>("sheet");

    QTest::newRow("spans occupy their cells")
        << page("<table><tr><td colspan=2>A</td><td rowspan=2>B</td><td>C</td></tr>"
                "<tr><td>D</td><td>E</td><td>F</td></tr></table>")
        << QStringLiteral("A||B|C\nD|E||F");
    QTest::newRow("rowspan 0 runs to the end of its row group")
        << page("<table><tbody><tr><td rowspan=0>A</td><td>1</td></tr><tr><td>2</td></tr>"
                "</tbody><tbody><tr><td>3</td></tr></tbody></table>")
        << QStringLiteral("A|1\n|2\n3");
    QTest::newRow("tables one under the other, spans end with their table")
        << page("<table><tr><td rowspan=3>A</td><td>1</td></tr></table><p>text</p>"
                "<table><tr><td>B</td></tr></table>")
        << QStringLiteral("A|1\nB");
    QTest::newRow("empty rows and cells keep their places")
        << page("<table><tr></tr><tr><td></td><td>x</td></tr></table>") << QStringLiteral("\n|x");
    QTest::newRow("span attributes as browsers read them")
        << page("<table><tr><td colspan=\" 2x\">a</td><td colspan=abc>b</td>"
                "<td colspan=0>c</td><td rowspan=-1>d</td></tr><tr><td>e</td></tr></table>")
        << QStringLiteral("a||b|c|d\ne");
    QTest::newRow("head, foot and body rows in page order")
        << page("<table><thead><tr><th>H</th></tr></thead><tfoot><tr><td>F</td></tr></tfoot>"
                "<tbody><tr><td>B</td></tr></tbody></table>")
        << QStringLiteral("H\nF\nB");
    QTest::newRow("rows and cells without end tags")
        << page("<table><tr><td>a<td>b<tr><td>c</table>") << QStringLiteral("a|b\nc");
    QTest::newRow("a nested table is its cell's text")
        << page("<table><tr><td>x<table><tr><td>1</td><td>2</td></tr><tr><td>3</td></tr>"
                "</table>y</td><td>z</td></tr></table>")
        << QStringLiteral("x\\n1\\t2\\n3\\ny|z");
    QTest::newRow("captions and text outside tables are not cells")
        << page("<h1>Title</h1><table><caption>Caption</caption><tr><td>a</td></tr></table>")
        << QStringLiteral("a");
    QTest::newRow("a table in the head moves to the body")
        << QByteArray("<html><head><table><tr><td>a</td></tr></table></head></html>")
        << QStringLiteral("a");
    QTest::newRow("tables in templates and noscript are not shown")
        << page("<template><table><tr><td>t</td></tr></table></template>"
                "<noscript><table><tr><td>n</td></tr></table></noscript>"
                "<table><tr><td>a</td></tr></table>")
        << QStringLiteral("a");
}

void TestHtmlTables::layout()
{
    QFETCH(QByteArray, html);
    QFETCH(QString, sheet);
    const auto book = ReadWorkbook(html);
    QCOMPARE(book->formatName(), QStringLiteral("HTML"));
    QCOMPARE(SheetText(*book), sheet);
}

void TestHtmlTables::cellText_data()
{
    QTest::addColumn<QByteArray>("cell");
    QTest::addColumn<QString>("text");

    QTest::newRow("white space collapses") << QByteArray("  a \n\t b  ") << QStringLiteral("a b");
    QTest::newRow("line breaks") << QByteArray("a <br> b<br><br>c<br>")
                                 << QStringLiteral("a\\nb\\n\\nc");
    QTest::newRow("blocks on lines of their own")
        << QByteArray("<p>one</p><p>two</p>three<div>four</div><ul><li>5<li>6</ul>")
        << QStringLiteral("one\\ntwo\\nthree\\nfour\\n5\\n6");
    QTest::newRow("inline elements run on")
        << QByteArray("<b>bo</b><i>ld</i> <a href=x>link</a>") << QStringLiteral("bold link");
    QTest::newRow("preformatted text keeps its spaces")
        << QByteArray("x<pre>\na  b\n c</pre>y") << QStringLiteral("x\\na  b\\n c\\ny");
    QTest::newRow("what a browser does not show")
        << QByteArray("a<script>x</script><style>y</style><span style=\"DISPLAY: None\">z</span>"
                      "<span hidden>w</span><!-- c --><noscript>n</noscript>b")
        << QStringLiteral("ab");
    QTest::newRow("character references, no-break spaces")
        << QByteArray("&lt;5&gt; &amp; &nbsp;&nbsp;x&eacute;&#1046;&#x1F600;")
        << QStringLiteral("<5> &   xéЖ😀");
    QTest::newRow("Excel's number and text hints are not needed")
        << QByteArray("<span x:num=\"12.5\" style='mso-number-format:\"0\\.00\"'>12,50</span>")
        << QStringLiteral("12,50");
    QTest::newRow("texts as written") << QByteArray("007") << QStringLiteral("007");
}

void TestHtmlTables::cellText()
{
    QFETCH(QByteArray, cell);
    QFETCH(QString, text);
    QCOMPARE(SheetText(*ReadWorkbook(cellPage(cell))), text);
}

void TestHtmlTables::encoding_data()
{
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<int>("codePage");
    QTest::addColumn<QString>("text");

    const QByteArray utf8 = QStringLiteral("Иван").toUtf8();
    const QByteArray cp1251("\xC8\xE2\xE0\xED");
    const QByteArray koi8("\xE9\xD7\xC1\xCE");
    const QByteArray table = "<table><tr><td>";
    QTest::newRow("meta charset") << "<meta charset=\"windows-1251\">" + table + cp1251 << 1251
                                  << QStringLiteral("Иван");
    QTest::newRow("http-equiv content type")
        << "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=KOI8-R\">" +
               table + koi8
        << 20866 << QStringLiteral("Иван");
    QTest::newRow("a content type without http-equiv declares nothing")
        << "<meta content=\"text/html; charset=koi8-r\">" + table + utf8 << 65001
        << QStringLiteral("Иван");
    QTest::newRow("a declaration in a comment declares nothing")
        << "<!-- <meta charset=koi8-r> --><meta name=x content=y>" + table + utf8 << 65001
        << QStringLiteral("Иван");
    QTest::newRow("a declaration after the first 1024 bytes declares nothing")
        << "<!--" + QByteArray(1100, 'x') + "--><meta charset=koi8-r>" + table + cp1251 << 1251
        << QStringLiteral("Иван");
    QTest::newRow("an unknown encoding declares nothing")
        << "<meta charset=x-klingon>" + table + utf8 << 65001 << QStringLiteral("Иван");
    QTest::newRow("UTF-16 declared in bytes is UTF-8")
        << "<meta charset=utf-16>" + table + utf8 << 65001 << QStringLiteral("Иван");
    QTest::newRow("Mac Roman") << "<meta http-equiv=Content-Type content=\"text/html; "
                                  "charset=macintosh\">" +
                                      table + "caf\x8E"
                               << 10000 << QStringLiteral("café");
    QTest::newRow("undeclared UTF-8") << table + utf8 << 65001 << QStringLiteral("Иван");
    QTest::newRow("undeclared, not UTF-8") << table + cp1251 << 1251 << QStringLiteral("Иван");
    QTest::newRow("a byte-order mark over a declaration")
        << "\xEF\xBB\xBF<meta charset=windows-1251>" + table + utf8 << 65001
        << QStringLiteral("Иван");
    QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    QTest::newRow("UTF-16 with its mark")
        << QByteArray(utf16.encode(QStringLiteral("<table><tr><td>Иван 😀"))) << 1200
        << QStringLiteral("Иван 😀");
}

void TestHtmlTables::encoding()
{
    QFETCH(QByteArray, html);
    QFETCH(int, codePage);
    QFETCH(QString, text);
    const auto book = ReadWorkbook(html);
    QCOMPARE(book->formatName(), QStringLiteral("HTML"));
    QCOMPARE(book->codePage(), codePage);
    QCOMPARE(SheetText(*book), text);
}

void TestHtmlTables::recognition_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("format");

    const QByteArray table = "<table><tr><td>a</td></tr></table>";
    QTest::newRow("doctype") << "<!doctype HTML>" + table << QStringLiteral("HTML");
    QTest::newRow("a comment, then html")
        << "<!-- saved -->\n<HTML>" + table << QStringLiteral("HTML");
    QTest::newRow("Excel's page, an XML declaration first")
        << "<?xml version=\"1.0\"?>\n<html xmlns:x=\"urn:schemas-microsoft-com:office:excel\">" +
               table
        << QStringLiteral("HTML");
    QTest::newRow("a mark and spaces, then a table")
        << "\xEF\xBB\xBF \r\n" + table << QStringLiteral("HTML");
    QTest::newRow("meta first") << "<meta charset=utf-8>" + table << QStringLiteral("HTML");
    QTest::newRow("text starting with <")
        << QByteArray("<5,low\n>5,high") << QStringLiteral("Text");
    QTest::newRow("markup in a CSV") << "<b>bold</b>," + table << QStringLiteral("Text");
    QTest::newRow("a page without a table")
        << QByteArray("<html><body>no</body></html>") << QStringLiteral("Text");
    QTest::newRow("a tag that only starts like table")
        << QByteArray("<tablet>;x\n<tables>;y") << QStringLiteral("Text");
    QTest::newRow("another doctype") << "<!DOCTYPE htmlx>" + table << QStringLiteral("Text");
}

void TestHtmlTables::recognition()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, format);
    QCOMPARE(ReadWorkbook(file)->formatName(), format);
}

void TestHtmlTables::piecesReadAsWhole_data()
{
    QTest::addColumn<unsigned>("seed");
    QTest::addColumn<int>("pieceBytes");
    QTest::addColumn<int>("leastCuts");
    QTest::newRow("small pieces") << 1u << 200 << 100;
    QTest::newRow("a row or two a piece") << 2u << 1 << 500;
    QTest::newRow("larger pieces") << 3u << 4000 << 5;
}

void TestHtmlTables::piecesReadAsWhole()
{
    QFETCH(unsigned, seed);
    QFETCH(int, pieceBytes);
    QFETCH(int, leastCuts);
    const QByteArray html = longPage(seed);
    int cuts = 0;
    const QString whole = readInPieces(html, std::size_t(html.size()), &cuts);
    QCOMPARE(cuts, 0);
    QVERIFY(whole.count(QLatin1Char('\n')) > 1000);
    QVERIFY(!whole.contains(QStringLiteral("not a row")));
    QVERIFY(!whole.contains(QStringLiteral("hidden")));
    const QString pieces = readInPieces(html, std::size_t(pieceBytes), &cuts);
    QVERIFY2(cuts >= leastCuts, qPrintable(QString::number(cuts)));
    QCOMPARE(pieces, whole);
}

void TestHtmlTables::deepNesting()
{
    // Read without recursion, so no nesting runs out of stack.
    const int depth = 10'000;
    QByteArray cell;
    for (int i = 0; i < depth; ++i)
        cell += i % 2 ? "<span>" : "<div>";
    cell += "deep";
    const auto book = ReadWorkbook(cellPage(cell) + "<table><tr><td>next");
    QCOMPARE(SheetText(*book), QStringLiteral("deep\nnext"));
}

void TestHtmlTables::calledOffInsideGumbo()
{
    // The arena raises out of gumbo's own calls; gumbo keeps nothing outside the arena, which
    // serves the next parse.
    std::atomic<bool> cancelled{true};
    const ReadControl control({}, &cancelled);
    GumboArena arena(control);
    QByteArray rows;
    for (int i = 0; i < 1000; ++i)
        rows += "<tr><td>x</td></tr>";
    const QByteArray html = page("<table>" + rows + "</table>");
    const std::string_view document(html.constData(), std::size_t(html.size()));
    QVERIFY_THROWS_EXCEPTION(ReadCancelled, arena.parse(document));
    cancelled = false;
    QVERIFY(arena.parse(document)->root != nullptr);
}

QTEST_GUILESS_MAIN(TestHtmlTables)
#include "tst_htmltables.moc"
