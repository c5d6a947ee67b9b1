#include "app/core/ResultTable.h"
#include "app/core/ToolkitColor.h"

#include <QElapsedTimer>
#include <QStringEncoder>
#include <QTest>

namespace {

// The table's arena holds 512 KiB a chunk.
constexpr std::size_t ChunkBytes = std::size_t(1) << 19;

// What a text takes in the arena: a byte a character for Latin-1 or what Windows-1251 (as
// ICU has it) holds, two for anything else.
std::size_t arenaSize(QStringView text)
{
    bool latin1 = true;
    for (const QChar c : text)
        latin1 = latin1 && c.unicode() < 0x100;
    QStringEncoder cyrillic("windows-1251");
    const QByteArray bytes = cyrillic.encode(text);
    const bool narrow = latin1 || (!cyrillic.hasError() && bytes.size() == text.size());
    return std::size_t(text.size()) * (narrow ? 1 : 2);
}

QString label(int col, int row)
{
    return QStringLiteral("%1:%2").arg(col).arg(row);
}

void fillLabels(ResultTable &table)
{
    for (int row = 0; row < table.RowCount(); ++row) {
        for (int col = 0; col < table.ColCount(); ++col)
            table.SetCells(col, row, label(col, row));
    }
}

} // namespace

// The result table's cells on their own: shape, ClearGrid, the fixed row, the text arena, moves
// and the cost of a bulk fill.
class TestResultTable : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void builtState();
    void colours();
    void clearGrid();
    void clearGridKeepsAnUnfixedHeader();
    void fixedRowGivesWayForGood();
    void rowCountNeverBelowOne();
    void columnsKeepTheirCells();
    void overwrittenCellsAreCompacted();
    void longTextsRunAcrossChunks();
    void clearGridEmptiesTheArena();
    void latin1AndWiderTextsReadBackExactly();
    void narrowestFormOfEachText_data();
    void narrowestFormOfEachText();
    void outOfRangeIsHarmless();
    void movesWithItsTexts();
    void cellsNotFilledReadEmpty();
    void bulkFill();
};

void TestResultTable::builtState()
{
    const ResultTable table;
    QCOMPARE(table.ColCount(), 12);
    QCOMPARE(table.RowCount(), 2);
    QCOMPARE(table.FixedRows(), 1);
    for (int col = 0; col < 12; ++col) {
        QVERIFY(table.Cells(col, 0).isEmpty());
        QVERIFY(table.Cells(col, 1).isEmpty());
    }
    QVERIFY(table.holds(11, 1));
    QVERIFY(!table.holds(12, 1));
    QVERIFY(!table.holds(0, 2));
}

void TestResultTable::colours()
{
    QCOMPARE(rgbFromToolkitColor(GridColors::Color), 0xfff7f5f5u);
    QCOMPARE(rgbFromToolkitColor(GridColors::FixedColor), 0xffe0e0e0u);
    QCOMPARE(rgbFromToolkitColor(255), 0xffff0000u);   // red
    QCOMPARE(rgbFromToolkitColor(32768), 0xff008000u); // green
    QCOMPARE(rgbFromToolkitColor(14725296), 0xffb0b0e0u);
}

void TestResultTable::clearGrid()
{
    ResultTable table;
    table.SetColCount(13);
    table.SetRowCount(100);
    fillLabels(table);

    table.ClearGrid();

    QCOMPARE(table.RowCount(), 2);
    QCOMPARE(table.ColCount(), 13);
    QCOMPARE(table.FixedRows(), 1);
    for (int col = 0; col < 13; ++col) {
        QVERIFY(table.Cells(col, 0).isEmpty());
        QVERIFY(table.Cells(col, 1).isEmpty());
    }

    // Rows that come back after a clear are new, blank rows.
    table.SetRowCount(5);
    for (int row = 2; row < 5; ++row) {
        for (int col = 0; col < 13; ++col)
            QVERIFY(table.Cells(col, row).isEmpty());
    }
}

void TestResultTable::clearGridKeepsAnUnfixedHeader()
{
    ResultTable table;
    table.SetRowCount(1);
    table.ClearGrid();
    QCOMPARE(table.RowCount(), 2);
    QCOMPARE(table.FixedRows(), 0);
}

