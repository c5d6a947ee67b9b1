// Where the reading of a big web page goes, one way per run so that each has its own peak
// memory: "gumbo" parses the whole page with gumbo alone (malloc, then its own freeing of the
// tree); "whole" reads the page's tables into a workbook in one parse through the arena;
// "pieces" reads them as the reader does, a piece of about a megabyte at a time.
//
// Usage: bench_page gumbo|whole|pieces PAGE.html [RUNS]. Prints the best and median wall and
// CPU times; the peak resident memory is the process's (bench_suite.py takes it from wait4).

#include "BenchSupport.h"
#include "sheet/html/PageReader.h"
#include "sheet/html/PageText.h"
#include "sheet/html/TableLayout.h"
#include "sheet/model/Workbook.h"
#include "util/ViewerError.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <gumbo.h>
#include <vector>

namespace {

void parseWithGumboAlone(std::string_view page)
{
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0;
    GumboOutput *output = gumbo_parse_with_options(&options, page.data(), page.size());
    gumbo_destroy_output(&options, output);
}

int readTables(std::string_view page, bool inInput, std::size_t pieceBytes)
{
    Workbook book;
    TableLayout layout(book, book.addWorksheet(QStringLiteral("Sheet1")));
    PageReader(page, inInput, layout, ReadControl(), pieceBytes).read();
    book.finish();
    return book.worksheet(1).rowCount();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_page gumbo|whole|pieces PAGE.html [RUNS]\n");
        return 2;
    }
    const char *const mode = argv[1];
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    const QByteArray bytes = readBenchFile(argv[2]);
    const PageText page(std::span<const std::uint8_t>(
        reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size())));
    std::vector<double> wall, cpu;
    int rows = 0;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = processCpuMilliseconds();
        try {
            if (std::strcmp(mode, "gumbo") == 0)
                parseWithGumboAlone(page.utf8());
            else
                rows =
                    readTables(page.utf8(), page.isInput(),
                               std::strcmp(mode, "whole") == 0 ? SIZE_MAX : std::size_t(1) << 20);
        } catch (const ViewerError &error) {
            // The arena's limits refuse a page too big for one parse.
            std::printf("%s: refused after %.1f ms: %s\n", mode,
                        processCpuMilliseconds() - cpuStart, qPrintable(error.message()));
            return 0;
        }
        cpu.push_back(processCpuMilliseconds() - cpuStart);
        wall.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("%s: %d rows; wall best %.1f ms, median %.1f ms; cpu best %.1f ms, median %.1f "
                "ms (%d runs)\n",
                mode, rows, wall.front(), wall[wall.size() / 2], cpu.front(), cpu[cpu.size() / 2],
                runs);
    return 0;
}
