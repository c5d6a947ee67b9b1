// Times what the window's thread does when a background import hands it a whole table: the
// grid takes the table over (the model's reset and the view's sections), the displaced table is
// freed, and the first paint of the new table. Each is a pause of the event loop, so each must
// stay well under 100 ms even for a million rows.
//
// Usage: bench_tableswap [ROWS [RUNS]] (default 1,048,575 data rows, 5 runs), on any Qt
// platform (QT_QPA_PLATFORM=offscreen works).

#include "app/core/ResultTable.h"
#include "app/ui/ResultGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// The results shape: numbers, names, a text with a line feed, dates, an often-empty column.
ResultTable filledTable(int dataRows)
{
    ResultTable table;
    table.SetColCount(13);
    table.SetRowCount(dataRows + 1);
    for (int col = 0; col < 13; ++col)
        table.SetCells(col, 0, QStringLiteral("Заголовок %1").arg(col + 1));
    QString text;
    for (int row = 1; row <= dataRows; ++row) {
        for (int col = 0; col < 13; ++col) {
            switch (col % 4) {
            case 0:
                text = QString::number(row * 13 + col);
                break;
            case 1:
                text = QStringLiteral("Иванов %1").arg(row % 977);
                break;
            case 2:
                text = QStringLiteral("line %1\nnext").arg(row);
                break;
            default:
                text = row % 3 == 0 ? QString() : QStringLiteral("12.03.2024 10:%1").arg(row % 60);
            }
            table.SetCells(col, row, text);
        }
    }
    return table;
}

double median(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

double msSince(QElapsedTimer &clock)
{
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    clock.restart();
    return ms;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    const int dataRows = argc > 1 ? std::max(1, atoi(argv[1])) : 1'048'575;
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 5;

    ResultGrid grid;
    grid.resize(900, 550);
    grid.applyHeaderHeightRule();
    grid.show();
    QCoreApplication::processEvents();

    std::vector<double> swapMs, freeMs, paintMs;
    for (int run = 0; run < runs; ++run) {
        ResultTable table = filledTable(dataRows);
        QElapsedTimer clock;
        clock.start();
        ResultTable shown = grid.showTable(std::move(table));
        swapMs.push_back(msSince(clock));
        shown = ResultTable();
        freeMs.push_back(msSince(clock));
        grid.repaint();
        paintMs.push_back(msSince(clock));
    }
    std::printf("table swap of %d rows x 13: take over %.1f ms, free the old table %.1f ms, "
                "first paint %.1f ms (medians of %d)\n",
                dataRows + 1, median(swapMs), median(freeMs), median(paintMs), runs);
    return 0;
}
