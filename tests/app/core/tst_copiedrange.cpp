#include "app/core/CopiedRange.h"
#include "app/core/ResultTable.h"

#include <QTest>

// The selection as a spreadsheet pastes it: tab-separated text and an HTML table.
class TestCopiedRange : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tabSeparated_data();
    void tabSeparated();
    void html_data();
    void html();
    void range();
};

void TestCopiedRange::tabSeparated_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << QStringLiteral("Иванов 1,5") << QStringLiteral("Иванов 1,5");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("tab") << QStringLiteral("a\tb") << QStringLiteral("\"a\tb\"");
    QTest::newRow("line feed") << QStringLiteral("a\nb") << QStringLiteral("\"a\nb\"");
    QTest::newRow("CR LF") << QStringLiteral("a\r\nb") << QStringLiteral("\"a\r\nb\"");
    QTest::newRow("quote") << QStringLiteral("5\" disk") << QStringLiteral("\"5\"\" disk\"");
    QTest::newRow("only quotes") << QStringLiteral("\"\"") << QStringLiteral("\"\"\"\"\"\"");
}

void TestCopiedRange::tabSeparated()
{
    QFETCH(QString, cell);
    QFETCH(QString, expected);
    QCOMPARE(tabSeparatedCell(cell), expected);
}

void TestCopiedRange::html_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << QStringLiteral("Текст") << QStringLiteral("Текст");
    QTest::newRow("markup") << QStringLiteral("<b>a & \"b\"</b>")
                            << QStringLiteral("&lt;b&gt;a &amp; &quot;b&quot;&lt;/b&gt;");
    QTest::newRow("line breaks") << QStringLiteral("1\n2\r\n3\r4\n\n")
                                 << QStringLiteral("1<br>2<br>3<br>4<br><br>");
    QTest::newRow("entity stays text") << QStringLiteral("&lt;") << QStringLiteral("&amp;lt;");
}

void TestCopiedRange::html()
{
    QFETCH(QString, cell);
    QFETCH(QString, expected);
    QCOMPARE(htmlCell(cell), expected);
}

void TestCopiedRange::range()
{
    ResultTable table;
    table.SetColCount(3);
    table.SetRowCount(3);
    table.SetCells(0, 1, QStringLiteral("a\tb"));
    table.SetCells(1, 1, QStringLiteral("x<y"));
    table.SetCells(2, 2, QStringLiteral("line1\nline2"));

    // Columns 1 and 2 of rows 1 and 2, and a column beyond the table, which reads as empty.
    const CopiedRange copied = CopiedRange::of(table, CellRange{1, 1, 3, 2});
    QCOMPARE(copied.text, QStringLiteral("x<y\t\t\n\t\"line1\nline2\"\t\n"));
    QVERIFY(copied.html.contains(QStringLiteral("charset=utf-8")));
    const qsizetype start = copied.html.indexOf(QStringLiteral("<table>"));
    QCOMPARE(copied.html.mid(start),
             QStringLiteral("<table><tr><td>x&lt;y</td><td></td><td></td></tr>"
                            "<tr><td></td><td>line1<br>line2</td><td></td></tr></table>"
                            "</body></html>"));

    const CopiedRange one = CopiedRange::of(table, CellRange{0, 1, 0, 1});
    QCOMPARE(one.text, QStringLiteral("\"a\tb\"\n"));
}

QTEST_GUILESS_MAIN(TestCopiedRange)
#include "tst_copiedrange.moc"
