#include "app/core/ResultTable.h"
#include "tools/TableText.h"
#include "tools/TableTextWriter.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTest>

// The dump tool's CSV and TSV writers.
class TestTableText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void csvFields_data();
    void csvFields();
    void tsvFields_data();
    void tsvFields();
    void wholeTable();
    void headerOnlyTable();
    void bigTableWrittenInBatches();
    void refusedWrite();
    void encodingMatchesQtUtf8();
    void writerTakesCellsInImportOrder();
};

void TestTableText::csvFields_data()
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
    // Long fields go eight characters at a time while they can.
    QTest::newRow("long plain") << QStringLiteral("0123456789 abcdefghij Иванов xyz")
                                << QStringLiteral("0123456789 abcdefghij Иванов xyz");
    QTest::newRow("comma among the first eight")
        << QStringLiteral("123,4567890123") << QStringLiteral("\"123,4567890123\"");
    QTest::newRow("comma after them")
        << QStringLiteral("1234567890,12") << QStringLiteral("\"1234567890,12\"");
    QTest::newRow("quote after them")
        << QStringLiteral("abcdefghijklmnop\"q") << QStringLiteral("\"abcdefghijklmnop\"\"q\"");
    QTest::newRow("line feed after them")
        << QStringLiteral("строка 1 second\nline") << QStringLiteral("\"строка 1 second\nline\"");
    QTest::newRow("Latin-1 among the first eight")
        << QStringLiteral("abcdéfghij") << QStringLiteral("abcdéfghij");
    QTest::newRow("a character whose low byte is a comma")
        << QStringLiteral("abcdefg\u2C2Cxyz") << QStringLiteral("abcdefg\u2C2Cxyz");
}

void TestTableText::csvFields()
{
    QFETCH(QString, text);
    QFETCH(QString, field);
    QCOMPARE(csvField(text), field);
}

void TestTableText::tsvFields_data()
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
    QTest::newRow("long, tab after eight")
        << QStringLiteral("0123456789\tabcdefghij") << QStringLiteral("0123456789\\tabcdefghij");
    QTest::newRow("long, backslash among the first eight")
        << QStringLiteral("C:\\folder\\file.xls") << QStringLiteral("C:\\\\folder\\\\file.xls");
}

void TestTableText::tsvFields()
{
    QFETCH(QString, text);
    QFETCH(QString, field);
    QCOMPARE(tsvField(text), field);
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

    QCOMPARE(tableText(table, TableTextFormat::Csv),
             QStringLiteral("Имя,\"a,b\",c\r\n\"x\ny\",,\r\n,,\t\r\n").toUtf8());
    QCOMPARE(tableText(table, TableTextFormat::Tsv),
             QStringLiteral("Имя\ta,b\tc\nx\\ny\t\t\n\t\t\\t\n").toUtf8());
}

void TestTableText::headerOnlyTable()
{
    ResultTable table;
    table.SetColCount(13);
    table.SetRowCount(1);
    QCOMPARE(tableText(table, TableTextFormat::Csv), QByteArray(12, ',') + "\r\n");
    QCOMPARE(tableText(table, TableTextFormat::Tsv), QByteArray(12, '\t') + "\n");
}

