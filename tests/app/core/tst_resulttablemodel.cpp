#include "app/core/ResultTableModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

namespace {

QString label(int col, int row)
{
    return QStringLiteral("%1:%2").arg(col).arg(row);
}

void fillLabels(ResultTableModel &model)
{
    for (int row = 0; row < model.rowCount(); ++row) {
        for (int col = 0; col < model.columnCount(); ++col)
            model.setCellText(col, row, label(col, row));
    }
}

} // namespace

// The table as Qt's views see it: items, flags, the change notices, and a whole table taken
// over at once.
class TestResultTableModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void itemsAndFlags();
    void changesAreTold();
    void fixedRowGivesWayBeforeTheRowsGo();
    void fillEmitsOnceAtTheEnd();
    void modelStaysConsistent();
    void takesATableOverWhole();
};

void TestResultTableModel::itemsAndFlags()
{
    ResultTableModel model;
    QCOMPARE(model.columnCount(), 12);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.rowCount(model.index(0, 0)), 0);
    // Fixed cells are not data: nothing can select or edit them; data cells can be selected.
    QCOMPARE(model.flags(model.index(0, 0)), Qt::ItemIsEnabled);
    QCOMPARE(model.flags(model.index(1, 0)), Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    QCOMPARE(model.flags(QModelIndex()), Qt::NoItemFlags);

    model.setCellText(3, 1, QStringLiteral("z"));
    QCOMPARE(model.data(model.index(1, 3)).toString(), QStringLiteral("z"));
    QCOMPARE(model.table().Cells(3, 1), QStringLiteral("z"));
    QCOMPARE(model.data(model.index(0, 0)), QVariant(QString()));
    QVERIFY(!model.data(model.index(1, 3), Qt::DecorationRole).isValid());
}

void TestResultTableModel::changesAreTold()
{
    ResultTableModel model;
    QSignalSpy changed(&model, &ResultTableModel::dataChanged);
    model.setCellText(1, 1, QStringLiteral("x"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex(), model.index(1, 1));
    QCOMPARE(changed.at(0).at(1).toModelIndex(), model.index(1, 1));

    // Out of range: nothing changes and nothing is told.
    changed.clear();
    model.setCellText(12, 0, QStringLiteral("x"));
    model.setCellText(0, 2, QStringLiteral("x"));
    model.setCellText(-1, 0, QStringLiteral("x"));
    QCOMPARE(changed.count(), 0);

    model.setColumnCount(13);
    model.setRowCount(100);
    fillLabels(model);
    changed.clear();
    QSignalSpy removed(&model, &ResultTableModel::rowsAboutToBeRemoved);
    model.clearCells();
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.columnCount(), 13);
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.at(0).at(1).toInt(), 2);
    QCOMPARE(removed.at(0).at(2).toInt(), 99);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(1).toModelIndex(), model.index(1, 12));
    QVERIFY(model.table().Cells(5, 1).isEmpty());

    // The same counts again change nothing.
    QSignalSpy inserted(&model, &ResultTableModel::rowsInserted);
    QSignalSpy columns(&model, &ResultTableModel::columnsInserted);
    model.setRowCount(2);
    model.setColumnCount(13);
    model.setRowCount(0); // never below 1
    QCOMPARE(model.rowCount(), 1);
    model.setRowCount(1);
    QCOMPARE(inserted.count(), 0);
    QCOMPARE(columns.count(), 0);
}

