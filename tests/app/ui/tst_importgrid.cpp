#include "app/core/ResultImport.h"
#include "app/core/ResultTable.h"
#include "app/ui/ResultGrid.h"
#include "sheet/exceling.h"
#include "sheet/model/WorkbookError.h"
#include "tests/support/ImportTestFiles.h"

#include <QApplication>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

using namespace importtest;

// What an import leaves on screen: the grid showing the table's last row, its current cell in
// column 0 of that row.
class TestImportGrid : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void cleanupTestCase() { excelRelease(); }

    void longTableShowsItsLastRow();
    void shorterTableAfterALongerOne();
    void currentCellComesBackToTheLastRow();
    void failedImportLeavesTheGridAlone();
    void tableFilledElsewhereShowsLikeAnImport();

private:
    bool lastRowShown(int rows) const;
    void import(const QString &name);

    QTemporaryDir m_dir;
    ResultGrid *m_grid = nullptr;
};

void TestImportGrid::init()
{
    m_grid = new ResultGrid;
    m_grid->resize(653, 389);
    m_grid->applyHeaderHeightRule();
    m_grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_grid));
}

void TestImportGrid::cleanup()
{
    delete m_grid;
    m_grid = nullptr;
}

void TestImportGrid::import(const QString &name)
{
    importResults(workbook(name), m_dir.path() + QStringLiteral("/tempfgr1.xls"), *m_grid);
    QCoreApplication::processEvents();
}

bool TestImportGrid::lastRowShown(int rows) const
{
    const QModelIndex last = m_grid->model()->index(rows - 1, 0);
    return m_grid->currentIndex() == last &&
           m_grid->viewport()->rect().contains(m_grid->visualRect(last));
}

void TestImportGrid::longTableShowsItsLastRow()
{
    import(QStringLiteral("long"));
    QVERIFY(lastRowShown(201));
    QCOMPARE(m_grid->verticalScrollBar()->value(), m_grid->verticalScrollBar()->maximum());
    QVERIFY(m_grid->verticalScrollBar()->maximum() > 0);

    // The user scrolls to the top; the next import brings the last row back.
    m_grid->scrollToTop();
    QVERIFY(!lastRowShown(201));
    import(QStringLiteral("long"));
    QVERIFY(lastRowShown(201));
}

void TestImportGrid::shorterTableAfterALongerOne()
{
    import(QStringLiteral("long"));
    import(QStringLiteral("short"));
    QVERIFY(lastRowShown(5));
    QCOMPARE(m_grid->verticalScrollBar()->maximum(), 0);

    import(QStringLiteral("header-only"));
    QCOMPARE(m_grid->table().FixedRows(), 0);
    QVERIFY(lastRowShown(1));
}

void TestImportGrid::currentCellComesBackToTheLastRow()
{
    import(QStringLiteral("long"));
    const Table first = contents(m_grid->table());
    QCOMPARE(m_grid->currentColumn(), 0);
    QCOMPARE(m_grid->currentRow(), 200);

    // The user moved away meanwhile.
    QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, {},
                      m_grid->visualRect(m_grid->model()->index(m_grid->rowAt(5), 5)).center());
    QCOMPARE(m_grid->currentColumn(), 5);
    QVERIFY(m_grid->currentRow() != 200);
    import(QStringLiteral("long"));
    QCOMPARE(contents(m_grid->table()), first);
    QCOMPARE(m_grid->currentColumn(), 0);
    QCOMPARE(m_grid->currentRow(), 200);
    QVERIFY(lastRowShown(201));

    // And once more without moving: the same table, the same current cell.
    import(QStringLiteral("long"));
    QCOMPARE(contents(m_grid->table()), first);
    QVERIFY(lastRowShown(201));

    // Row 0 that has stopped being fixed can be current; it stays unfixed after longer tables.
    import(QStringLiteral("header-only"));
    QCOMPARE(m_grid->currentColumn(), 0);
    QCOMPARE(m_grid->currentRow(), 0);
    import(QStringLiteral("long"));
    QCOMPARE(m_grid->table().FixedRows(), 0);
    QCOMPARE(m_grid->currentRow(), 200);
    QVERIFY(!m_grid->isRowHidden(0));
}

void TestImportGrid::failedImportLeavesTheGridAlone()
{
    import(QStringLiteral("long"));
    m_grid->setCurrentColumn(4);
    m_grid->setCurrentRow(17);
    const Table before = contents(m_grid->table());
    const int scrolled = m_grid->verticalScrollBar()->value();

    // Binary bytes: any text would read as a delimited table.
    QVERIFY_THROWS_EXCEPTION(
        WorkbookError, importResults(QByteArray::fromHex("00ff00fe4e616d65"),
                                     m_dir.path() + QStringLiteral("/tempfgr1.xls"), *m_grid));
    QCoreApplication::processEvents();
    QCOMPARE(contents(m_grid->table()), before);
    QCOMPARE(m_grid->currentColumn(), 4);
    QCOMPARE(m_grid->currentRow(), 17);
    QCOMPARE(m_grid->currentIndex(), m_grid->model()->index(17, 4));
    QCOMPARE(m_grid->verticalScrollBar()->value(), scrolled);
}

// A background import fills a table of its own and the grid takes it over whole: the grid must
// end up as an import into it leaves it, widths, current cell, scrolling and fixed row alike.
void TestImportGrid::tableFilledElsewhereShowsLikeAnImport()
{
    const auto filledElsewhere = [this](const QString &name) {
        ResultTable table;
        importResults(workbook(name), m_dir.path() + QStringLiteral("/tempfgr2.xls"), table);
        const ResultTable shown = m_grid->showTable(std::move(table));
        QTest::qWait(50); // the paints that widen the columns, and those that follow them
        return shown.RowCount();
    };
    // The user widened a column and scrolled away before the refresh.
    const auto userMoves = [this] {
        m_grid->SetColWidths(3, 300);
        m_grid->scrollToTop();
        m_grid->setCurrentRow(7);
    };
    const auto widths = [this] {
        std::vector<int> all;
        for (int col = 0; col < 13; ++col)
            all.push_back(m_grid->ColWidths(col));
        return all;
    };
    import(QStringLiteral("long"));
    userMoves();
    import(QStringLiteral("long"));
    QTest::qWait(50);
    const std::vector<int> imported = widths();
    const Table cells = contents(m_grid->table());

    userMoves();
    QCOMPARE(filledElsewhere(QStringLiteral("long")), 201); // the table shown before comes back
    QCOMPARE(contents(m_grid->table()), cells);
    QVERIFY(lastRowShown(201));
    QCOMPARE(m_grid->currentColumn(), 0);
    QCOMPARE(widths(), imported);

    filledElsewhere(QStringLiteral("short"));
    QVERIFY(lastRowShown(5));
    filledElsewhere(QStringLiteral("header-only"));
    QCOMPARE(m_grid->table().FixedRows(), 0);
    QVERIFY(lastRowShown(1));
    filledElsewhere(QStringLiteral("long"));
    QCOMPARE(m_grid->table().FixedRows(), 0);
    QVERIFY(!m_grid->isRowHidden(0));
    QVERIFY(lastRowShown(201));
}

QTEST_MAIN(TestImportGrid)
#include "tst_importgrid.moc"