void TestTableText::bigTableWrittenInBatches()
{
    // Many batches, records of different lengths, characters that take 1 to 3 bytes in UTF-8
    // and a field long enough to fill a batch on its own: the same text as record by record.
    ResultTable table;
    table.SetColCount(13);
    table.SetRowCount(3000);
    for (int row = 0; row < table.RowCount(); ++row) {
        for (int col = 0; col < table.ColCount(); ++col) {
            if ((row + col) % 5 != 0)
                table.SetCells(
                    col, row,
                    QStringLiteral("%1,\"ё€\"\t\\%2\r\n").arg(row).arg(col).repeated(col % 3));
        }
    }
    table.SetCells(4, 1500, QString(70'000, u'ж'));
    for (const TableTextFormat format : {TableTextFormat::Csv, TableTextFormat::Tsv}) {
        const bool csv = format == TableTextFormat::Csv;
        QString expected;
        for (int row = 0; row < table.RowCount(); ++row) {
            QStringList fields;
            for (int col = 0; col < table.ColCount(); ++col)
                fields << (csv ? csvField(table.Cells(col, row)) : tsvField(table.Cells(col, row)));
            expected += fields.join(csv ? u',' : u'\t') +
                        (csv ? QStringLiteral("\r\n") : QStringLiteral("\n"));
        }
        QByteArray written;
        QBuffer out(&written);
        QVERIFY(out.open(QIODevice::WriteOnly));
        QVERIFY(writeTableText(table, format, out));
        QCOMPARE(written, expected.toUtf8());
        QCOMPARE(tableText(table, format), written);
    }
}

void TestTableText::refusedWrite()
{
    ResultTable table;
    table.SetCells(0, 0, QStringLiteral("x"));
    QByteArray bytes;
    QBuffer readOnly(&bytes);
    QVERIFY(readOnly.open(QIODevice::ReadOnly));
    QTest::ignoreMessage(QtWarningMsg, "QIODevice::write (QBuffer): ReadOnly device");
    QVERIFY(!writeTableText(table, TableTextFormat::Csv, readOnly));
}

void TestTableText::encodingMatchesQtUtf8()
{
    // The fields are encoded by hand: against Qt's own UTF-8 of the quoted or escaped text,
    // for random texts of quotes, separators, escapes, 1- to 3-byte characters, surrogate
    // pairs and lone halves of them, at every place in the text.
    const char16_t pool[] = {u'a',      u',',    u'"',    u'\r',  u'\n',    u'\t',    u'\\',
                             u'\x7f',   u'\x80', u'\xff', u'Ж',   u'\x7ff', u'\x800', u'€',
                             u'\xffff', 0xD83D,  0xDE00,  0xDBFF, 0xDFFF,   0xDC00,   0xD800};
    QRandomGenerator random(1209);
    for (int i = 0; i < 20'000; ++i) {
        QString text;
        for (int n = int(random.bounded(12)); n > 0; --n)
            text += QChar(pool[random.bounded(int(std::size(pool)))]);
        QString csv = text;
        csv.replace(u'"', QStringLiteral("\"\""));
        if (text.contains(u',') || text.contains(u'"') || text.contains(u'\r') ||
            text.contains(u'\n'))
            csv = u'"' + csv + u'"';
        QString tsv;
        for (const QChar c : text) {
            const int escape = QStringView(u"\\\t\n\r").indexOf(c);
            tsv += escape < 0 ? QString(c) : u'\\' + QString(u"\\tnr"[escape]);
        }
        QByteArray field("x");
        appendField(field, text, TableTextFormat::Csv);
        QCOMPARE(field, "x" + csv.toUtf8());
        field.resize(0);
        appendField(field, text, TableTextFormat::Tsv);
        QCOMPARE(field, tsv.toUtf8());
        QVERIFY(field.size() <= maxFieldBytes(text.size()));
    }
}

void TestTableText::writerTakesCellsInImportOrder()
{
    QByteArray written;
    QBuffer out(&written);
    QVERIFY(out.open(QIODevice::WriteOnly));
    TableTextWriter writer(TableTextFormat::Csv, out);
    writer.ClearGrid();
    writer.SetColCount(3);
    writer.SetRowCount(4);
    writer.beginFill();
    writer.beginFill();
    writer.SetCells(0, 0, u"a");
    writer.SetCells(2, 0, u"c");     // (1, 0) skipped: empty
    writer.SetCells(1, 2, u"x,y");   // row 1 skipped
    writer.SetCells(0, 0, u"late");  // behind: ignored
    writer.SetCells(3, 2, u"out");   // outside: ignored
    writer.SetCells(0, 4, u"below"); // outside: ignored
    writer.endFill();
    // Inside a nested fill nothing is complete yet.
    QVERIFY(!writer.written());
    writer.endFill();
    QVERIFY(writer.written());
    QCOMPARE(written, QByteArray("a,,c\r\n,,\r\n,\"x,y\",\r\n,,\r\n"));
    QCOMPARE(writer.RowCount(), 4);

    // Counts below one are one, as in the table.
    written.clear();
    out.seek(0);
    TableTextWriter tsv(TableTextFormat::Tsv, out);
    tsv.SetColCount(0);
    tsv.SetRowCount(-3);
    tsv.beginFill();
    tsv.endFill();
    QCOMPARE(written, QByteArray("\n"));
}

QTEST_GUILESS_MAIN(TestTableText)
#include "tst_tabletext.moc"