void TestResultTableModel::fixedRowGivesWayBeforeTheRowsGo()
{
    ResultTableModel model;
    QSignalSpy fixedRows(&model, &ResultTableModel::fixedRowsChanged);
    int fixedWhenRemoving = -1;
    connect(&model, &ResultTableModel::rowsAboutToBeRemoved, this,
            [&] { fixedWhenRemoving = model.table().FixedRows(); });
    model.setRowCount(5);
    QCOMPARE(fixedRows.count(), 0);

    model.setRowCount(1);
    QCOMPARE(fixedRows.count(), 1);
    QCOMPARE(fixedRows.at(0).at(0).toInt(), 0);
    QCOMPARE(fixedWhenRemoving, 0);
    QCOMPARE(model.flags(model.index(0, 0)), Qt::ItemIsEnabled | Qt::ItemIsSelectable);

    model.setRowCount(100);
    model.clearCells();
    model.setRowCount(100);
    QCOMPARE(model.table().FixedRows(), 0);
    QCOMPARE(fixedRows.count(), 1);
}

void TestResultTableModel::fillEmitsOnceAtTheEnd()
{
    ResultTableModel model;
    model.setColumnCount(13);
    model.setRowCount(20);
    QSignalSpy changed(&model, &ResultTableModel::dataChanged);

    model.beginFill();
    model.beginFill();
    fillLabels(model);
    model.clearCells();
    model.setRowCount(20);
    fillLabels(model);
    model.endFill();
    QCOMPARE(changed.count(), 0);
    model.endFill();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex(), model.index(0, 0));
    QCOMPARE(changed.at(0).at(1).toModelIndex(), model.index(19, 12));
    QCOMPARE(model.table().Cells(12, 19), label(12, 19));

    // A fill that sets nothing reports nothing; an unmatched endFill is ignored.
    changed.clear();
    model.beginFill();
    model.endFill();
    model.endFill();
    QCOMPARE(changed.count(), 0);
    model.setCellText(0, 0, QStringLiteral("y"));
    QCOMPARE(changed.count(), 1);
}

void TestResultTableModel::modelStaysConsistent()
{
    ResultTableModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setColumnCount(13);
    model.setRowCount(300);
    model.beginFill();
    fillLabels(model);
    model.endFill();
    model.setColumnCount(4);
    model.clearCells();
    model.setRowCount(1);
    model.setRowCount(7);
    model.setColumnCount(0);
    QCOMPARE(model.columnCount(), 1);
    model.setTable(ResultTable());
    model.setCellText(3, 1, QStringLiteral("z"));
}

void TestResultTableModel::takesATableOverWhole()
{
    ResultTable filled;
    filled.SetColCount(13);
    filled.SetRowCount(5000);
    for (int row = 0; row < filled.RowCount(); ++row) {
        for (int col = 0; col < filled.ColCount(); ++col)
            filled.SetCells(col, row, label(col, row));
    }
    // Garbage in the arena, which any copy of the table would leave behind.
    filled.SetCells(0, 0, QStringLiteral("overwritten"));
    const std::size_t arena = filled.arenaBytes();

    ResultTableModel model;
    QSignalSpy reset(&model, &ResultTableModel::modelReset);
    QSignalSpy fixedRows(&model, &ResultTableModel::fixedRowsChanged);
    model.setTable(std::move(filled));
    QCOMPARE(reset.count(), 1);
    QCOMPARE(fixedRows.count(), 0);
    QCOMPARE(model.rowCount(), 5000);
    QCOMPARE(model.columnCount(), 13);
    QCOMPARE(model.data(model.index(4999, 12)).toString(), label(12, 4999));
    // The arena came along as it was, garbage and all.
    QCOMPARE(model.table().arenaBytes(), arena);

    // Once the header has stopped being fixed, a table taken over does not fix it again.
    model.setRowCount(1);
    QCOMPARE(fixedRows.count(), 1);
    ResultTable next;
    next.SetRowCount(10);
    QCOMPARE(next.FixedRows(), 1);
    model.setTable(std::move(next));
    QCOMPARE(model.table().FixedRows(), 0);
    QCOMPARE(model.flags(model.index(0, 0)), Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    QCOMPARE(fixedRows.count(), 1);
}

QTEST_GUILESS_MAIN(TestResultTableModel)
#include "tst_resulttablemodel.moc"