void TestResultTable::fixedRowGivesWayForGood()
{
    ResultTable table;
    table.SetRowCount(5);
    QCOMPARE(table.FixedRows(), 1);

    table.SetRowCount(1);
    QCOMPARE(table.FixedRows(), 0);

    table.SetRowCount(100);
    table.ClearGrid();
    table.SetRowCount(100);
    QCOMPARE(table.FixedRows(), 0);

    // Fixed rows stay fewer than rows whatever is asked.
    table.SetFixedRows(1);
    QCOMPARE(table.FixedRows(), 1);
    table.SetFixedRows(500);
    QCOMPARE(table.FixedRows(), 99);
    table.SetFixedRows(-1);
    QCOMPARE(table.FixedRows(), 0);
}

void TestResultTable::rowCountNeverBelowOne()
{
    ResultTable table;
    table.SetRowCount(0);
    QCOMPARE(table.RowCount(), 1);
    table.SetRowCount(-5);
    QCOMPARE(table.RowCount(), 1);
    table.SetColCount(0);
    QCOMPARE(table.ColCount(), 1);
}

void TestResultTable::columnsKeepTheirCells()
{
    ResultTable table;
    table.SetRowCount(4);
    fillLabels(table);
    table.SetColCount(13);
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 12; ++col)
            QCOMPARE(table.Cells(col, row), label(col, row));
        QVERIFY(table.Cells(12, row).isEmpty());
    }
    table.SetColCount(5);
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 5; ++col)
            QCOMPARE(table.Cells(col, row), label(col, row));
    }
    table.SetColCount(13);
    QVERIFY(table.Cells(11, 1).isEmpty());
}

void TestResultTable::overwrittenCellsAreCompacted()
{
    // A table rewritten cell by cell over and over: every cell must keep its latest text, and
    // the old ones must not pile up.
    ResultTable table;
    table.SetColCount(13);
    table.SetRowCount(500);
    std::vector<QString> expected(std::size_t(13) * 500);
    std::size_t longest = 0;
    for (int round = 0; round < 40; ++round) {
        for (int row = 0; row < 500; ++row) {
            for (int col = 0; col < 13; ++col) {
                // Lengths vary so that texts are not overwritten in place; some are empty.
                const int repeat = (row * 7 + col * 3 + round) % 9;
                // Latin-1 and wider texts take one and two bytes a character.
                const QString text =
                    QString(label(col, row) + (col % 2 ? u'é' : u'ж')).repeated(repeat);
                table.SetCells(col, row, QStringView(text));
                expected[std::size_t(row) * 13 + col] = text;
                longest = std::max(longest, std::size_t(text.size()));
            }
        }
        std::size_t live = 0;
        for (const QString &text : expected)
            live += arenaSize(text);
        // Half of the arena at most is garbage, plus the chunk it is allowed to fill first.
        QVERIFY2(table.arenaBytes() <= 2 * live + ChunkBytes + 2 * longest,
                 qPrintable(QStringLiteral("round %1: %2 bytes held for %3 live")
                                .arg(round)
                                .arg(table.arenaBytes())
                                .arg(live)));
    }
    for (int row = 0; row < 500; ++row) {
        for (int col = 0; col < 13; ++col)
            QCOMPARE(table.Cells(col, row), expected[std::size_t(row) * 13 + col]);
    }

    // Dropped rows and columns are garbage too, and what stays is intact.
    table.SetRowCount(3);
    table.SetColCount(2);
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 2; ++col)
            QCOMPARE(table.Cells(col, row), expected[std::size_t(row) * 13 + col]);
    }
    QVERIFY(table.arenaBytes() < ChunkBytes);
    table.SetRowCount(5);
    QVERIFY(table.Cells(0, 4).isEmpty());
}

