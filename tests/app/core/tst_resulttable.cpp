#include "app/core/ResultTable.h"
#include "app/core/ToolkitColor.h"

#include <QAbstractItemModelTester>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

namespace {

// The table's arena holds 512 KiB a chunk.
constexpr std::size_t ChunkBytes = std::size_t(1) << 19;

// What a text takes in the arena: a byte a character for Latin-1, two for anything wider.
std::size_t ArenaSize(QStringView text)
{
    bool latin1 = true;
    for (const QChar c : text)
        latin1 = latin1 && c.unicode() < 0x100;
    return std::size_t(text.size()) * (latin1 ? 1 : 2);
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

// The result table model on its own: shape, ClearGrid, the fixed row, heights, current cell
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
    void heightsOfKeptAndNewRows();
    void columnsKeepTheirCells();
    void overwrittenCellsAreCompacted();
    void longTextsRunAcrossChunks();
    void clearGridEmptiesTheArena();
    void latin1AndWiderTextsReadBackExactly();
    void outOfRangeIsHarmless();
    void currentCellSignalsOnlyChanges();
    void currentCellStaysInsideTheTable();
    void fillEmitsOnceAtTheEnd();
    void modelStaysConsistent();
    void bulkFill();
};

void TestResultTable::builtState()
{
    const ResultTable table;
    QCOMPARE(table.ColCount(), 12);
    QCOMPARE(table.RowCount(), 2);
    QCOMPARE(table.FixedRows(), 1);
    QCOMPARE(table.columnCount(), 12);
    QCOMPARE(table.rowCount(), 2);
    for (int col = 0; col < 12; ++col) {
        QCOMPARE(table.ColWidths(col), 64);
        QVERIFY(table.Cells(col, 0).isEmpty());
        QVERIFY(table.Cells(col, 1).isEmpty());
    }
    QCOMPARE(table.RowHeights(0), 24);
    QCOMPARE(table.RowHeights(1), 24);
    QCOMPARE(table.Col(), 0);
    QCOMPARE(table.Row(), 1);
    // Fixed cells are not data: nothing can select or edit them; data cells can be selected.
    QCOMPARE(table.flags(table.index(0, 0)), Qt::ItemIsEnabled);
    QCOMPARE(table.flags(table.index(1, 0)), Qt::ItemIsEnabled | Qt::ItemIsSelectable);
}

void TestResultTable::colours()
{
    QCOMPARE(RgbFromToolkitColor(ResultTable::Color), 0xfff7f5f5u);
    QCOMPARE(RgbFromToolkitColor(ResultTable::FixedColor), 0xffe0e0e0u);
    QCOMPARE(RgbFromToolkitColor(255), 0xffff0000u);   // red
    QCOMPARE(RgbFromToolkitColor(32768), 0xff008000u); // green
    QCOMPARE(RgbFromToolkitColor(14725296), 0xffb0b0e0u);
}

void TestResultTable::clearGrid()
{
    ResultTable table;
    table.ApplyHeaderHeightRule();
    table.SetColCount(13);
    table.SetRowCount(100);
    table.SetRowHeights(1, 30);
    fillLabels(table);
    for (int col = 0; col < 13; ++col)
        table.SetColWidths(col, col == 4 ? 30 : 200 + col);

    QSignalSpy changed(&table, &ResultTable::dataChanged);
    table.ClearGrid();

    QCOMPARE(table.RowCount(), 2);
    QCOMPARE(table.ColCount(), 13);
    QCOMPARE(table.FixedRows(), 1);
    QCOMPARE(table.RowHeights(0), 36);
    QCOMPARE(table.RowHeights(1), 30);
    for (int col = 0; col < 13; ++col) {
        QVERIFY(table.Cells(col, 0).isEmpty());
        QVERIFY(table.Cells(col, 1).isEmpty());
        // Narrower columns come back to the default as well as wider ones.
        QCOMPARE(table.ColWidths(col), 64);
    }
    QVERIFY(!changed.isEmpty());

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
    QSignalSpy fixedRows(&table, &ResultTable::fixedRowsChanged);
    table.SetRowCount(5);
    QCOMPARE(table.FixedRows(), 1);
    QCOMPARE(fixedRows.count(), 0);

    table.SetRowCount(1);
    QCOMPARE(table.FixedRows(), 0);
    QCOMPARE(fixedRows.count(), 1);
    QCOMPARE(fixedRows.at(0).at(0).toInt(), 0);
    QCOMPARE(table.Row(), 0);
    QCOMPARE(table.flags(table.index(0, 0)), Qt::ItemIsEnabled | Qt::ItemIsSelectable);

    table.SetRowCount(100);
    table.ClearGrid();
    table.SetRowCount(100);
    QCOMPARE(table.FixedRows(), 0);
    QCOMPARE(fixedRows.count(), 1);
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

void TestResultTable::heightsOfKeptAndNewRows()
{
    ResultTable table;
    QSignalSpy heights(&table, &ResultTable::rowHeightChanged);
    table.ApplyHeaderHeightRule();
    QCOMPARE(table.RowHeights(0), 36);
    QCOMPARE(heights.count(), 1);

    table.SetRowCount(5);
    table.SetRowHeights(2, 30);
    table.SetRowCount(3);
    QCOMPARE(table.RowHeights(0), 36);
    QCOMPARE(table.RowHeights(2), 30);
    table.SetRowCount(10);
    QCOMPARE(table.RowHeights(2), 30);
    for (int row = 3; row < 10; ++row)
        QCOMPARE(table.RowHeights(row), 24);
    // The header stays enlarged when it stops being fixed.
    table.SetRowCount(1);
    QCOMPARE(table.RowHeights(0), 36);

    // The rule drops the fraction.
    ResultTable odd;
    odd.SetRowHeights(0, 25);
    odd.ApplyHeaderHeightRule();
    QCOMPARE(odd.RowHeights(0), 37);
}

void TestResultTable::columnsKeepTheirCells()
{
    ResultTable table;
    table.SetRowCount(4);
    fillLabels(table);
    table.SetColWidths(11, 90);
    table.SetColCount(13);
    QCOMPARE(table.ColWidths(11), 90);
    QCOMPARE(table.ColWidths(12), 64);
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
    QCOMPARE(table.ColWidths(11), 64);
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
            live += ArenaSize(text);
        // Half of the arena at most is garbage, plus the chunk it is allowed to fill first.
        QVERIFY2(table.ArenaBytes() <= 2 * live + ChunkBytes + 2 * longest,
                 qPrintable(QStringLiteral("round %1: %2 bytes held for %3 live")
                                .arg(round)
                                .arg(table.ArenaBytes())
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
    QVERIFY(table.ArenaBytes() < ChunkBytes);
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
            live += ArenaSize(QStringView(huge).mid(row * 13 + col, 1000 + row * 37));
        }
    }
    // Most of the arena becomes garbage: it is squeezed out, and the texts that are moved
    // must still read the same.
    table.SetCells(5, 5, QStringLiteral("short"));
    table.SetCells(6, 6, QStringLiteral("brief"));
    QCOMPARE(table.ArenaBytes(), live + 10);
    QCOMPARE(table.Cells(5, 5), QStringLiteral("short"));
    QCOMPARE(table.Cells(6, 6), QStringLiteral("brief"));
    QCOMPARE(table.Cells(12, 39), huge.mid(39 * 13 + 12, 1000 + 39 * 37));
    QCOMPARE(table.data(table.index(39, 12)).toString(), huge.mid(39 * 13 + 12, 1000 + 39 * 37));
}

void TestResultTable::clearGridEmptiesTheArena()
{
    ResultTable table;
    table.SetColCount(13);
    table.SetRowCount(2000);
    fillLabels(table);
    QVERIFY(table.ArenaBytes() > 0);
    table.ClearGrid();
    QCOMPARE(table.ArenaBytes(), std::size_t(0));
    QVERIFY(table.Cells(0, 0).isEmpty());
    // And the next fill starts from the front.
    table.SetRowCount(3);
    fillLabels(table);
    QCOMPARE(table.Cells(12, 2), label(12, 2));
    QCOMPARE(table.ArenaBytes(), std::size_t(3 * (10 * 3 + 3 * 4))); // "0:0" to "12:2"
}

void TestResultTable::latin1AndWiderTextsReadBackExactly()
{
    // The edges of Latin-1 and the characters just past it, alone and mixed, through the bulk
    // fill and through single writes; a text in one byte a character takes half the room.
    const QString texts[] = {
        QStringLiteral("plain"),   QString(QChar(0x7f)) + QChar(0x80) + QChar(0xff),
        QStringLiteral("é\u0100"), QStringLiteral("ÿ"),
        QStringLiteral("Иванов"),  QString(QChar(0xD83D)) + QChar(0xDE00),
        QStringLiteral("a\nb"),    QString(QChar(0)),
    };
    ResultTable table;
    table.SetColCount(int(std::size(texts)));
    table.SetRowCount(3);
    table.BeginFill();
    for (int col = 0; col < table.ColCount(); ++col)
        table.SetCells(col, 0, texts[col]);
    table.EndFill();
    for (int col = 0; col < table.ColCount(); ++col)
        table.SetCells(col, 1, texts[table.ColCount() - 1 - col]);
    std::size_t bytes = 0;
    for (int col = 0; col < table.ColCount(); ++col) {
        QCOMPARE(table.Cells(col, 0), texts[col]);
        QCOMPARE(table.Cells(col, 1), texts[table.ColCount() - 1 - col]);
        bytes += 2 * ArenaSize(texts[col]);
    }
    QCOMPARE(table.ArenaBytes(), bytes);
}

void TestResultTable::outOfRangeIsHarmless()
{
    ResultTable table;
    QSignalSpy changed(&table, &ResultTable::dataChanged);
    table.SetCells(12, 0, QStringLiteral("x"));
    table.SetCells(0, 2, QStringLiteral("x"));
    table.SetCells(-1, 0, QStringLiteral("x"));
    QCOMPARE(changed.count(), 0);
    QVERIFY(table.Cells(12, 0).isEmpty());
    QVERIFY(table.Cells(0, -1).isEmpty());
    QCOMPARE(table.ColWidths(12), 0);
    QCOMPARE(table.RowHeights(2), 0);
    table.SetColWidths(12, 100);
    table.SetRowHeights(-1, 100);
    QCOMPARE(table.ColWidths(11), 64);
}

void TestResultTable::currentCellSignalsOnlyChanges()
{
    ResultTable table;
    QSignalSpy current(&table, &ResultTable::currentCellChanged);
    table.SetCol(0);
    table.SetRow(1);
    QCOMPARE(current.count(), 0);

    table.SetCol(5);
    QCOMPARE(current.count(), 1);
    QCOMPARE(current.at(0), (QVariantList{5, 1}));

    // The import's order: ClearGrid, rows, then column 0 and the last row as two settings.
    table.ClearGrid();
    table.SetRowCount(100);
    current.clear();
    table.SetCol(0);
    table.SetRow(table.RowCount() - 1);
    QCOMPARE(current.count(), 2);
    QCOMPARE(current.at(1), (QVariantList{0, 99}));
    QCOMPARE(table.Row(), 99);

    // The same import again: the row is already the last one, nothing moves.
    current.clear();
    table.SetCol(0);
    table.SetRow(99);
    QCOMPARE(current.count(), 0);
}

void TestResultTable::currentCellStaysInsideTheTable()
{
    ResultTable table;
    table.SetRowCount(50);
    table.SetCol(11);
    table.SetRow(40);
    QSignalSpy current(&table, &ResultTable::currentCellChanged);

    table.SetRowCount(10);
    QCOMPARE(table.Row(), 9);
    table.SetColCount(3);
    QCOMPARE(table.Col(), 2);
    QCOMPARE(current.count(), 2);

    // The fixed row cannot become current.
    table.SetRow(0);
    QCOMPARE(table.Row(), 1);
    table.SetRow(1000);
    QCOMPARE(table.Row(), 9);
    table.SetCol(-4);
    QCOMPARE(table.Col(), 0);

    table.ClearGrid();
    QCOMPARE(table.Row(), 1);
    table.SetRowCount(1);
    QCOMPARE(table.Row(), 0);
}

void TestResultTable::fillEmitsOnceAtTheEnd()
{
    ResultTable table;
    table.SetColCount(13);
    table.SetRowCount(20);
    QSignalSpy changed(&table, &ResultTable::dataChanged);

    table.SetCells(1, 2, QStringLiteral("x"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex(), table.index(2, 1));

    changed.clear();
    table.BeginFill();
    table.BeginFill();
    fillLabels(table);
    table.EndFill();
    QCOMPARE(changed.count(), 0);
    table.EndFill();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex(), table.index(0, 0));
    QCOMPARE(changed.at(0).at(1).toModelIndex(), table.index(19, 12));
    QCOMPARE(table.Cells(12, 19), label(12, 19));

    // A fill that sets nothing reports nothing; an unmatched EndFill is ignored.
    changed.clear();
    table.BeginFill();
    table.EndFill();
    table.EndFill();
    QCOMPARE(changed.count(), 0);
    table.SetCells(0, 0, QStringLiteral("y"));
    QCOMPARE(changed.count(), 1);
}

void TestResultTable::modelStaysConsistent()
{
    ResultTable table;
    QAbstractItemModelTester tester(&table, QAbstractItemModelTester::FailureReportingMode::QtTest);
    table.SetColCount(13);
    table.SetRowCount(300);
    table.BeginFill();
    fillLabels(table);
    table.EndFill();
    table.SetColCount(4);
    table.ClearGrid();
    table.SetRowCount(1);
    table.SetRowCount(7);
    QCOMPARE(table.data(table.index(0, 0)), QVariant(QString()));
    table.SetCells(3, 6, QStringLiteral("z"));
    QCOMPARE(table.data(table.index(6, 3)).toString(), QStringLiteral("z"));
    QVERIFY(!table.data(table.index(6, 3), Qt::DecorationRole).isValid());
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
        table.BeginFill();
        for (int row = 0; row < Rows; ++row) {
            for (int col = 0; col < Cols; ++col)
                table.SetCells(col, row, texts[(row * Cols + col) % texts.size()]);
        }
        table.EndFill();
        table.SetCol(0);
        table.SetRow(table.RowCount() - 1);
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
