#include "sheet/WorkbookFormats.h"
#include "sheet/model/Workbook.h"
#include "sheet/model/WorkbookError.h"
#include "tests/support/SheetText.h"

#include <QStringEncoder>
#include <QTest>

// Delimited text read as a workbook: which encoding and which delimiter the reader takes, how it
// reads quotes and line ends, and where it stops. Each file goes through the list of formats, as
// the import's do.
class TestDelimitedText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void reads_data();
    void reads();
    void notText_data();
    void notText();
    void sheetLimits();
};

namespace {

QByteArray encoded(QStringEncoder::Encoding encoding, const QString &text)
{
    QStringEncoder encoder(encoding, QStringEncoder::Flag::WriteBom);
    return encoder.encode(text);
}

// Windows-1251 for the Cyrillic letters used here, ASCII for the rest.
QByteArray cyrillic1251(const QString &text)
{
    QByteArray bytes;
    for (QChar c : text) {
        if (c >= u'А' && c <= u'я')
            bytes.append(char(0xC0 + (c.unicode() - u'А')));
        else
            bytes.append(char(c.unicode()));
    }
    return bytes;
}

} // namespace

void TestDelimitedText::reads_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("codePage");
    QTest::addColumn<QString>("sheet");

    // Encodings.
    QTest::newRow("UTF-8") << QStringLiteral("Имя;Балл\nИванов;5").toUtf8() << 65001
                           << QStringLiteral("Имя|Балл\nИванов|5");
    QTest::newRow("UTF-8 with its mark") << QByteArray("\xEF\xBB\xBF"
                                                       "a,b\xC3\xA9")
                                         << 65001 << QStringLiteral("a|bé");
    QTest::newRow("UTF-16 LE with its mark")
        << encoded(QStringEncoder::Utf16LE, QStringLiteral("a\tb\r\nв\tг")) << 1200
        << QStringLiteral("a|b\nв|г");
    QTest::newRow("UTF-16 BE with its mark")
        << encoded(QStringEncoder::Utf16BE, QStringLiteral("a;𐐁\nв;г")) << 1201
        << QStringLiteral("a|𐐁\nв|г");
    QTest::newRow("Windows-1251 when not UTF-8")
        << cyrillic1251(QStringLiteral("Имя;Балл\nИванов;4,5")) << 1251
        << QStringLiteral("Имя|Балл\nИванов|4,5");
    // Too little text for the detector to be sure; what it guesses, never UTF-8.
    QTest::newRow("one byte that is not UTF-8")
        << QByteArray("caf\xE9") << 28592 << QStringLiteral("café");
    QTest::newRow("overlong UTF-8 is not UTF-8")
        << QByteArray("\xC0\xAF") << 1252 << QStringLiteral("À¯");
    QTest::newRow("UTF-8 cut off at the end")
        << QByteArray("a\xD0") << 28603 << QStringLiteral("aŠ");
    QTest::newRow("UTF-16 LE without its mark")
        << QByteArray("a\0,\0b\0\n\0c\0,\0d\0", 14) << 1200 << QStringLiteral("a|b\nc|d");
    QTest::newRow("only a mark") << QByteArray("\xFF\xFE") << 1200 << QString();

    // The delimiter.
    QTest::newRow("tab in the first line")
        << QByteArray("a\tb;c\n1\t2;3") << 65001 << QStringLiteral("a|b;c\n1|2;3");
    QTest::newRow("semicolon, with decimal commas")
        << QStringLiteral("Имя;Балл\nИванов;4,5\nПетров;3,5").toUtf8() << 65001
        << QStringLiteral("Имя|Балл\nИванов|4,5\nПетров|3,5");
    QTest::newRow("comma, with semicolons in a text")
        << QByteArray("name,note\nA,x;y\nB,z") << 65001 << QStringLiteral("name|note\nA|x;y\nB|z");
    QTest::newRow("both split evenly: semicolon")
        << QByteArray("1,5;2,5\n3,5;4,5") << 65001 << QStringLiteral("1,5|2,5\n3,5|4,5");
    QTest::newRow("neither splits evenly: more fields first")
        << QByteArray("a,b,c;d\n1;2\n3") << 65001 << QStringLiteral("a|b|c;d\n1;2\n3");
    QTest::newRow("no delimiter at all")
        << QByteArray("just text\nmore") << 65001 << QStringLiteral("just text\nmore");
    QTest::newRow("delimiters in quotes do not count")
        << QByteArray("\"a;b\",c\n\"d;e\",f") << 65001 << QStringLiteral("a;b|c\nd;e|f");
    QTest::newRow("blank lines do not count")
        << QByteArray("a;b\n\nc;d\n") << 65001 << QStringLiteral("a|b\n\nc|d");

    // Quotes.
    QTest::newRow("doubled quotes")
        << QByteArray("\"say \"\"hi\"\"\",x") << 65001 << QStringLiteral("say \"hi\"|x");
    QTest::newRow("line ends in quotes") << QByteArray("\"one\r\ntwo\rthree\",b\r\nc,d") << 65001
                                         << QStringLiteral("one\\ntwo\\nthree|b\nc|d");
    QTest::newRow("a quote that never closes")
        << QByteArray("a,\"b,c\nd") << 65001 << QStringLiteral("a|b,c\\nd");
    QTest::newRow("text after a closing quote")
        << QByteArray("\"ab\"cd,e") << 65001 << QStringLiteral("abcd|e");
    QTest::newRow("a quote inside a field")
        << QByteArray("a\"b,c") << 65001 << QStringLiteral("a\"b|c");
    QTest::newRow("an empty quoted field") << QByteArray("\"\",x") << 65001 << QStringLiteral("|x");
    QTest::newRow("as written: spaces, numbers, dates, formulas")
        << QByteArray(" a ;007;1.5;1,5;2024-01-02;=A1+1;TRUE") << 65001
        << QStringLiteral(" a |007|1.5|1,5|2024-01-02|=A1+1|TRUE");

    // Line ends.
    QTest::newRow("CR LF, CR and LF")
        << QByteArray("a,b\r\nc,d\re,f\ng,h") << 65001 << QStringLiteral("a|b\nc|d\ne|f\ng|h");
    QTest::newRow("a last line end makes no row")
        << QByteArray("a,b,\r\n") << 65001 << QStringLiteral("a|b");
}