void TestResultTable::longTextsRunAcrossChunks()
{
    // Texts longer than a chunk of the arena, and texts that start in one chunk and end in the
    // next, read back whole; also after a compaction moved them.
    QString huge;
    for (int i = 0; i < 700'000; ++i)
        huge.append(QChar(u'a' + i % 26 + (i % 1000 == 0 ? 0x400 : 0)));
    ResultTable table;
    table.SetColCount(13);
    table.SetRowCount(40);
    for (int row = 0; row < 40; ++row) {
        for (int col = 0; col < 13; ++col)
            table.SetCells(col, row, QStringView(huge).mid(row * 13 + col, 1000 + row * 37));
    }
    table.SetCells(5, 5, huge);
    table.SetCells(6, 6, huge);
    QCOMPARE(table.Cells(5, 5), huge);
    QCOMPARE(table.Cells(6, 6), huge);
    std::size_t live = 0;
    for (int row = 0; row < 40; ++row) {
        for (int col = 0; col < 13; ++col) {
            if ((row == 5 && col == 5) || (row == 6 && col == 6))
                continue;
            QCOMPARE(table.Cells(col, row), huge.mid(row * 13 + col, 1000 + row * 37));
            live += arenaSize(QStringView(huge).mid(row * 13 + col, 1000 + row * 37));
        }
    }
    // Most of the arena becomes garbage: it is squeezed out, and the texts that are moved
    // must still read the same.
    table.SetCells(5, 5, QStringLiteral("short"));
    table.SetCells(6, 6, QStringLiteral("brief"));
    QCOMPARE(table.arenaBytes(), live + 10);
    QCOMPARE(table.Cells(5, 5), QStringLiteral("short"));
    QCOMPARE(table.Cells(6, 6), QStringLiteral("brief"));
    QCOMPARE(table.Cells(12, 39), huge.mid(39 * 13 + 12, 1000 + 39 * 37));
    QString reused = QStringLiteral("longer than the text");
    table.cellTextInto(12, 39, reused);
    QCOMPARE(reused, huge.mid(39 * 13 + 12, 1000 + 39 * 37));
    table.cellTextInto(0, 100, reused);
    QVERIFY(reused.isEmpty());
}

void TestResultTable::clearGridEmptiesTheArena()
{
    ResultTable table;
    table.SetColCount(13);
    table.SetRowCount(2000);
    fillLabels(table);
    QVERIFY(table.arenaBytes() > 0);
    table.ClearGrid();
    QCOMPARE(table.arenaBytes(), std::size_t(0));
    QVERIFY(table.Cells(0, 0).isEmpty());
    // And the next fill starts from the front.
    table.SetRowCount(3);
    fillLabels(table);
    QCOMPARE(table.Cells(12, 2), label(12, 2));
    QCOMPARE(table.arenaBytes(), std::size_t(3 * (10 * 3 + 3 * 4))); // "0:0" to "12:2"
}

void TestResultTable::latin1AndWiderTextsReadBackExactly()
{
    // The edges of Latin-1 and the characters just past it, alone and mixed, into blank cells
    // (the import's case) and over other texts; a text in one byte a character takes half the
    // room.
    const QString texts[] = {
        QStringLiteral("plain"),   QString(QChar(0x7f)) + QChar(0x80) + QChar(0xff),
        QStringLiteral("é\u0100"), QStringLiteral("ÿ"),
        QStringLiteral("Иванов"),  QString(QChar(0xD83D)) + QChar(0xDE00),
        QStringLiteral("a\nb"),    QString(QChar(0)),
    };
    const int count = int(std::size(texts));
    ResultTable table;
    table.SetColCount(count);
    table.SetRowCount(3);
    std::size_t bytes = 0;
    for (int col = 0; col < count; ++col) {
        table.SetCells(col, 0, texts[col]);
        table.SetCells(col, 1, texts[col]);
        table.SetCells(col, 1, texts[count - 1 - col]);
        bytes += 3 * arenaSize(texts[col]);
    }
    for (int col = 0; col < count; ++col) {
        QCOMPARE(table.Cells(col, 0), texts[col]);
        QCOMPARE(table.Cells(col, 1), texts[count - 1 - col]);
    }
    QCOMPARE(table.arenaBytes(), bytes);
}

void TestResultTable::narrowestFormOfEachText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("bytes");
    QTest::newRow("ASCII") << QStringLiteral("plain") << 5;
    QTest::newRow("Russian") << QStringLiteral("Иванов") << 6;
    QTest::newRow("the results' test name") << QStringLiteral("Тест №5: проверка") << 17;
    QTest::newRow("two lines") << QStringLiteral("строка 1\nвторая: test") << 21;
    QTest::newRow("Ё and ё") << QStringLiteral("Ёлкин ёж") << 8;
    QTest::newRow("Ukrainian and Belarusian") << QStringLiteral("ҐґЄєІіЇїЎў") << 10;
    QTest::newRow("punctuation of the code page") << QStringLiteral("€‰«»—–„“”…•™") << 12;
    QTest::newRow("Cyrillic beyond the code page") << QStringLiteral("Ӑ") << 2;
    QTest::newRow("Cyrillic with Latin-1 é") << QStringLiteral("é и") << 6;
    QTest::newRow("Cyrillic with a Greek letter") << QStringLiteral("Иα") << 4;
    QTest::newRow("beyond the BMP") << QStringLiteral("я😀") << 6;
    QTest::newRow("NUL and Cyrillic") << QString(QChar(0)) + QStringLiteral("я") << 2;
}

