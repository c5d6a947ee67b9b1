#include "app/core/ResultImport.h"
#include "app/core/ResultTable.h"
#include "app/ui/ResultGrid.h"
#include "sheet/exceling.h"
#include "tests/support/ImportTestFiles.h"

#include <QApplication>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

using namespace importtest;

// What an import leaves on screen: the grid showing the table's last row.
class TestImportGrid : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void cleanupTestCase() { ExcelRelease(); }

    void longTableShowsItsLastRow();
    void shorterTableAfterALongerOne();

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
    m_grid->table().ApplyHeaderHeightRule();
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
    ImportResults(workbook(name), m_dir.path() + QStringLiteral("/tempfgr1.xls"), m_grid->table());
    QCoreApplication::processEvents();
}

bool TestImportGrid::lastRowShown(int rows) const
{
    const QModelIndex last = m_grid->table().index(rows - 1, 0);
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

QTEST_MAIN(TestImportGrid)
#include "tst_importgrid.moc"
