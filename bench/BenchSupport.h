#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

// What the in-process benchmarks share: the process's CPU time (all its threads; on a busy
// machine a steadier figure than the wall clock), the median of a run's figures, and the
// workbook named on the command line, read whole.

inline double processCpuMilliseconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

inline double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The file's bytes; a file that cannot be read ends the benchmark with status 1.
inline QByteArray readBenchFile(const char *path)
{
    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", path);
        std::exit(1);
    }
    return file.readAll();
}
