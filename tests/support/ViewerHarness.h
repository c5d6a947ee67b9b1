#pragma once

// The real main window, driven the way its timers drive it but on a clock the test owns, with
// notices and error boxes caught instead of shown; and results workbooks to watch.

#include "app/UnitOrvandel.h"
#include "app/core/ResultTable.h"
#include "app/ui/GradientPanel.h"
#include "app/ui/ResultGrid.h"
#include "app/ui/SpinEdit.h"
#include "tests/support/WholeFile.h"
#include "tests/support/XlsTestFiles.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <memory>

namespace viewertest {

// A workbook of `dataRows` rows below a header, 13 columns, every cell telling its version, row
// and column apart, so that a table shows which version it came from.
inline QByteArray resultsWorkbook(int version, int dataRows)
{
    using namespace xlstest;
    QByteArray cells;
    for (int column = 0; column < 13; ++column)
        cells += label8(0, column, QStringLiteral("v%1 head %2").arg(version).arg(column + 1));
    for (int row = 1; row <= dataRows; ++row) {
        for (int column = 0; column < 13; ++column)
            cells += number(row, column, version * 1'000'000 + row * 100 + column);
    }
    return xlsFile(simpleStream(cells));
}

// What the grid must show after importing resultsWorkbook(version, dataRows).
inline bool tableIsVersion(const ResultGrid &grid, int version, int dataRows)
{
    const ResultTable &table = grid.table();
    if (table.RowCount() != dataRows + 1 || table.ColCount() != 13)
        return false;
    if (table.Cells(0, 0) != QStringLiteral("v%1 head 1").arg(version))
        return false;
    for (int row : {1, dataRows}) {
        for (int column : {0, 2, 12}) {
            if (table.Cells(column, row) !=
                QString::number(version * 1'000'000 + row * 100 + column))
                return false;
        }
    }
    return grid.currentRow() == dataRows && grid.currentColumn() == 0;
}

using testfiles::readWhole;
using testfiles::writeWhole;

// TForm1 in `appDir` (ending in "/") watching `watched`, with more command-line parameters
// (the parent window) when given. Its timers are stopped: the test calls
// the handlers itself and moves the clock.
class Viewer
{
public:
    Viewer(const QString &appDir, const QString &watched, const QStringList &moreArguments = {})
    {
        FormEnvironment environment;
        environment.arguments =
            QStringList{appDir + QStringLiteral("Orvandel"), watched} + moreArguments;
        environment.appDir = appDir;
        environment.title = QStringLiteral("Orvandel");
        environment.tickCount = [this] {
            return clock;
        };
        environment.notice = [this](const QString &text) {
            notices << text;
        };
        environment.errorPresenter = [this](const QString &, const QString &text) {
            errors << text;
        };
        form = std::make_unique<TForm1>(std::move(environment));
        form->TimerScan->stop();
    }

    const ResultGrid &grid() const { return *form->GridResult; }
    const ResultTable &table() const { return form->GridResult->table(); }

    // A TimerScan tick one whole interval after the last scan started.
    void startScan()
    {
        clock += std::uint32_t(form->SpinUpdate->value()) * 1000u;
        form->TimerScanTimer();
    }
    // One TimerScanOpenFile tick, as the timer would give it while it runs, and the end of
    // the snapshot attempt and the import it starts.
    void retryTick()
    {
        if (form->TimerScanOpenFile->isActive())
            form->TimerScanOpenFileTimer();
        waitForImport();
    }
    // Runs the event loop until the snapshot attempt and the import under way, if any, have
    // ended and the table has been shown.
    void waitForImport()
    {
        QDeadlineTimer deadline(60'000);
        while ((form->scheduler().attempting() || form->scheduler().importing()) &&
               !deadline.hasExpired())
            QTest::qWait(1);
    }
    void scan()
    {
        startScan();
        retryTick();
    }

    std::uint32_t clock = 0x1000'0000;
    QStringList notices;
    QStringList errors;
    std::unique_ptr<TForm1> form;
};

// The private copies of the workbook left in `appDir`.
inline QStringList temporaryCopies(const QString &appDir)
{
    return QDir(appDir).entryList({QStringLiteral("tempfgr*")}, QDir::Files | QDir::System);
}

} // namespace viewertest
