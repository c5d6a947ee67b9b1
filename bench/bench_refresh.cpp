// Times a whole refresh of the viewer on a big workbook (a header and 65,535 data rows, 13
// columns): the exclusive snapshot into the snapshot buffer, the temporary copy, the parse and
// the fill of the result table, as the scan runs it (importSnapshot), best and median of N runs.
// The parts are then timed one by one with the same calls the import makes, to show where the
// time goes.
//
// Usage: bench_refresh [WORKBOOK.xls] [RUNS]. Without a workbook, one is made in the current
// directory with python3-xlwt (scripts/make_big_workbook.py).

#include "app/core/ResultImport.h"
#include "app/core/ResultTable.h"
#include "app/core/SnapshotBuffer.h"
#include "platform/Clock.h"
#include "platform/FileSnapshot.h"
#include "sheet/exceling.h"
#include "util/ViewerError.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace {

double best(const std::vector<double> &ms)
{
    return ms.empty() ? 0 : *std::min_element(ms.begin(), ms.end());
}

double median(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return ms.empty() ? 0 : ms[ms.size() / 2];
}

double threadCpuMs()
{
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(nanosecondsOf(t)) / 1e6;
}

// Wall-clock and this thread's CPU time: on a shared machine the CPU time shows the work done
// while the wall clock also counts the waits for a core.
struct Figures
{
    std::vector<double> ms;
    std::vector<double> cpuMs;
};

Figures timeRuns(int runs, const std::function<void()> &job)
{
    Figures figures;
    for (int i = 0; i < runs; ++i) {
        const double cpu = threadCpuMs();
        QElapsedTimer timer;
        timer.start();
        job();
        figures.ms.push_back(double(timer.nsecsElapsed()) / 1e6);
        figures.cpuMs.push_back(threadCpuMs() - cpu);
    }
    return figures;
}

// For jobs that need set-up first: the job times itself and returns milliseconds.
Figures timeInside(int runs, const std::function<double()> &job)
{
    Figures figures;
    for (int i = 0; i < runs; ++i)
        figures.ms.push_back(job());
    return figures;
}

void print(const char *what, const Figures &figures)
{
    std::printf("%-34s best %7.2f ms  median %7.2f ms", what, best(figures.ms), median(figures.ms));
    if (!figures.cpuMs.empty())
        std::printf("   cpu best %7.2f ms  median %7.2f ms", best(figures.cpuMs),
                    median(figures.cpuMs));
    std::printf("\n");
}

// What the process holds between refreshes, as the viewer would between two scans.
double residentMib()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    }
    return 0;
}

QString makeWorkbook()
{
    const QString path = QDir::current().filePath(QStringLiteral("bench_refresh.xls"));
    if (QFileInfo::exists(path))
        return path;
    const QString script = QStringLiteral(ORVANDEL_SOURCE_DIR "/scripts/make_big_workbook.py");
    std::printf("making %s with %s\n", qPrintable(path), qPrintable(script));
    if (QProcess::execute(QStringLiteral("/usr/bin/python3"), {script, path}) != 0)
        return {};
    return path;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString workbook = argc > 1 ? QString::fromLocal8Bit(argv[1]) : makeWorkbook();
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 15;
    if (workbook.isEmpty()) {
        std::fprintf(stderr, "no workbook\n");
        return 1;
    }
    QTemporaryDir appDir;
    const QString tempPath = temporaryWorkbookPath(appDir.path() + u'/', 1312);

    try {
        FileSnapshot source;
        SnapshotBuffer snapshot;
        ResultTable table;
        const auto takeSnapshot = [&] {
            if (source.take(workbook, snapshot).outcome != SnapshotOutcome::Taken)
                throw ViewerError(QStringLiteral("no snapshot"));
        };

        // Warm up: page cache, buffer pages, the table's storage.
        takeSnapshot();
        importSnapshot(snapshot, workbook, tempPath, table);
        // The import has given the snapshot's bytes back by now: the file tells its size.
        std::printf("%s: %lld bytes, table %d rows x %d columns, %d runs\n", qPrintable(workbook),
                    QFileInfo(workbook).size(), table.RowCount(), table.ColCount(), runs);

        const Figures whole = timeRuns(runs, [&] {
            takeSnapshot();
            importSnapshot(snapshot, workbook, tempPath, table);
        });

        const double residentMiB = residentMib();

        // The parts, with the calls the import makes.
        const Figures snap = timeRuns(runs, takeSnapshot);
        const Figures write = timeRuns(runs, [&] {
            QFile file(tempPath);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
                file.write(snapshot.FileBuffer(), snapshot.FileBufferSize()) !=
                    snapshot.FileBufferSize())
                throw ViewerError(QStringLiteral("write failed"));
        });
        const Figures parse = timeRuns(runs, [&] {
            QString path = tempPath;
            ExcelOpen(path);
            ExcelSelectSheet(1);
        });
        TextBuilder scratch;
        const Figures fill = timeRuns(runs, [&] {
            table.ClearGrid();
            int end = 2;
            while (!excelGetCellText(end, 3, scratch).isEmpty())
                ++end;
            table.SetColCount(13);
            table.SetRowCount(end - 1);
            for (int row = 1; row < end; ++row)
                for (int column = 1; column <= 13; ++column)
                    table.SetCells(column - 1, row - 1, excelGetCellText(row, column, scratch));
        });
        // Inside the fill: emptying a full table of allocated texts, and the reads alone.
        const Figures clear = timeInside(runs, [&] {
            table.SetRowCount(65536);
            for (int row = 0; row < table.RowCount(); ++row)
                for (int column = 0; column < 13; ++column)
                    table.SetCells(column, row, QString::number(row));
            QElapsedTimer timer;
            timer.start();
            table.ClearGrid();
            return double(timer.nsecsElapsed()) / 1e6;
        });
        qint64 chars = 0;
        const Figures reads = timeRuns(runs, [&] {
            int end = 2;
            while (!excelGetCellText(end, 3, scratch).isEmpty())
                ++end;
            for (int row = 1; row < end; ++row)
                for (int column = 1; column <= 13; ++column)
                    chars += excelGetCellText(row, column, scratch).size();
        });
        ExcelClose();
        QFile::remove(tempPath);

        print("whole refresh", whole);
        std::printf("resident after the refreshes        %7.1f MiB\n", residentMiB);
        print("  snapshot (FileSnapshot::take)", snap);
        print("  temporary copy written", write);
        print("  parse (ExcelOpen, select sheet)", parse);
        print("  count and fill (14 reads a row)", fill);
        print("    of which ClearGrid of the table", clear);
        print("    of which the cell reads", reads);
    } catch (const ViewerError &error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.message()));
        return 1;
    }
    excelRelease();
    return 0;
}
