#include "app/core/ResultTable.h"
#include "app/core/ToolkitColor.h"
#include "app/ui/ResultGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

namespace {

QColor colorOf(int toolkitColor)
{
    return QColor::fromRgb(RgbFromToolkitColor(toolkitColor));
}

QFont boldOf(QFont font)
{
    font.setBold(true);
    return font;
}

} // namespace

// The result grid through its real model and view on the offscreen platform.
class TestResultGrid : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void builtGrid();
    void paintingWidensToTheDrawnText();
    void onlyPaintedCellsWiden();
    void clearGridResetsWidths();
    void setRowScrollsTheLastRowIntoView();
    void fixedRowStaysOnTop();
    void backgroundColours();
    void linesOfATwoLineCell();
    void headerStopsBeingFixed();
    void noEditing();
    void clickMovesTheCurrentCell();
    void rangeSelection();
    void focusRectangleOnTheCurrentCell();
    void bulkFillWithTheViewShown();

private:
    QImage render();
    QRect cellRect(int col, int row) const; // in grid coordinates, grid lines excluded
    QRect fixedCellRect(int col) const;

    ResultGrid *m_grid = nullptr;
};

void TestResultGrid::init()
{
    m_grid = new ResultGrid;
    m_grid->resize(653, 389);
    m_grid->table().ApplyHeaderHeightRule();
    m_grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_grid));
}

void TestResultGrid::cleanup()
{
    delete m_grid;
    m_grid = nullptr;
}

QImage TestResultGrid::render()
{
    QImage image = m_grid->grab().toImage();
    // Width changes made while painting reach the view through the event loop.
    QCoreApplication::processEvents();
    return image;
}

QRect TestResultGrid::cellRect(int col, int row) const
{
    const QRect visual = m_grid->visualRect(m_grid->table().index(row, col));
    return visual.translated(m_grid->viewport()->pos());
}

QRect TestResultGrid::fixedCellRect(int col) const
{
    const QHeaderView *header = m_grid->horizontalHeader();
    const QRect section(header->sectionViewportPosition(col), 0, header->sectionSize(col),
                        header->height());
    return section.adjusted(0, 0, -1, -1).translated(header->pos());
}

