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
#include <ctime>
#include <utility>
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

double threadCpuMs()
{
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Wall clock and this thread's CPU time since the last call: on a loaded machine the wall
// clock also counts the waits for a core.
struct Lap
{
    QElapsedTimer clock;
    double cpu = threadCpuMs();

    Lap() { clock.start(); }
    std::pair<double, double> next()
    {
        const double nowCpu = threadCpuMs();
        const std::pair<double, double> ms{double(clock.nsecsElapsed()) / 1e6, nowCpu - cpu};
        clock.restart();
        cpu = nowCpu;
        return ms;
    }
};

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

    // The first run takes the table over from the grid's own two rows, the later ones from a
    // table of the same size.
    std::vector<double> swapMs, swapCpu, freeMs, paintMs, paintCpu;
    for (int run = 0; run < runs; ++run) {
        ResultTable table = filledTable(dataRows);
        Lap lap;
        ResultTable shown = grid.showTable(std::move(table));
        const auto swap = lap.next();
        shown = ResultTable();
        const auto freed = lap.next();
        grid.repaint();
        const auto paint = lap.next();
        std::printf("run %d: take over %.1f ms (cpu %.1f), free the old table %.1f ms, "
                    "paint %.1f ms (cpu %.1f)\n",
                    run + 1, swap.first, swap.second, freed.first, paint.first, paint.second);
        swapMs.push_back(swap.first);
        swapCpu.push_back(swap.second);
        freeMs.push_back(freed.first);
        paintMs.push_back(paint.first);
        paintCpu.push_back(paint.second);
    }
    std::printf("table swap of %d rows x 13, medians of %d: take over %.1f ms (cpu %.1f), free "
                "the old table %.1f ms, paint %.1f ms (cpu %.1f)\n",
                dataRows + 1, runs, median(swapMs), median(swapCpu), median(freeMs),
                median(paintMs), median(paintCpu));
    return 0;
}
