#include "sheet/model/WorkbookError.h"
#include "sheet/xml/ExpatParser.h"
#include "sheet/xml/FastXmlScanner.h"
#include "tests/support/XmlEventLog.h"

#include <QTest>

// FastXmlScanner against expat: the documents spreadsheet programs write are read by the
// scanner, in pieces of any size, with the very events expat reports; whatever lies outside
// its subset it hands on, and expat decides. (fuzz/fuzz_xmlscanner does this on any bytes.)
class TestFastXmlScanner : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sameEventsAsExpat_data();
    void sameEventsAsExpat();
};

namespace {

// The scanner's events, or nothing when it handed the document on.
std::optional<std::string> scannedEvents(const QByteArray &document, qsizetype pieceSize)
{
    XmlEventLog log;
    FastXmlScanner scanner(log);
    for (qsizetype at = 0; at < document.size(); at += pieceSize) {
        const qsizetype size = std::min(pieceSize, document.size() - at);
        if (!scanner.feed(std::span<const char>(document.data() + at, std::size_t(size))))
            return std::nullopt;
    }
    if (!scanner.finish())
        return std::nullopt;
    return log.log;
}

std::optional<std::string> expatEvents(const QByteArray &document)
{
    XmlEventLog log;
    try {
        ExpatParser parser(log, QStringLiteral("test"));
        parser.feed(std::span<const char>(document.data(), std::size_t(document.size())));
        parser.finish();
    } catch (const WorkbookError &) {
        return std::nullopt;
    }
    return log.log;
}

} // namespace

void TestFastXmlScanner::sameEventsAsExpat_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<bool>("scanned"); // read by the scanner, not handed on
    const QByteArray main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    const auto row = [&main](const QByteArray &cells) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<worksheet "
               "xmlns=\"" +
               main + "\" xmlns:r=\"urn:r\"><sheetData><row r=\"1\">" + cells +
               "</row></sheetData></worksheet>";
    };
    QTest::newRow("cells")
        << row("<c r=\"A1\" s=\"1\" t=\"s\"><v>0</v></c><c r=\"B1\"><v>1.5</v></c>") << true;
    QTest::newRow("empty elements, spaces in tags")
        << row("<c r = 'A1' ><v/></c ><c\n\tr=\"B1\"/>") << true;
    QTest::newRow("references")
        << row("<c><is><t>&lt;&gt;&amp;&quot;&apos;&#65;&#x416;&#x1F600;</t></is></c>") << true;
    QTest::newRow("white space and references in values")
        << row("<c r=\"A\t1\r\nx&#10;y&#9;z&amp;\"/>") << true;
    QTest::newRow("line ends in text") << row("<c><v>a\r\nb\rc\n</v></c>") << true;
    QTest::newRow("UTF-8 text") << row("<c><v>Привет, 漢字 \xF0\x9F\x98\x80 ]] > ]</v></c>")
                                << true;
    QTest::newRow("namespaces")
        << QByteArray("<a:x xmlns:a=\"urn:a\" xmlns=\"urn:d\"><y a:k=\"1\" k=\"2\" "
                      "xml:space=\"preserve\"><z xmlns=\"\"/><a:x "
                      "xmlns:a=\"urn:b\"/></y></a:x>")
        << true;
    QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF<a>t</a>") << true;
    QTest::newRow("no declaration, trailing space") << QByteArray("  <a/>\n ") << true;

    QTest::newRow("comment") << row("<!-- c --><c/>") << false;
    QTest::newRow("CDATA") << row("<c><v><![CDATA[<x>]]></v></c>") << false;
    QTest::newRow("processing instruction") << row("<?pi x?>") << false;
    QTest::newRow("document type")
        << QByteArray("<!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;</a>") << false;
    QTest::newRow("other encoding")
        << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a/>") << false;
    QTest::newRow("non-ASCII name") << QByteArray("<ä/>") << false;
    QTest::newRow("unknown entity") << QByteArray("<a>&nbsp;</a>") << false;
    QTest::newRow("reference to no character") << QByteArray("<a>&#0;</a>") << false;
    QTest::newRow("control character") << QByteArray("<a>\x01</a>") << false;
    QTest::newRow("bad UTF-8") << QByteArray("<a>\xC0\x80</a>") << false;
    QTest::newRow("U+FFFE") << QByteArray("<a>\xEF\xBF\xBE</a>") << false;
    QTest::newRow("]]> in text") << QByteArray("<a>]]></a>") << false;
    QTest::newRow("< in a value") << QByteArray("<a b=\"<\"/>") << false;
    QTest::newRow("unbound prefix") << QByteArray("<p:a/>") << false;
    QTest::newRow("duplicate attribute") << QByteArray("<a b=\"1\" b=\"2\"/>") << false;
    QTest::newRow("one attribute by two prefixes")
        << QByteArray("<a xmlns:p=\"u\" xmlns:q=\"u\" p:b=\"1\" q:b=\"2\"/>") << false;
    QTest::newRow("mismatched end tag") << QByteArray("<a><b></a></b>") << false;
    QTest::newRow("unclosed") << QByteArray("<a><b/>") << false;
    QTest::newRow("two roots") << QByteArray("<a/><b/>") << false;
    QTest::newRow("text after the root") << QByteArray("<a/>x") << false;
    QTest::newRow("no space between attributes") << QByteArray("<a b=\"1\"c=\"2\"/>") << false;
}

void TestFastXmlScanner::sameEventsAsExpat()
{
    QFETCH(QByteArray, document);
    QFETCH(bool, scanned);
    const std::optional<std::string> expected = expatEvents(document);
    for (const qsizetype pieceSize : {qsizetype(1), qsizetype(3), qsizetype(7), document.size()}) {
        const std::optional<std::string> events = scannedEvents(document, pieceSize);
        QCOMPARE(events.has_value(), scanned);
        if (events) {
            QVERIFY2(expected, "the scanner read what expat refuses");
            QCOMPARE(*events, *expected);
        }
    }
}

QTEST_GUILESS_MAIN(TestFastXmlScanner)
#include "tst_fastxmlscanner.moc"