void TestResultGrid::builtGrid()
{
    const ResultTable &table = m_grid->table();
    QCOMPARE(m_grid->model(), &table);
    QVERIFY(m_grid->horizontalHeader()->isVisible());
    QVERIFY(!m_grid->verticalHeader()->isVisible());
    QVERIFY(m_grid->isRowHidden(0));
    QCOMPARE(m_grid->horizontalHeader()->height(), 36 + 1);
    QCOMPARE(m_grid->rowHeight(1), 24 + 1);
    for (int col = 0; col < 12; ++col)
        QCOMPARE(m_grid->columnWidth(col), 64 + 1);
    QCOMPARE(cellRect(0, 1).size(), QSize(64, 24));
    QCOMPARE(fixedCellRect(3).size(), QSize(64, 36));
    QCOMPARE(m_grid->currentIndex(), table.index(1, 0));
    QCOMPARE(m_grid->selectionMode(), QAbstractItemView::ContiguousSelection);
    QCOMPARE(m_grid->selectionBehavior(), QAbstractItemView::SelectItems);
    QCOMPARE(m_grid->horizontalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
    QCOMPARE(m_grid->verticalHeader()->sectionResizeMode(1), QHeaderView::Fixed);
    QVERIFY(!m_grid->horizontalHeader()->sectionsMovable());
    QVERIFY(!m_grid->verticalHeader()->sectionsMovable());
    QVERIFY(m_grid->showGrid());
    QCOMPARE(QFontInfo(m_grid->font()).pixelSize(), 11);
}

void TestResultGrid::paintingWidensToTheDrawnText()
{
    ResultTable &table = m_grid->table();
    table.SetColCount(13);
    table.SetRowCount(3);
    const QString longText = QStringLiteral("Протокол испытаний номер 4711, партия 12");
    const QString headerFirst = QStringLiteral("Наименование");
    const QString headerSecond = QStringLiteral("изделия и его исполнения");
    table.SetCells(0, 0, headerFirst + u'\n' + headerSecond);
    table.SetCells(1, 1, longText);
    table.SetCells(2, 1, QStringLiteral("ab"));
    table.SetCells(3, 2, QStringLiteral("\n"));

    render();
    const QFontMetrics plain(m_grid->font());
    const QFontMetrics bold(boldOf(m_grid->font()));
    const int headerWidth =
        std::max(bold.horizontalAdvance(headerFirst), bold.horizontalAdvance(headerSecond)) + 10;
    QVERIFY(headerWidth > 64);
    QCOMPARE(table.ColWidths(0), headerWidth);
    QCOMPARE(table.ColWidths(1), plain.horizontalAdvance(longText) + 10);
    QCOMPARE(table.ColWidths(2), 64);
    QCOMPARE(table.ColWidths(3), 64);
    QCOMPARE(m_grid->columnWidth(0), headerWidth + 1);
    QCOMPARE(m_grid->columnWidth(1), table.ColWidths(1) + 1);

    // Drawing again in the wider cells changes nothing more.
    render();
    QCOMPARE(table.ColWidths(0), headerWidth);
    QCOMPARE(table.ColWidths(1), plain.horizontalAdvance(longText) + 10);
}

void TestResultGrid::onlyPaintedCellsWiden()
{
    ResultTable &table = m_grid->table();
    table.SetRowCount(1000);
    const QString wide(60, u'W');
    table.SetCells(3, 900, wide);
    render();
    QCOMPARE(table.ColWidths(3), 64);

    table.SetRow(900);
    render();
    QCOMPARE(table.ColWidths(3), QFontMetrics(m_grid->font()).horizontalAdvance(wide) + 10);
}

void TestResultGrid::clearGridResetsWidths()
{
    ResultTable &table = m_grid->table();
    table.SetCells(5, 1, QString(40, u'x'));
    table.SetCells(6, 0, QString(40, u'y'));
    render();
    QVERIFY(table.ColWidths(5) > 64);
    QVERIFY(m_grid->columnWidth(6) > 65);

    table.ClearGrid();
    QCoreApplication::processEvents();
    for (int col = 0; col < table.ColCount(); ++col) {
        QCOMPARE(table.ColWidths(col), 64);
        QCOMPARE(m_grid->columnWidth(col), 65);
    }
    // The empty cells that are drawn next do not widen anything.
    render();
    QCOMPARE(table.ColWidths(5), 64);
}

void TestResultGrid::setRowScrollsTheLastRowIntoView()
{
    ResultTable &table = m_grid->table();
    table.ClearGrid();
    table.SetColCount(13);
    table.SetRowCount(5000);
    table.SetCol(0);
    table.SetRow(table.RowCount() - 1);
    QCoreApplication::processEvents();

    const QModelIndex last = table.index(4999, 0);
    QCOMPARE(m_grid->currentIndex(), last);
    QVERIFY(m_grid->viewport()->rect().contains(m_grid->visualRect(last)));
    QCOMPARE(m_grid->verticalScrollBar()->value(), m_grid->verticalScrollBar()->maximum());
    QCOMPARE(m_grid->selectionModel()->selectedIndexes(), QModelIndexList{last});

    // Far to the right as well.
    table.SetCol(12);
    QCoreApplication::processEvents();
    QVERIFY(m_grid->viewport()->rect().contains(m_grid->visualRect(table.index(4999, 12))));
}

void TestResultGrid::fixedRowStaysOnTop()
{
    ResultTable &table = m_grid->table();
    table.SetRowCount(500);
    table.SetCells(0, 0, QStringLiteral("Header"));
    table.SetCells(0, 1, QStringLiteral("first"));
    const QImage top = render();

    table.SetRow(499);
    QCoreApplication::processEvents();
    QVERIFY(m_grid->verticalScrollBar()->value() > 0);
    const QImage scrolled = render();

    // Row 0 is drawn in the same place before and after the scroll, the first data row is not.
    const QRect header = fixedCellRect(0);
    QCOMPARE(header.top(), m_grid->horizontalHeader()->pos().y());
    QCOMPARE(scrolled.copy(header), top.copy(header));
    QCOMPARE(scrolled.pixelColor(fixedCellRect(1).center()), colorOf(ResultTable::FixedColor));
    QVERIFY(m_grid->visualRect(table.index(1, 0)).bottom() < 0);
}

void TestResultGrid::backgroundColours()
{
    ResultTable &table = m_grid->table();
    table.SetRowCount(4);
    table.SetCells(0, 0, QStringLiteral("A"));
    table.SetCells(0, 2, QStringLiteral("B"));
    table.SetCol(5); // current (and selected) cell away from the samples
    const QImage image = render();

    const QColor fixed = colorOf(ResultTable::FixedColor);
    const QColor data = colorOf(ResultTable::Color);
    // Empty header cell: the grid's fixed colour, with the raised edge light and dark.
    const QRect emptyHeader = fixedCellRect(2);
    QCOMPARE(image.pixelColor(emptyHeader.center()), fixed);
    QCOMPARE(image.pixel(emptyHeader.left() + 5, emptyHeader.top()),
             m_grid->palette().color(QPalette::Light).rgb());
    QCOMPARE(image.pixel(emptyHeader.left() + 5, emptyHeader.bottom()),
             m_grid->palette().color(QPalette::Dark).rgb());
    // A header cell with text: filled with the fixed colour by the drawing rule.
    QCOMPARE(image.pixelColor(fixedCellRect(0).topLeft() + QPoint(3, 3)), fixed);
    // Data cells, empty or not, and the grid beyond the last row.
    QCOMPARE(image.pixelColor(cellRect(1, 1).center()), data);
    QCOMPARE(image.pixelColor(cellRect(0, 2).topLeft() + QPoint(2, 2)), data);
    const QRect below = cellRect(1, 3).translated(0, 60);
    QCOMPARE(image.pixelColor(below.center()), data);
    // The selected empty cell shows the selection highlight.
    QCOMPARE(image.pixelColor(cellRect(5, 1).center() + QPoint(0, 3)),
             m_grid->palette().color(QPalette::Inactive, QPalette::Highlight));
}

void TestResultGrid::linesOfATwoLineCell()
{
    ResultTable &table = m_grid->table();
    table.SetRowCount(4);
    table.SetCells(1, 1, QStringLiteral("\nXX"));
    table.SetCells(1, 2, QStringLiteral("XX\n"));
    table.SetCol(4);
    const QImage image = render();

    // Rows of the cell where something other than the fill colour is drawn.
    const auto inkedRows = [&](const QRect &cell) {
        QList<int> rows;
        for (int y = cell.top(); y <= cell.bottom(); ++y) {
            for (int x = cell.left(); x <= cell.right(); ++x) {
                if (image.pixelColor(x, y) != colorOf(ResultTable::Color)) {
                    rows.append(y - cell.top());
                    break;
                }
            }
        }
        return rows;
    };
    const QList<int> second = inkedRows(cellRect(1, 1));
    const QList<int> first = inkedRows(cellRect(1, 2));
    QVERIFY(!second.isEmpty());
    QVERIFY(!first.isEmpty());
    // The second line starts at T + 16 (the window font's height setting -11), the first at
    // T + 3; a second line never draws outside its own cell.
    QVERIFY(second.first() >= 16);
    QVERIFY(first.first() >= 3);
    QVERIFY(first.last() < 16);
}

void TestResultGrid::headerStopsBeingFixed()
{
    ResultTable &table = m_grid->table();
    table.SetColCount(13);
    table.SetCells(0, 0, QStringLiteral("Header"));
    table.SetRowCount(1);
    QCoreApplication::processEvents();
    QVERIFY(!m_grid->horizontalHeader()->isVisible());
    QVERIFY(!m_grid->isRowHidden(0));
    QCOMPARE(m_grid->currentIndex(), table.index(0, 0));
    QCOMPARE(m_grid->rowHeight(0), 36 + 1);

    table.SetCol(4);
    const QImage image = render();
    // Row 0 is now an ordinary row on top: its empty cells take the data colour, its text is
    // still drawn on the header colour by the drawing rule.
    QCOMPARE(cellRect(0, 0).top(), m_grid->viewport()->pos().y());
    QCOMPARE(image.pixelColor(cellRect(2, 0).center()), colorOf(ResultTable::Color));
    QCOMPARE(image.pixelColor(cellRect(0, 0).topLeft() + QPoint(2, 2)),
             colorOf(ResultTable::FixedColor));

    table.SetRowCount(50);
    QCoreApplication::processEvents();
    QVERIFY(!m_grid->horizontalHeader()->isVisible());
    QVERIFY(!m_grid->isRowHidden(0));
}

void TestResultGrid::noEditing()
{
    ResultTable &table = m_grid->table();
    table.SetCells(2, 1, QStringLiteral("text"));
    const QModelIndex cell = table.index(1, 2);
    QVERIFY(!(table.flags(cell) & Qt::ItemIsEditable));
    QCOMPARE(m_grid->editTriggers(), QAbstractItemView::NoEditTriggers);

    const QPoint centre = m_grid->visualRect(cell).center();
    QTest::mouseDClick(m_grid->viewport(), Qt::LeftButton, {}, centre);
    QTest::keyClick(m_grid, Qt::Key_F2);
    QTest::keyClicks(m_grid, QStringLiteral("abc"));
    QVERIFY(m_grid->findChildren<QLineEdit *>().isEmpty());
    QVERIFY(!m_grid->indexWidget(cell));
    QCOMPARE(table.Cells(2, 1), QStringLiteral("text"));
}

void TestResultGrid::clickMovesTheCurrentCell()
{
    ResultTable &table = m_grid->table();
    table.SetRowCount(10);
    QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, {},
                      m_grid->visualRect(table.index(5, 2)).center());
    QCOMPARE(table.Col(), 2);
    QCOMPARE(table.Row(), 5);

    QTest::keyClick(m_grid, Qt::Key_Down);
    QCOMPARE(table.Row(), 6);
    // The arrow keys never reach the fixed row.
    for (int i = 0; i < 10; ++i)
        QTest::keyClick(m_grid, Qt::Key_Up);
    QCOMPARE(table.Row(), 1);

    // A fixed cell made current through the view goes back to the table's current cell.
    m_grid->setCurrentIndex(table.index(0, 3));
    QCoreApplication::processEvents();
    QCOMPARE(m_grid->currentIndex(), table.index(1, 3));
    QCOMPARE(table.Row(), 1);
    QCOMPARE(table.Col(), 3);
    table.SetCol(2);

    // Clicking the fixed row selects nothing and moves nothing.
    QTest::mouseClick(m_grid->horizontalHeader()->viewport(), Qt::LeftButton, {},
                      QPoint(m_grid->horizontalHeader()->sectionViewportPosition(7) + 5, 5));
    QCOMPARE(table.Col(), 2);
    QCOMPARE(table.Row(), 1);
    QCOMPARE(m_grid->selectionModel()->selectedIndexes().size(), 1);
}

