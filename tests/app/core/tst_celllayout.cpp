#include "app/core/CellLayout.h"
#include "app/core/ToolkitColor.h"

#include <QTest>

namespace {

// Fixed metrics: 6 pixels per character plain, 7 bold (so a test sees which one was used),
// 13-pixel lines, the window font's height setting.
TextMeasure fakeMeasure(int heightSetting = -11)
{
    TextMeasure measure;
    measure.regular = {[](QStringView text) { return int(text.size()) * 6; }, 13, heightSetting};
    measure.bold = {[](QStringView text) { return int(text.size()) * 7; }, 13, heightSetting};
    return measure;
}

// A 64 x 24 data cell at (100, 50), as a cell of a default column is drawn.
constexpr CellRect DataCell{100, 50, 164, 74};
// The enlarged header cell: 36 high.
constexpr CellRect HeaderCell{100, 0, 164, 36};
// A data cell as high as the header cell, which has room for a second line.
constexpr CellRect TallDataCell{100, 50, 164, 86};

// Row 0 is drawn in the header cell, row 1 in a default data cell, row 2 in a tall one.
CellRect cellOfRow(int row)
{
    return row == 0 ? HeaderCell : row == 1 ? DataCell : TallDataCell;
}

} // namespace

// The cell drawing layout checked against fixed font metrics.
class TestCellLayout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lines_data();
    void lines();
    void emptyTextIsNotDrawn();
    void fillAndStyleFollowTheRowIndex();
    void secondLineFollowsTheHeightSetting();
    void negativeOffsetIsHalvedTowardZero();
    void widening_data();
    void widening();
};

void TestCellLayout::lines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QList<int>>("xs");
    QTest::addColumn<QList<int>>("ys");

    // One line: centred both ways. 3 chars = 18 px: x = 100 + (64 - 18) / 2; y = 50 + 11 / 2.
    QTest::newRow("one line") << QStringLiteral("abc") << 1 << QStringList{QStringLiteral("abc")}
                              << QList<int>{123} << QList<int>{55};
    // In a row with room for them, a line feed alone gives two empty lines at their places.
    QTest::newRow("line feed alone")
        << QStringLiteral("\n") << 2 << QStringList{QString(), QString()} << QList<int>{132, 132}
        << QList<int>{53, 66};
    // Leading line feed: first line empty, the rest second line at T + 16, centred on itself.
    QTest::newRow("leading line feed")
        << QStringLiteral("\nabcd") << 2 << QStringList{QString(), QStringLiteral("abcd")}
        << QList<int>{132, 120} << QList<int>{53, 66};
    // Trailing line feed: the text at T + 3, not centred vertically; second line empty.
    QTest::newRow("trailing line feed")
        << QStringLiteral("abcd\n") << 2 << QStringList{QStringLiteral("abcd"), QString()}
        << QList<int>{120, 132} << QList<int>{53, 66};
    // Only the first line feed splits; the second line keeps the rest, line feed and all.
    QTest::newRow("a LF b LF c") << QStringLiteral("a\nb\nc") << 2
                                 << QStringList{QStringLiteral("a"), QStringLiteral("b\nc")}
                                 << QList<int>{129, 123} << QList<int>{53, 66};
    // A carriage return is an ordinary character and stays at the end of the first line.
    QTest::newRow("CR LF") << QStringLiteral("a\r\nb") << 2
                           << QStringList{QStringLiteral("a\r"), QStringLiteral("b")}
                           << QList<int>{126, 129} << QList<int>{53, 66};
    QTest::newRow("CR alone") << QStringLiteral("a\rb") << 2 << QStringList{QStringLiteral("a\rb")}
                              << QList<int>{123} << QList<int>{61};
    // A 24-pixel data row has no room for a second line: one line, centred both ways, each
    // break a space.
    QTest::newRow("low row: one break")
        << QStringLiteral("ab\ncd") << 1 << QStringList{QStringLiteral("ab cd")} << QList<int>{117}
        << QList<int>{55};
    QTest::newRow("low row: every break")
        << QStringLiteral("a\nb\r\nc\rd") << 1 << QStringList{QStringLiteral("a b c d")}
        << QList<int>{111} << QList<int>{55};
    QTest::newRow("low row: line feed alone")
        << QStringLiteral("\n") << 1 << QStringList{QStringLiteral(" ")} << QList<int>{129}
        << QList<int>{55};
    // Header: bold (7 px a char) in a 36-pixel row; one line starts at T + 11.
    QTest::newRow("header one line")
        << QStringLiteral("No") << 0 << QStringList{QStringLiteral("No")} << QList<int>{125}
        << QList<int>{11};
    // A two-line header: tops at T + 3 and T + 16, both 13-pixel lines inside 36 pixels.
    QTest::newRow("header two lines") << QStringLiteral("Test\nname") << 0
                                      << QStringList{QStringLiteral("Test"), QStringLiteral("name")}
                                      << QList<int>{118, 118} << QList<int>{3, 16};
}

