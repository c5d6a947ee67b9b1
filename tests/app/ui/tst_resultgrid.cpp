#include "app/core/ResultTable.h"
#include "app/core/ResultTableModel.h"
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
    return QColor::fromRgb(rgbFromToolkitColor(toolkitColor));
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
    void heightsOfKeptAndNewRows();
    void columnsKeepTheirWidths();
    void outOfRangeSizesAreHarmless();
    void currentCellMovesOnlyOnAChange();
    void currentCellStaysInsideTheTable();
    void paintingWidensToTheDrawnText();
    void onlyPaintedCellsWiden();
    void clearGridResetsWidths();
    void setRowScrollsTheLastRowIntoView();
    void wholeRowsAtTheEnd_data();
    void wholeRowsAtTheEnd();
    void fixedRowStaysOnTop();
    void backgroundColours();
    void lineBreaksInADataRow();
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
    m_grid->applyHeaderHeightRule();
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
    // Widths set while painting reach the columns at the end of the paint; the view lays
    // the wider columns out through the event loop.
    QCoreApplication::processEvents();
    return image;
}

QRect TestResultGrid::cellRect(int col, int row) const
{
    const QRect visual = m_grid->visualRect(m_grid->model()->index(row, col));
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
    const ResultGrid &grid = *m_grid;
    QCOMPARE(m_grid->model(), &grid.tableModel());
    QVERIFY(m_grid->horizontalHeader()->isVisible());
    QVERIFY(!m_grid->verticalHeader()->isVisible());
    QVERIFY(m_grid->isRowHidden(0));
    QCOMPARE(m_grid->horizontalHeader()->height(), 36 + 1);
    QCOMPARE(m_grid->rowHeight(1), 24 + 1);
    for (int col = 0; col < 12; ++col)
        QCOMPARE(m_grid->columnWidth(col), 64 + 1);
    QCOMPARE(cellRect(0, 1).size(), QSize(64, 24));
    QCOMPARE(fixedCellRect(3).size(), QSize(64, 36));
    QCOMPARE(m_grid->currentIndex(), grid.model()->index(1, 0));
    QCOMPARE(m_grid->selectionMode(), QAbstractItemView::ContiguousSelection);
    QCOMPARE(m_grid->selectionBehavior(), QAbstractItemView::SelectItems);
    QCOMPARE(m_grid->horizontalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
    QCOMPARE(m_grid->verticalHeader()->sectionResizeMode(1), QHeaderView::Fixed);
    QVERIFY(!m_grid->horizontalHeader()->sectionsMovable());
    QVERIFY(!m_grid->verticalHeader()->sectionsMovable());
    QVERIFY(m_grid->showGrid());
    QCOMPARE(QFontInfo(m_grid->font()).pixelSize(), 11);
    for (int col = 0; col < 12; ++col)
        QCOMPARE(grid.ColWidths(col), 64);
    QCOMPARE(grid.RowHeights(0), 36);
    QCOMPARE(grid.RowHeights(1), 24);
    QCOMPARE(grid.currentColumn(), 0);
    QCOMPARE(grid.currentRow(), 1);
}

void TestResultGrid::heightsOfKeptAndNewRows()
{
    ResultGrid &grid = *m_grid;
    grid.SetRowCount(5);
    grid.SetRowHeights(2, 30);
    QCOMPARE(m_grid->rowHeight(2), 30 + 1);
    grid.SetRowCount(3);
    QCOMPARE(grid.RowHeights(0), 36);
    QCOMPARE(grid.RowHeights(2), 30);
    grid.SetRowCount(10);
    QCOMPARE(grid.RowHeights(2), 30);
    QCOMPARE(m_grid->rowHeight(2), 30 + 1);
    for (int row = 3; row < 10; ++row) {
        QCOMPARE(grid.RowHeights(row), 24);
        QCOMPARE(m_grid->rowHeight(row), 24 + 1);
    }
    // The header stays enlarged when it stops being fixed.
    grid.SetRowCount(1);
    QCOMPARE(grid.RowHeights(0), 36);
    QCOMPARE(m_grid->rowHeight(0), 36 + 1);

    // The rule drops the fraction.
    ResultGrid odd;
    odd.SetRowHeights(0, 25);
    odd.applyHeaderHeightRule();
    QCOMPARE(odd.RowHeights(0), 37);
    QCOMPARE(odd.horizontalHeader()->height(), 37 + 1);
}

void TestResultGrid::columnsKeepTheirWidths()
{
    ResultGrid &grid = *m_grid;
    grid.SetColWidths(11, 90);
    QCOMPARE(m_grid->columnWidth(11), 90 + 1);
    grid.SetColCount(13);
    QCOMPARE(grid.ColWidths(11), 90);
    QCOMPARE(grid.ColWidths(12), 64);
    QCOMPARE(m_grid->columnWidth(12), 64 + 1);
    grid.SetColCount(5);
    QCOMPARE(grid.ColWidths(4), 64);
    QCOMPARE(grid.ColWidths(5), 0);
    grid.SetColCount(13);
    QCOMPARE(grid.ColWidths(11), 64);
    QCOMPARE(m_grid->columnWidth(11), 64 + 1);
}

void TestResultGrid::outOfRangeSizesAreHarmless()
{
    ResultGrid &grid = *m_grid;
    QCOMPARE(grid.ColWidths(12), 0);
    QCOMPARE(grid.ColWidths(-1), 0);
    QCOMPARE(grid.RowHeights(2), 0);
    grid.SetColWidths(12, 100);
    grid.SetRowHeights(-1, 100);
    QCOMPARE(grid.ColWidths(11), 64);
    QCOMPARE(grid.RowHeights(1), 24);
}

void TestResultGrid::currentCellMovesOnlyOnAChange()
{
    ResultGrid &grid = *m_grid;
    grid.SetColCount(13);
    grid.SetRowCount(100);
    // The import's order: column 0 and the last row as two settings.
    grid.setCurrentColumn(0);
    grid.setCurrentRow(grid.RowCount() - 1);
    QCoreApplication::processEvents();
    QCOMPARE(m_grid->currentIndex(), grid.model()->index(99, 0));
    QCOMPARE(m_grid->verticalScrollBar()->value(), m_grid->verticalScrollBar()->maximum());

    // The user scrolls away; the same current cell again leaves the view where it is.
    m_grid->scrollToTop();
    grid.setCurrentColumn(0);
    grid.setCurrentRow(99);
    QCoreApplication::processEvents();
    QCOMPARE(m_grid->verticalScrollBar()->value(), 0);

    // Another row is a change: the view follows.
    grid.setCurrentRow(98);
    QCoreApplication::processEvents();
    QCOMPARE(grid.currentRow(), 98);
    QCOMPARE(m_grid->currentIndex(), grid.model()->index(98, 0));
    QVERIFY(m_grid->viewport()->rect().contains(m_grid->visualRect(m_grid->currentIndex())));
}

void TestResultGrid::currentCellStaysInsideTheTable()
{
    ResultGrid &grid = *m_grid;
    grid.SetRowCount(50);
    grid.setCurrentColumn(11);
    grid.setCurrentRow(40);

    // It leaves rows and columns before they go.
    grid.SetRowCount(10);
    QCOMPARE(grid.currentRow(), 9);
    QCOMPARE(m_grid->currentIndex(), grid.model()->index(9, 11));
    grid.SetColCount(3);
    QCOMPARE(grid.currentColumn(), 2);
    QCOMPARE(m_grid->currentIndex(), grid.model()->index(9, 2));

    // The fixed row cannot become current.
    grid.setCurrentRow(0);
    QCOMPARE(grid.currentRow(), 1);
    grid.setCurrentRow(1000);
    QCOMPARE(grid.currentRow(), 9);
    grid.setCurrentColumn(-4);
    QCOMPARE(grid.currentColumn(), 0);
    QCOMPARE(m_grid->currentIndex(), grid.model()->index(9, 0));

    grid.ClearGrid();
    QCOMPARE(grid.currentRow(), 1);
    grid.SetRowCount(1);
    QCOMPARE(grid.currentRow(), 0);
    QCOMPARE(m_grid->currentIndex(), grid.model()->index(0, 0));
}

void TestResultGrid::paintingWidensToTheDrawnText()
{
    ResultGrid &grid = *m_grid;
    grid.SetColCount(13);
    grid.SetRowCount(3);
    const QString longText = QStringLiteral("Протокол испытаний номер 4711, партия 12");
    const QString headerFirst = QStringLiteral("Наименование");
    const QString headerSecond = QStringLiteral("изделия и его исполнения");
    grid.SetCells(0, 0, headerFirst + u'\n' + headerSecond);
    grid.SetCells(1, 1, longText);
    grid.SetCells(2, 1, QStringLiteral("ab"));
    grid.SetCells(3, 2, QStringLiteral("\n"));

    render();
    const QFontMetrics plain(m_grid->font());
    const QFontMetrics bold(boldOf(m_grid->font()));
    const int headerWidth =
        std::max(bold.horizontalAdvance(headerFirst), bold.horizontalAdvance(headerSecond)) + 10;
    QVERIFY(headerWidth > 64);
    QCOMPARE(grid.ColWidths(0), headerWidth);
    QCOMPARE(grid.ColWidths(1), plain.horizontalAdvance(longText) + 10);
    QCOMPARE(grid.ColWidths(2), 64);
    QCOMPARE(grid.ColWidths(3), 64);
    QCOMPARE(m_grid->columnWidth(0), headerWidth + 1);
    QCOMPARE(m_grid->columnWidth(1), grid.ColWidths(1) + 1);

    // Drawing again in the wider cells changes nothing more.
    render();
    QCOMPARE(grid.ColWidths(0), headerWidth);
    QCOMPARE(grid.ColWidths(1), plain.horizontalAdvance(longText) + 10);
}

void TestResultGrid::onlyPaintedCellsWiden()
{
    ResultGrid &grid = *m_grid;
    grid.SetRowCount(1000);
    const QString wide(60, u'W');
    grid.SetCells(3, 900, wide);
    render();
    QCOMPARE(grid.ColWidths(3), 64);

    grid.setCurrentRow(900);
    render();
    QCOMPARE(grid.ColWidths(3), QFontMetrics(m_grid->font()).horizontalAdvance(wide) + 10);
}

void TestResultGrid::clearGridResetsWidths()
{
    ResultGrid &grid = *m_grid;
    grid.SetColCount(13);
    grid.SetRowCount(100);
    grid.SetRowHeights(1, 30);
    grid.SetCells(5, 1, QString(40, u'x'));
    grid.SetCells(6, 0, QString(40, u'y'));
    render();
    QVERIFY(grid.ColWidths(5) > 64);
    QVERIFY(m_grid->columnWidth(6) > 65);
    grid.SetColWidths(4, 30);

    grid.ClearGrid();
    QCoreApplication::processEvents();
    QCOMPARE(grid.RowCount(), 2);
    QCOMPARE(grid.RowHeights(0), 36);
    QCOMPARE(grid.RowHeights(1), 30);
    // Narrower columns come back to the default as well as wider ones.
    for (int col = 0; col < grid.table().ColCount(); ++col) {
        QCOMPARE(grid.ColWidths(col), 64);
        QCOMPARE(m_grid->columnWidth(col), 65);
    }
    // The empty cells that are drawn next do not widen anything.
    render();
    QCOMPARE(grid.ColWidths(5), 64);
}

void TestResultGrid::setRowScrollsTheLastRowIntoView()
{
    ResultGrid &grid = *m_grid;
    grid.ClearGrid();
    grid.SetColCount(13);
    grid.SetRowCount(5000);
    grid.setCurrentColumn(0);
    grid.setCurrentRow(grid.RowCount() - 1);
    QCoreApplication::processEvents();

    const QModelIndex last = grid.model()->index(4999, 0);
    QCOMPARE(m_grid->currentIndex(), last);
    QVERIFY(m_grid->viewport()->rect().contains(m_grid->visualRect(last)));
    QCOMPARE(m_grid->verticalScrollBar()->value(), m_grid->verticalScrollBar()->maximum());
    QCOMPARE(m_grid->selectionModel()->selectedIndexes(), QModelIndexList{last});

    // Far to the right as well.
    grid.setCurrentColumn(12);
    QCoreApplication::processEvents();
    QVERIFY(m_grid->viewport()->rect().contains(m_grid->visualRect(grid.model()->index(4999, 12))));
}

void TestResultGrid::wholeRowsAtTheEnd_data()
{
    // Viewport heights that leave every remainder of a 25-pixel row, and the window's own.
    QTest::addColumn<int>("height");
    for (const int height : {389, 390, 400, 412, 377, 600})
        QTest::newRow(qPrintable(QString::number(height))) << height;
}

void TestResultGrid::wholeRowsAtTheEnd()
{
    // Scrolled to the last row, as every refresh leaves the grid: the top row starts right
    // under the fixed row, and the last row is whole too.
    QFETCH(int, height);
    ResultGrid &grid = *m_grid;
    grid.resize(653, height);
    grid.SetColCount(13);
    grid.SetRowCount(100);
    grid.setCurrentRow(99);
    QCoreApplication::processEvents();
    QCOMPARE(grid.verticalScrollBar()->value(), grid.verticalScrollBar()->maximum());
    QCOMPARE(grid.rowViewportPosition(grid.rowAt(0)), 0);
    const QRect last = grid.visualRect(grid.model()->index(99, 0));
    QVERIFY(last.top() >= 0 && last.bottom() < grid.viewport()->height());
}

void TestResultGrid::fixedRowStaysOnTop()
{
    ResultGrid &grid = *m_grid;
    grid.SetRowCount(500);
    grid.SetCells(0, 0, QStringLiteral("Header"));
    grid.SetCells(0, 1, QStringLiteral("first"));
    const QImage top = render();

    grid.setCurrentRow(499);
    QCoreApplication::processEvents();
    QVERIFY(m_grid->verticalScrollBar()->value() > 0);
    const QImage scrolled = render();

    // Row 0 is drawn in the same place before and after the scroll, the first data row is not.
    const QRect header = fixedCellRect(0);
    QCOMPARE(header.top(), m_grid->horizontalHeader()->pos().y());
    QCOMPARE(scrolled.copy(header), top.copy(header));
    QCOMPARE(scrolled.pixelColor(fixedCellRect(1).center()), colorOf(GridColors::FixedColor));
    QVERIFY(m_grid->visualRect(grid.model()->index(1, 0)).bottom() < 0);
}

void TestResultGrid::backgroundColours()
{
    ResultGrid &grid = *m_grid;
    grid.SetRowCount(4);
    grid.SetCells(0, 0, QStringLiteral("A"));
    grid.SetCells(0, 2, QStringLiteral("B"));
    grid.setCurrentColumn(5); // current (and selected) cell away from the samples
    const QImage image = render();

    const QColor fixed = colorOf(GridColors::FixedColor);
    const QColor data = colorOf(GridColors::Color);
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

void TestResultGrid::lineBreaksInADataRow()
{
    ResultGrid &grid = *m_grid;
    grid.SetRowCount(4);
    grid.SetCells(1, 1, QStringLiteral("\nXX"));
    grid.SetCells(1, 2, QStringLiteral("XX\n"));
    grid.SetCells(1, 3, QStringLiteral("XX"));
    grid.setCurrentColumn(4);
    const QImage image = render();

    // Rows of the cell where something other than the fill colour is drawn.
    const auto inkedRows = [&](const QRect &cell) {
        QList<int> rows;
        for (int y = cell.top(); y <= cell.bottom(); ++y) {
            for (int x = cell.left(); x <= cell.right(); ++x) {
                if (image.pixelColor(x, y) != colorOf(GridColors::Color)) {
                    rows.append(y - cell.top());
                    break;
                }
            }
        }
        return rows;
    };
    // A 24-pixel row has no room for a second line: the text is one line, centred like any
    // other, whichever side the break was on; the cell keeps its text.
    const QList<int> plain = inkedRows(cellRect(1, 3));
    QVERIFY(!plain.isEmpty());
    QCOMPARE(inkedRows(cellRect(1, 1)), plain);
    QCOMPARE(inkedRows(cellRect(1, 2)), plain);
    QVERIFY(plain.first() > 3 && plain.last() < 21);
    QCOMPARE(grid.table().Cells(1, 1), QStringLiteral("\nXX"));
}

void TestResultGrid::headerStopsBeingFixed()
{
    ResultGrid &grid = *m_grid;
    grid.SetColCount(13);
    grid.SetCells(0, 0, QStringLiteral("Header"));
    grid.SetRowCount(1);
    QCoreApplication::processEvents();
    QVERIFY(!m_grid->horizontalHeader()->isVisible());
    QVERIFY(!m_grid->isRowHidden(0));
    QCOMPARE(m_grid->currentIndex(), grid.model()->index(0, 0));
    QCOMPARE(m_grid->rowHeight(0), 36 + 1);

    grid.setCurrentColumn(4);
    const QImage image = render();
    // Row 0 is now an ordinary row on top: its empty cells take the data colour, its text is
    // still drawn on the header colour by the drawing rule.
    QCOMPARE(cellRect(0, 0).top(), m_grid->viewport()->pos().y());
    QCOMPARE(image.pixelColor(cellRect(2, 0).center()), colorOf(GridColors::Color));
    QCOMPARE(image.pixelColor(cellRect(0, 0).topLeft() + QPoint(2, 2)),
             colorOf(GridColors::FixedColor));

    grid.SetRowCount(50);
    QCoreApplication::processEvents();
    QVERIFY(!m_grid->horizontalHeader()->isVisible());
    QVERIFY(!m_grid->isRowHidden(0));
}

void TestResultGrid::noEditing()
{
    ResultGrid &grid = *m_grid;
    grid.SetCells(2, 1, QStringLiteral("text"));
    const QModelIndex cell = grid.model()->index(1, 2);
    QVERIFY(!(grid.model()->flags(cell) & Qt::ItemIsEditable));
    QCOMPARE(m_grid->editTriggers(), QAbstractItemView::NoEditTriggers);

    const QPoint centre = m_grid->visualRect(cell).center();
    QTest::mouseDClick(m_grid->viewport(), Qt::LeftButton, {}, centre);
    QTest::keyClick(m_grid, Qt::Key_F2);
    QTest::keyClicks(m_grid, QStringLiteral("abc"));
    QVERIFY(m_grid->findChildren<QLineEdit *>().isEmpty());
    QVERIFY(!m_grid->indexWidget(cell));
    QCOMPARE(grid.table().Cells(2, 1), QStringLiteral("text"));
}

void TestResultGrid::clickMovesTheCurrentCell()
{
    ResultGrid &grid = *m_grid;
    grid.SetRowCount(10);
    QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, {},
                      m_grid->visualRect(grid.model()->index(5, 2)).center());
    QCOMPARE(grid.currentColumn(), 2);
    QCOMPARE(grid.currentRow(), 5);

    QTest::keyClick(m_grid, Qt::Key_Down);
    QCOMPARE(grid.currentRow(), 6);
    // The arrow keys never reach the fixed row.
    for (int i = 0; i < 10; ++i)
        QTest::keyClick(m_grid, Qt::Key_Up);
    QCOMPARE(grid.currentRow(), 1);

    // A fixed cell made current through the view goes back to the grid's current cell.
    m_grid->setCurrentIndex(grid.model()->index(0, 3));
    QCoreApplication::processEvents();
    QCOMPARE(m_grid->currentIndex(), grid.model()->index(1, 3));
    QCOMPARE(grid.currentRow(), 1);
    QCOMPARE(grid.currentColumn(), 3);
    grid.setCurrentColumn(2);

    // Clicking the fixed row selects nothing and moves nothing.
    QTest::mouseClick(m_grid->horizontalHeader()->viewport(), Qt::LeftButton, {},
                      QPoint(m_grid->horizontalHeader()->sectionViewportPosition(7) + 5, 5));
    QCOMPARE(grid.currentColumn(), 2);
    QCOMPARE(grid.currentRow(), 1);
    QCOMPARE(m_grid->selectionModel()->selectedIndexes().size(), 1);
}

void TestResultGrid::rangeSelection()
{
    ResultGrid &grid = *m_grid;
    grid.SetRowCount(10);
    QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, {},
                      m_grid->visualRect(grid.model()->index(2, 1)).center());
    QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      m_grid->visualRect(grid.model()->index(5, 3)).center());
    const QModelIndexList selected = m_grid->selectionModel()->selectedIndexes();
    QCOMPARE(selected.size(), 3 * 4);
    for (const QModelIndex &index : selected) {
        QVERIFY(index.column() >= 1 && index.column() <= 3);
        QVERIFY(index.row() >= 2 && index.row() <= 5);
    }
    QCOMPARE(grid.currentColumn(), 3);
    QCOMPARE(grid.currentRow(), 5);

    QTest::keyClick(m_grid, Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(m_grid->selectionModel()->selectedIndexes().size(), 4 * 4);

    // Moving the current cell from the grid collapses the range to that cell.
    grid.setCurrentRow(8);
    QCOMPARE(m_grid->selectionModel()->selectedIndexes(),
             QModelIndexList{grid.model()->index(8, 4)});
}

