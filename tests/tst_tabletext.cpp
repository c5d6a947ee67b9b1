#include "app/ResultTable.h"
#include "app/TableText.h"

#include <QTest>

// The dump tool's CSV and TSV writers.
class TestTableText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void csvField_data();
    void csvField();
    void tsvField_data();
    void tsvField();
    void wholeTable();
    void headerOnlyTable();
};

void TestTableText::csvField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field");

    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("plain") << QStringLiteral("Иванов 5") << QStringLiteral("Иванов 5");
    QTest::newRow("edge blanks kept") << QStringLiteral(" a ") << QStringLiteral(" a ");
    QTest::newRow("comma") << QStringLiteral("a,b") << QStringLiteral("\"a,b\"");
    QTest::newRow("quote") << QStringLiteral("say \"hi\"") << QStringLiteral("\"say \"\"hi\"\"\"");
    QTest::newRow("lone quote") << QStringLiteral("\"") << QStringLiteral("\"\"\"\"");
    QTest::newRow("line feed") << QStringLiteral("a\nb") << QStringLiteral("\"a\nb\"");
    QTest::newRow("carriage return") << QStringLiteral("a\rb") << QStringLiteral("\"a\rb\"");
    QTest::newRow("tab and backslash left alone")
        << QStringLiteral("a\t\\b") << QStringLiteral("a\t\\b");
}

void TestTableText::csvField()
{
    QFETCH(QString, text);
    QFETCH(QString, field);
    QCOMPARE(CsvField(text), field);
}

void TestTableText::tsvField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field");

    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("plain, comma, quote")
        << QStringLiteral("a, \"b\"") << QStringLiteral("a, \"b\"");
    QTest::newRow("tab") << QStringLiteral("a\tb") << QStringLiteral("a\\tb");
    QTest::newRow("line feed") << QStringLiteral("a\nb") << QStringLiteral("a\\nb");
    QTest::newRow("carriage return") << QStringLiteral("a\r\nb") << QStringLiteral("a\\r\\nb");
    QTest::newRow("backslash") << QStringLiteral("C:\\x\\") << QStringLiteral("C:\\\\x\\\\");
    // Written \t already: the backslash is escaped, so it reads back as the two characters.
    QTest::newRow("backslash t") << QStringLiteral("\\t") << QStringLiteral("\\\\t");
}

void TestTableText::tsvField()
{
    QFETCH(QString, text);
    QFETCH(QString, field);
    QCOMPARE(TsvField(text), field);
}

void TestTableText::wholeTable()
{
    ResultTable table;
    table.SetColCount(3);
    table.SetRowCount(3);
    table.SetCells(0, 0, QStringLiteral("Имя"));
    table.SetCells(1, 0, QStringLiteral("a,b"));
    table.SetCells(2, 0, QStringLiteral("c"));
    table.SetCells(0, 1, QStringLiteral("x\ny"));
    table.SetCells(2, 2, QStringLiteral("\t"));

    QCOMPARE(TableText(table, TableTextFormat::Csv),
             QStringLiteral("Имя,\"a,b\",c\r\n\"x\ny\",,\r\n,,\t\r\n").toUtf8());
    QCOMPARE(TableText(table, TableTextFormat::Tsv),
             QStringLiteral("Имя\ta,b\tc\nx\\ny\t\t\n\t\t\\t\n").toUtf8());
}

void TestTableText::headerOnlyTable()
{
    ResultTable table;
    table.SetColCount(13);
    table.SetRowCount(1);
    QCOMPARE(TableText(table, TableTextFormat::Csv), QByteArray(12, ',') + "\r\n");
    QCOMPARE(TableText(table, TableTextFormat::Tsv), QByteArray(12, '\t') + "\n");
}

QTEST_GUILESS_MAIN(TestTableText)
#include "tst_tabletext.moc"