void TestCellLayout::lines()
{
    QFETCH(QString, text);
    QFETCH(int, row);
    QFETCH(QStringList, texts);
    QFETCH(QList<int>, xs);
    QFETCH(QList<int>, ys);

    const CellLayout layout = layOutCell(text, cellOfRow(row), row, 64, fakeMeasure());
    QVERIFY(layout.drawn);
    QCOMPARE(layout.lineCount, int(texts.size()));
    for (int i = 0; i < layout.lineCount; ++i) {
        QCOMPARE(layout.lines[i].text, texts[i]);
        QCOMPARE(layout.lines[i].x, xs[i]);
        QCOMPARE(layout.lines[i].y, ys[i]);
    }
}

void TestCellLayout::emptyTextIsNotDrawn()
{
    for (const int row : {0, 1}) {
        const CellLayout layout = layOutCell(QString(), DataCell, row, 64, fakeMeasure());
        QVERIFY(!layout.drawn);
        QCOMPARE(layout.lineCount, 0);
        QCOMPARE(layout.columnWidth, 64);
    }
}

void TestCellLayout::fillAndStyleFollowTheRowIndex()
{
    const CellLayout header = layOutCell(QStringLiteral("x"), HeaderCell, 0, 64, fakeMeasure());
    QVERIFY(header.bold);
    QCOMPARE(header.fillColor, GridColors::FixedColor);

    // Any other row is plain on the data colour, whatever its height.
    for (const int row : {1, 2, 65535}) {
        const CellLayout data = layOutCell(QStringLiteral("x"), HeaderCell, row, 64, fakeMeasure());
        QVERIFY(!data.bold);
        QCOMPARE(data.fillColor, GridColors::Color);
    }
}

void TestCellLayout::secondLineFollowsTheHeightSetting()
{
    const CellLayout layout =
        layOutCell(QStringLiteral("a\nb"), TallDataCell, 1, 64, fakeMeasure(-15));
    QCOMPARE(layout.lines[0].y, 53);
    QCOMPARE(layout.lines[1].y, 50 + 15 + 5);
}

void TestCellLayout::negativeOffsetIsHalvedTowardZero()
{
    // A cell 59 wide and a text 66 wide: the difference -7 halves to -3, not -4.
    const CellRect narrow{100, 50, 159, 86};
    const QString wide(11, u'x');
    const CellLayout one = layOutCell(wide, narrow, 1, 59, fakeMeasure());
    QCOMPARE(one.lines[0].x, 97);
    const CellLayout two = layOutCell(QStringLiteral("x\n") + wide, narrow, 1, 59, fakeMeasure());
    QCOMPARE(two.lines[0].x, 126);
    QCOMPARE(two.lines[1].x, 97);
    // The layout uses the rectangle it was given, not the widened column.
    QCOMPARE(one.columnWidth, 76);
}

void TestCellLayout::widening_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");

    QTest::newRow("fits") << QStringLiteral("abc") << 1 << 64 << 64;
    // 9 chars = 54 px: 54 + 10 = 64 is not more than 64.
    QTest::newRow("exactly fits") << QString(9, u'x') << 1 << 64 << 64;
    QTest::newRow("one pixel more") << QString(10, u'x') << 1 << 64 << 70;
    QTest::newRow("no upper limit") << QString(5000, u'x') << 1 << 64 << 30010;
    QTest::newRow("never narrows") << QStringLiteral("abc") << 1 << 300 << 300;
    QTest::newRow("line feed alone") << QStringLiteral("\n") << 2 << 64 << 64;
    // In a low row the one line, breaks as spaces, is measured: 21 chars = 126 px.
    QTest::newRow("low row: the one line")
        << QStringLiteral("\n") + QString(20, u'x') << 1 << 64 << 136;
    QTest::newRow("bold header is wider") << QString(10, u'x') << 0 << 64 << 80;
    QTest::newRow("second line only") << QStringLiteral("\n") + QString(20, u'x') << 2 << 64 << 130;
    QTest::newRow("first line wider")
        << QString(20, u'x') + QStringLiteral("\n") + QString(15, u'x') << 2 << 64 << 130;
    // The second line widens again against the width the first line left.
    QTest::newRow("second line wider")
        << QString(15, u'x') + QStringLiteral("\n") + QString(20, u'x') << 2 << 64 << 130;
    // Further line feeds count in the second line's width.
    QTest::newRow("rest measured as one line")
        << QStringLiteral("a\n") + QString(10, u'x') + QStringLiteral("\n") + QString(10, u'x') << 2
        << 64 << 136;
    QTest::newRow("CR counts in the first line")
        << QString(9, u'x') + QStringLiteral("\r\nb") << 2 << 64 << 70;
}

void TestCellLayout::widening()
{
    QFETCH(QString, text);
    QFETCH(int, row);
    QFETCH(int, before);
    QFETCH(int, after);
    const CellLayout layout = layOutCell(text, cellOfRow(row), row, before, fakeMeasure());
    QCOMPARE(layout.columnWidth, after);
}

QTEST_APPLESS_MAIN(TestCellLayout)
#include "tst_celllayout.moc"