void TestResultGrid::focusRectangleOnTheCurrentCell()
{
    ResultGrid &grid = *m_grid;
    grid.SetRowCount(5);
    grid.SetCells(2, 3, QStringLiteral("x"));
    grid.setCurrentColumn(2);
    grid.setCurrentRow(3);
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
    ResultGrid &grid = *m_grid;
    for (const char *refresh : {"first", "second"}) {
        QElapsedTimer clock;
        clock.start();
        grid.ClearGrid();
        grid.SetColCount(Cols);
        grid.SetRowCount(Rows);
        const qint64 shapeMs = clock.restart();
        grid.beginFill();
        for (int row = 0; row < Rows; ++row) {
            for (int col = 0; col < Cols; ++col)
                grid.SetCells(col, row, QString::number(row * Cols + col));
        }
        grid.endFill();
        grid.setCurrentColumn(0);
        grid.setCurrentRow(grid.RowCount() - 1);
        const qint64 fillMs = clock.restart();
        render();
        const qint64 paintMs = clock.restart();
        qInfo("%s refresh with the view, %d x %d cells: SetRowCount %lld ms, SetCells (a new "
              "string each) %lld ms, first paint %lld ms",
              refresh, Rows, Cols, shapeMs, fillMs, paintMs);
        QCOMPARE(m_grid->currentIndex(), grid.model()->index(Rows - 1, 0));
    }
    QElapsedTimer clock;
    clock.start();
    grid.ClearGrid();
    QCoreApplication::processEvents();
    qInfo("ClearGrid of it: %lld ms", clock.elapsed());
    QCOMPARE(m_grid->currentIndex().row(), 1);
}

QTEST_MAIN(TestResultGrid)
#include "tst_resultgrid.moc"
