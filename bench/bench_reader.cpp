// Times the result import's use of the workbook reader on a big workbook (a header and 65,535
// rows of 13 columns): open, select the first sheet, read all 13 columns row by row until
// column 3 is empty. In the same run python3-xlrd does the same job for comparison.
//
// Usage: bench_reader [WORKBOOK.xls] [RUNS]. Without a workbook, one is made with
// scripts/make_big_workbook.py (python3-xlwt) in the current directory.

#include "platform/Clock.h"
#include "sheet/WorkbookFormats.h"
#include "sheet/exceling.h"
#include "sheet/model/LocaleTexts.h"
#include "sheet/model/Workbook.h"
#include "util/ViewerError.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

const QString Python = QStringLiteral("/usr/bin/python3");

struct Job
{
    int rows = 0;
    qint64 chars = 0;
};

// The import's pattern: rows from the header on, until column 3 reads empty.
Job readLikeImport(QString &path)
{
    Job job;
    ExcelOpen(path);
    ExcelSelectSheet(1);
    for (std::int32_t row = 1; !ExcelGetCell(row, 3).isEmpty(); ++row) {
        for (std::int32_t column = 1; column <= 13; ++column)
            job.chars += ExcelGetCell(row, column).size();
        ++job.rows;
    }
    ExcelClose();
    return job;
}

// The process's CPU time in milliseconds: on a busy machine a steadier figure than the wall
// clock, which also counts the time other processes had the processor.
double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(nanosecondsOf(t)) / 1e6;
}

double best(std::vector<double> times)
{
    return *std::min_element(times.begin(), times.end());
}

double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

bool run(const QString &program, const QStringList &arguments, QByteArray *output = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return false;
    if (output)
        *output = process.readAllStandardOutput();
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QString path = args.value(1, QStringLiteral("big-workbook.xls"));
    const int runs = std::max(1, args.value(2, QStringLiteral("10")).toInt());
    const QString source = QStringLiteral(ORVANDEL_SOURCE_DIR);

    if (!QFileInfo::exists(path)) {
        std::printf("making %s with python3-xlwt...\n", qPrintable(path));
        std::fflush(stdout);
        if (!run(Python, {source + QStringLiteral("/scripts/make_big_workbook.py"), path})) {
            std::fprintf(stderr, "could not make the workbook\n");
            return 1;
        }
    }
    std::printf("workbook: %s, %.1f MB\n", qPrintable(path),
                double(QFileInfo(path).size()) / (1024 * 1024));

    try {
        std::vector<double> whole, wholeCpu, open, parse, cells;
        Job job;
        for (int i = 0; i < runs; ++i) {
            QElapsedTimer t;
            t.start();
            const double cpu = cpuMs();
            job = readLikeImport(path);
            wholeCpu.push_back(cpuMs() - cpu);
            whole.push_back(double(t.nsecsElapsed()) / 1e6);
        }
        // Where the time goes: opening (reading the file and parsing), parsing from memory,
        // and the cell reads alone.
        for (int i = 0; i < runs; ++i) {
            QElapsedTimer t;
            t.start();
            ExcelOpen(path);
            open.push_back(double(t.nsecsElapsed()) / 1e6);
        }
        excelRelease();
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();
        for (int i = 0; i < runs; ++i) {
            QElapsedTimer t;
            t.start();
            const auto book = readWorkbook(bytes);
            parse.push_back(double(t.nsecsElapsed()) / 1e6);
            const Worksheet &sheet = book->worksheet(1);
            const LocaleTexts locale(QLocale::system()); // as ExcelSelectSheet takes it
            t.restart();
            qint64 chars = 0;
            for (int row = 1; !book->cellText(sheet, row, 3, locale).isEmpty(); ++row)
                for (int column = 1; column <= 13; ++column)
                    chars += book->cellText(sheet, row, column, locale).size();
            cells.push_back(double(t.nsecsElapsed()) / 1e6);
            if (chars != job.chars)
                std::printf("warning: %lld characters read from memory, %lld from the file\n",
                            static_cast<long long>(chars), static_cast<long long>(job.chars));
        }
        std::printf("reader: %d rows, %lld characters\n", job.rows,
                    static_cast<long long>(job.chars));
        std::printf("reader: open + read all:  best %7.1f ms, median %7.1f ms (%d runs)\n",
                    best(whole), median(whole), runs);
        std::printf("        the same, CPU time: best %7.1f ms, median %7.1f ms\n", best(wholeCpu),
                    median(wholeCpu));
        std::printf("        ExcelOpen:         best %7.1f ms\n", best(open));
        std::printf("        parse from memory: best %7.1f ms\n", best(parse));
        std::printf("        cell texts:        best %7.1f ms\n", best(cells));

        QByteArray output;
        const int pythonRuns = std::min(runs, 3);
        if (!run(
                Python,
                {source + QStringLiteral("/bench/xlrd_read.py"), path, QString::number(pythonRuns)},
                &output)) {
            std::printf("python3-xlrd: could not run\n");
            return 0;
        }
        const QList<QByteArray> fields = output.trimmed().split(' ');
        const double xlrdMs = fields.value(0).toDouble();
        std::printf("python3-xlrd: %s rows, %s characters\n", fields.value(1).constData(),
                    fields.value(2).constData());
        std::printf("python3-xlrd: open + read all:  best %7.1f ms (%d runs)\n", xlrdMs,
                    pythonRuns);
        std::printf("speed-up: %.1f times\n", xlrdMs / best(whole));
    } catch (const ViewerError &e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
    return 0;
}