void TestDelimitedText::reads()
{
    QFETCH(QByteArray, file);
    QFETCH(int, codePage);
    QFETCH(QString, sheet);
    const auto book = readWorkbook(file);
    QCOMPARE(book->formatName(), QStringLiteral("Text"));
    QCOMPARE(book->codePage(), codePage);
    QCOMPARE(sheetText(*book), sheet);
}

void TestDelimitedText::notText_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("a NUL byte") << QByteArray("a,b\n\0c,d", 8);
    QTest::newRow("a NUL in UTF-16") << QByteArray("\xFF\xFE"
                                                   "a\0\0\0",
                                                   6);
}

void TestDelimitedText::notText()
{
    QFETCH(QByteArray, file);
    QCOMPARE(workbookErrorOf([&] { readWorkbook(file); }),
             QStringLiteral("The file is not an Excel workbook"));
}

void TestDelimitedText::sheetLimits()
{
    // A record of more fields than the sheet has columns, and more records than it has rows:
    // what lies beyond is dropped.
    QByteArray wide;
    for (int i = 0; i < 20'000; ++i)
        wide += QByteArray::number(i) + '\t';
    QByteArray file = wide + '\n' + QByteArray(Worksheet::MaxRows + 5, '\n');
    file += "beyond\n";
    const auto book = readWorkbook(file);
    const Worksheet &sheet = book->worksheet(1);
    QCOMPARE(sheet.columnCount(), int(Worksheet::MaxColumns));
    QCOMPARE(sheet.rowCount(), 1);
    QCOMPARE(book->cellText(sheet, 1, Worksheet::MaxColumns, QLocale::c()),
             QString::number(Worksheet::MaxColumns - 1));

    QByteArray tall;
    tall.reserve(3 * (Worksheet::MaxRows + 10));
    for (std::uint32_t i = 0; i < Worksheet::MaxRows + 10; ++i)
        tall += "x\n";
    const auto tallBook = readWorkbook(tall);
    QCOMPARE(tallBook->worksheet(1).rowCount(), int(Worksheet::MaxRows));
}

QTEST_GUILESS_MAIN(TestDelimitedText)
#include "tst_delimitedtext.moc"