// Each text reads back as written, in the least room: a byte a character where Latin-1 or the
// Cyrillic code page holds all of it, two otherwise; into a blank cell (the import's case)
// and over another text.
void TestResultTable::narrowestFormOfEachText()
{
    QFETCH(QString, text);
    QFETCH(int, bytes);
    ResultTable table;
    table.SetCells(1, 0, text);
    QCOMPARE(table.Cells(1, 0), text);
    QCOMPARE(table.arenaBytes(), std::size_t(bytes));
    table.SetCells(1, 0, QStringLiteral("Иванов"));
    table.SetCells(1, 0, text);
    QCOMPARE(table.Cells(1, 0), text);
    QCOMPARE(table.arenaBytes(), std::size_t(6 + 2 * bytes));
}

void TestResultTable::outOfRangeIsHarmless()
{
    ResultTable table;
    table.SetCells(12, 0, QStringLiteral("x"));
    table.SetCells(0, 2, QStringLiteral("x"));
    table.SetCells(-1, 0, QStringLiteral("x"));
    QVERIFY(table.Cells(12, 0).isEmpty());
    QVERIFY(table.Cells(0, -1).isEmpty());
    QVERIFY(table.Cells(0, 2).isEmpty());
    QCOMPARE(table.arenaBytes(), std::size_t(0));
}

void TestResultTable::movesWithItsTexts()
{
    ResultTable table;
    table.SetColCount(13);
    table.SetRowCount(3000);
    fillLabels(table);
    table.SetRowCount(1);
    const std::size_t arena = table.arenaBytes();

    // The cells and their texts change hands; nothing is copied.
    ResultTable taken(std::move(table));
    QCOMPARE(taken.RowCount(), 1);
    QCOMPARE(taken.FixedRows(), 0);
    QCOMPARE(taken.Cells(12, 0), label(12, 0));
    QCOMPARE(taken.arenaBytes(), arena);
    // What is left has no rows and reads as empty, until it has rows again.
    QCOMPARE(table.RowCount(), 0);
    QVERIFY(table.Cells(0, 0).isEmpty());
    QCOMPARE(table.arenaBytes(), std::size_t(0));
    table.SetRowCount(2);
    table.SetCells(1, 1, QStringLiteral("again"));
    QCOMPARE(table.Cells(1, 1), QStringLiteral("again"));

    table = std::move(taken);
    QCOMPARE(table.Cells(3, 0), label(3, 0));
    QVERIFY(taken.Cells(1, 1).isEmpty());
}

void TestResultTable::cellsNotFilledReadEmpty()
{
    // A million rows, a few filled: the rest reads as empty, also rows that come back after
    // the table shrank.
    ResultTable table;
    table.SetColCount(13);
    table.SetRowCount(1'048'575);
    for (int row = 0; row < 3; ++row)
        table.SetCells(1, row, label(1, row));
    QCOMPARE(table.Cells(1, 2), label(1, 2));
    for (const auto [col, row] : {std::pair{0, 0}, {2, 2}, {1, 3}, {12, 1'048'574}})
        QVERIFY(table.Cells(col, row).isEmpty());
    table.SetRowCount(2);
    table.SetRowCount(3);
    QCOMPARE(table.Cells(1, 1), label(1, 1));
    QVERIFY(table.Cells(1, 2).isEmpty());
}

void TestResultTable::bulkFill()
{
    // The largest legacy sheet: 65,536 rows of 13 columns, the way the import fills it.
    constexpr int Rows = 65536;
    constexpr int Cols = 13;
    QList<QString> texts;
    for (int i = 0; i < 1000; ++i)
        texts.append(QStringLiteral("cell %1").arg(i));

    ResultTable table;
    // The first refresh also pays for the memory; later ones reuse it.
    for (const char *refresh : {"first", "second"}) {
        QElapsedTimer clock;
        clock.start();
        table.ClearGrid();
        table.SetColCount(Cols);
        table.SetRowCount(Rows);
        const qint64 shapeMs = clock.restart();
        for (int row = 0; row < Rows; ++row) {
            for (int col = 0; col < Cols; ++col)
                table.SetCells(col, row, texts[(row * Cols + col) % texts.size()]);
        }
        const qint64 fillMs = clock.restart();
        QCOMPARE(table.Cells(12, Rows - 1), texts[(Rows * Cols - 1) % texts.size()]);
        table.ClearGrid();
        const qint64 clearMs = clock.elapsed();
        qInfo("%s refresh of %d x %d cells: SetRowCount %lld ms, SetCells %lld ms, ClearGrid "
              "%lld ms",
              refresh, Rows, Cols, shapeMs, fillMs, clearMs);
    }
    QCOMPARE(table.RowCount(), 2);
}

QTEST_GUILESS_MAIN(TestResultTable)
#include "tst_resulttable.moc"
