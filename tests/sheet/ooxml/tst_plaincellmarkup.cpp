#include "sheet/ooxml/PlainCellMarkup.h"
#include "tests/support/WorksheetOutcome.h"

#include <QTest>
#include <bit>

// The worksheet reader's short way through plain cells: what it takes it reads as expat does,
// cut anywhere into pieces, and whatever it leaves goes the long way, to the same cells or the
// same refusal. (fuzz/fuzz_xmlscanner does this on any bytes.)
class TestPlainCellMarkup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sameCellsAsExpat_data();
    void sameCellsAsExpat();
    void noCellsOutsideTheNamespace();
};

void TestPlainCellMarkup::sameCellsAsExpat_data()
{
    QTest::addColumn<QByteArray>("cell");
    QTest::addColumn<bool>("plain"); // taken by the short way

    QTest::newRow("number") << QByteArray(R"(<c r="A1" s="2"><v>12.5</v></c>)") << true;
    QTest::newRow("shared string") << QByteArray(R"(<c r="B1" t="s"><v>0</v></c>)") << true;
    QTest::newRow("empty cells") << QByteArray(R"(<c/><c r="C1" s="1"/>)") << true;
    QTest::newRow("single quotes") << QByteArray("<c r='D1' t='b'><v>1</v></c>") << true;
    QTest::newRow("formula") << QByteArray(R"(<c r="E1"><f>SUM(A1:A3)</f><v>6</v></c>)") << true;
    QTest::newRow("shared formula")
        << QByteArray(R"(<c r="F1"><f t="shared" ref="F1:F3" si="0"/><v>6</v></c>)") << true;
    QTest::newRow("formula without a value") << QByteArray(R"(<c r="G1"><f>A1</f></c>)") << true;
    QTest::newRow("empty string result")
        << QByteArray(R"(<c r="H1" t="str"><f>A1</f><v></v></c><c><v/></c>)") << true;
    QTest::newRow("white space in tags") << QByteArray("<c  r = \"J1\"\t><v >1</v\n></c >") << true;
    QTest::newRow("two values") << QByteArray(R"(<c r="K1"><v>1</v><v>2</v></c>)") << true;
    QTest::newRow("error") << QByteArray(R"(<c r="L1" t="e"><v>#N/A</v></c>)") << true;
    QTest::newRow("date") << QByteArray(R"(<c r="M1" t="d"><v>2024-01-02T03:04:05</v></c>)")
                          << true;
    QTest::newRow("text between elements") << QByteArray("<c r=\"N1\">\n <v>7</v> x\n</c>") << true;
    QTest::newRow("other attributes")
        << QByteArray(R"(<c r="O1" cm="1" vm="2" ph="1" s="3"><v>1</v></c>)") << true;
    QTest::newRow("unknown type") << QByteArray(R"(<c r="A1" t="x"><v>1</v></c>)") << true;
    QTest::newRow("reference outside") << QByteArray(R"(<c r="XFE1"><v>1</v></c>)") << true;
    QTest::newRow("no number") << QByteArray(R"(<c r="A1"><v>abc</v></c>)") << true;

    QTest::newRow("inline string")
        << QByteArray(R"(<c r="A1" t="inlineStr"><is><t>x</t></is></c>)") << false;
    QTest::newRow("reference in text")
        << QByteArray(R"(<c r="A1" t="str"><v>a&amp;b</v></c>)") << false;
    QTest::newRow("reference in a value") << QByteArray(R"(<c r="&#65;1"><v>1</v></c>)") << false;
    QTest::newRow("non-ASCII text")
        << QByteArray("<c r=\"A1\" t=\"str\"><v>Привет</v></c>") << false;
    QTest::newRow("carriage return")
        << QByteArray("<c r=\"A1\" t=\"str\"><v>a\r\nb</v></c>") << false;
    QTest::newRow("tab in a value") << QByteArray("<c r=\"A1\" s=\"1\t\"><v>1</v></c>") << false;
    QTest::newRow("namespace declared")
        << QByteArray(R"(<c r="A1" xmlns:x="urn:x" x:a="1"><v>1</v></c>)") << false;
    QTest::newRow("default namespace changed")
        << QByteArray(R"(<c xmlns="urn:other" r="A1"><v>1</v></c>)") << false;
    QTest::newRow("unbound prefix") << QByteArray(R"(<c r="A1" x14:a="1"><v>1</v></c>)") << false;
    QTest::newRow("attribute twice") << QByteArray(R"(<c r="A1" r="B1"><v>1</v></c>)") << false;
    QTest::newRow("no space between attributes")
        << QByteArray(R"(<c r="A1"s="1"><v>1</v></c>)") << false;
    QTest::newRow("value inside another element")
        << QByteArray(R"(<c r="A1"><x><v>1</v></x></c>)") << false;
    QTest::newRow("element inside a formula")
        << QByteArray(R"(<c r="A1"><f>A1<x/></f><v>1</v></c>)") << false;
    QTest::newRow("attribute on a value") << QByteArray(R"(<c r="A1"><v a="1">1</v></c>)") << false;
    QTest::newRow("wrong end tag") << QByteArray(R"(<c r="A1"><v>1</v></cx>)") << false;
    QTest::newRow("]]> in text") << QByteArray(R"(<c r="A1"><v>]]></v></c>)") << false;
    QTest::newRow("prefixed value") << QByteArray(R"(<c r="A1"><x:v>1</x:v></c>)") << false;
    QTest::newRow("other element in a row") << QByteArray(R"(<cx r="A1"><v>1</v></cx>)") << false;
    QTest::newRow("cut short") << QByteArray(R"(<c r="A1"><v>1</v>)") << false;
}

void TestPlainCellMarkup::sameCellsAsExpat()
{
    QFETCH(QByteArray, cell);
    QFETCH(bool, plain);

    // Cell after cell, each taken whole, or the first left alone.
    QByteArray terminated = cell;
    terminated.append(QByteArray(16, '\0'));
    PlainCellMarkup markup;
    qsizetype at = 0;
    while (at < cell.size()) {
        const std::size_t taken = markup.read(terminated.constData() + at);
        if (taken == 0)
            break;
        at += qsizetype(taken);
    }
    QCOMPARE(at == cell.size(), plain);
    if (!plain)
        QCOMPARE(at, 0);

    const QByteArray document =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<worksheet "
        "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>"
        "<row r=\"1\">" +
        cell + "</row><row>" + cell + "</row></sheetData></worksheet>";
    const std::span<const char> bytes(document.constData(), std::size_t(document.size()));
    const std::string expected = worksheetOutcome(bytes, bytes.size(), false);
    for (const std::size_t pieceSize : {std::size_t(1), std::size_t(5), bytes.size()})
        QCOMPARE(worksheetOutcome(bytes, pieceSize, true), expected);
}

void TestPlainCellMarkup::noCellsOutsideTheNamespace()
{
    // Cells in no namespace count for nothing, before the worksheet and nested in it.
    const QByteArray document =
        "<a><sheetData><row><c><v>1</v></c></row></sheetData><worksheet "
        "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData><row>"
        "<c><v>2</v></c><x xmlns=\"\"><c><v>3</v></c></x></row></sheetData></worksheet></a>";
    const std::span<const char> bytes(document.constData(), std::size_t(document.size()));
    const std::string expected = "\n0,0 k" + std::to_string(int(Worksheet::Kind::Number)) + " s0 " +
                                 std::to_string(std::bit_cast<std::uint64_t>(2.0));
    for (const std::size_t pieceSize : {std::size_t(1), bytes.size()}) {
        QCOMPARE(worksheetOutcome(bytes, pieceSize, false), expected);
        QCOMPARE(worksheetOutcome(bytes, pieceSize, true), expected);
    }
}

QTEST_GUILESS_MAIN(TestPlainCellMarkup)
#include "tst_plaincellmarkup.moc"
