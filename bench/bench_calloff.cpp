// How soon a background import stops once it is called off, as when the window closes in the
// middle of a refresh: the import of WORKBOOK is timed whole first, then called off at STEPS
// moments spread over that time. Each figure runs from the call-off to the end of the import's
// thread (BackgroundImport::stop returning), with the private copy deleted by then.
//
// Usage: bench_calloff WORKBOOK [STEPS]   (default 10)

#include "app/core/BackgroundImport.h"
#include "app/core/ResultImport.h"
#include "app/core/SnapshotBuffer.h"
#include "platform/FileSnapshot.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_calloff WORKBOOK [STEPS]\n");
        return 2;
    }
    const QString workbook = QString::fromLocal8Bit(argv[1]);
    const int steps = argc > 2 ? std::max(1, atoi(argv[2])) : 10;
    QTemporaryDir appDir;
    const QString tempPath = temporaryWorkbookPath(appDir.path() + u'/', 1312);
    FileSnapshot source;
    SnapshotBuffer snapshot;
    BackgroundImport import;
    bool ended = false;
    QObject::connect(&import, &BackgroundImport::finished, [&](std::exception_ptr error) {
        ended = true;
        if (error)
            std::fprintf(stderr, "the import failed\n");
    });
    const auto start = [&] {
        if (source.take(workbook, snapshot).outcome != SnapshotOutcome::Taken)
            return false;
        import.start(snapshot, workbook, tempPath);
        return true;
    };

    QElapsedTimer clock;
    if (!start())
        return 1;
    clock.start();
    while (!ended)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double wholeMs = double(clock.nsecsElapsed()) / 1e6;
    import.dispose(import.takeTable());

    std::vector<double> latencies;
    int leftBehind = 0;
    for (int step = 1; step <= steps; ++step) {
        const double at = wholeMs * step / (steps + 1);
        if (!start())
            return 1;
        std::this_thread::sleep_for(std::chrono::microseconds(qint64(at * 1000)));
        clock.restart();
        import.stop();
        latencies.push_back(double(clock.nsecsElapsed()) / 1e6);
        leftBehind += int(QDir(appDir.path()).entryList(QDir::Files).size());
        std::printf("called off after %7.1f ms: stopped in %6.1f ms\n", at, latencies.back());
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("%s: whole import %.0f ms; called off at %d moments: median %.1f ms, longest "
                "%.1f ms; private copies left %d\n",
                qPrintable(workbook), wholeMs, steps, latencies[latencies.size() / 2],
                latencies.back(), leftBehind);
    return 0;
}