void TestResultGrid::rangeSelection()
{
    ResultTable &table = m_grid->table();
    table.SetRowCount(10);
    QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, {},
                      m_grid->visualRect(table.index(2, 1)).center());
    QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      m_grid->visualRect(table.index(5, 3)).center());
    const QModelIndexList selected = m_grid->selectionModel()->selectedIndexes();
    QCOMPARE(selected.size(), 3 * 4);
    for (const QModelIndex &index : selected) {
        QVERIFY(index.column() >= 1 && index.column() <= 3);
        QVERIFY(index.row() >= 2 && index.row() <= 5);
    }
    QCOMPARE(table.Col(), 3);
    QCOMPARE(table.Row(), 5);

    QTest::keyClick(m_grid, Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(m_grid->selectionModel()->selectedIndexes().size(), 4 * 4);

    // Moving the current cell from the table collapses the range to that cell.
    table.SetRow(8);
    QCOMPARE(m_grid->selectionModel()->selectedIndexes(), QModelIndexList{table.index(8, 4)});
}

void TestResultGrid::focusRectangleOnTheCurrentCell()
{
    ResultTable &table = m_grid->table();
    table.SetRowCount(5);
    table.SetCells(2, 3, QStringLiteral("x"));
    table.SetCol(2);
    table.SetRow(3);
    m_grid->activateWindow();
    m_grid->setFocus();
    QVERIFY(QTest::qWaitForWindowActive(m_grid));
    QVERIFY(m_grid->hasFocus());

    const QImage image = render();
    const QRect cell = cellRect(2, 3);
    const QColor ink = m_grid->palette().color(QPalette::WindowText);
    int dots = 0;
    int gaps = 0;
    for (int x = cell.left(); x <= cell.right(); ++x) {
        if (image.pixelColor(x, cell.top()) == ink)
            ++dots;
        else
            ++gaps;
    }
    QVERIFY2(dots > 10 && gaps > 10, qPrintable(QStringLiteral("%1/%2").arg(dots).arg(gaps)));

    // Without the focus, no rectangle.
    m_grid->clearFocus();
    const QImage unfocused = render();
    for (int x = cell.left(); x <= cell.right(); ++x)
        QVERIFY(unfocused.pixelColor(x, cell.top()) != ink);
}

void TestResultGrid::bulkFillWithTheViewShown()
{
    constexpr int Rows = 65536;
    constexpr int Cols = 13;
    ResultTable &table = m_grid->table();
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
                table.SetCells(col, row, QString::number(row * Cols + col));
        }
        table.EndFill();
        table.SetCol(0);
        table.SetRow(table.RowCount() - 1);
        const qint64 fillMs = clock.restart();
        render();
        const qint64 paintMs = clock.restart();
        qInfo("%s refresh with the view, %d x %d cells: SetRowCount %lld ms, SetCells (a new "
              "string each) %lld ms, first paint %lld ms",
              refresh, Rows, Cols, shapeMs, fillMs, paintMs);
        QCOMPARE(m_grid->currentIndex(), table.index(Rows - 1, 0));
    }
    QElapsedTimer clock;
    clock.start();
    table.ClearGrid();
    QCoreApplication::processEvents();
    qInfo("ClearGrid of it: %lld ms", clock.elapsed());
    QCOMPARE(m_grid->currentIndex().row(), 1);
}

QTEST_MAIN(TestResultGrid)
#include "tst_resultgrid.moc"
