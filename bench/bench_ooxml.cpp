// Where the OOXML reader's time goes, in process, on one workbook: inflating the big parts
// alone, parsing them with expat and with FastXmlScanner into a handler that does nothing,
// and the whole reader with expat or the scanner, on one thread or two. Each figure is the
// median of RUNS, taken in turns.
//
// Usage: bench_ooxml WORKBOOK.xlsx [RUNS [ONLY]]: ONLY keeps the figures whose name holds it.

#include "BenchSupport.h"
#include "NullXmlHandler.h"
#include "sheet/model/Workbook.h"
#include "sheet/ooxml/OoxmlReader.h"
#include "sheet/package/ZipPackage.h"
#include "sheet/xml/ExpatParser.h"
#include "sheet/xml/FastXmlScanner.h"
#include "util/ViewerError.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

// Wall-clock and CPU time of the whole process (all its threads), in milliseconds: on a busy
// machine the CPU time is the steadier figure.
std::pair<double, double> Milliseconds(const std::function<void()> &job)
{
    QElapsedTimer timer;
    const double cpu = ProcessCpuMilliseconds();
    timer.start();
    job();
    return {double(timer.nsecsElapsed()) / 1e6, ProcessCpuMilliseconds() - cpu};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_ooxml WORKBOOK.xlsx [RUNS [ONLY]]\n");
        return 64;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const QByteArray bytes = ReadBenchFile(argv[1]);
    const std::span<const std::uint8_t> span(reinterpret_cast<const std::uint8_t *>(bytes.data()),
                                             std::size_t(bytes.size()));
    try {
        const ZipPackage package(span);
        const std::vector<std::string> parts = {"xl/worksheets/sheet1.xml", "xl/sharedStrings.xml"};
        std::map<std::string, std::function<void()>> jobs;
        for (const std::string &part : parts) {
            const std::uint64_t entry = *package.find(part);
            jobs["inflate " + part] = [&package, entry] {
                std::size_t total = 0;
                package.read(entry,
                             [&total](std::span<const char> piece) { total += piece.size(); });
            };
            jobs["inflate + expat " + part] = [&package, entry, part] {
                NullXmlHandler handler;
                ExpatParser parser(handler, QString::fromStdString(part));
                package.read(entry, [&parser](std::span<const char> piece) { parser.feed(piece); });
                parser.finish();
            };
            jobs["inflate + scanner " + part] = [&package, entry] {
                NullXmlHandler handler;
                FastXmlScanner scanner(handler);
                bool good = true;
                package.read(entry, [&](std::span<const char> piece) {
                    good = good && scanner.feed(piece);
                });
                if (!good || !scanner.finish())
                    std::printf("the scanner handed the part to expat\n");
            };
        }
        // The parsers alone, on the sheet part inflated beforehand (here only, to measure),
        // fed in the pieces the package hands out.
        // Only when those figures are asked for: holding a big sheet costs time of its own.
        const bool inMemory =
            argc <= 3 || std::strstr("expat alone, sheet in memory scanner alone, "
                                     "sheet in memory",
                                     argv[3]) != nullptr;
        const QByteArray sheet =
            inMemory ? package.readAll(*package.find(parts[0]), std::uint64_t(1) << 33)
                     : QByteArray();
        const auto pieces = [&sheet](const std::function<void(std::span<const char>)> &feed) {
            for (qsizetype at = 0; at < sheet.size(); at += 256 << 10)
                feed(std::span<const char>(sheet.data() + at, std::size_t(std::min<qsizetype>(
                                                                  256 << 10, sheet.size() - at))));
        };
        jobs["expat alone, sheet in memory"] = [&pieces] {
            NullXmlHandler handler;
            ExpatParser parser(handler, QStringLiteral("sheet"));
            pieces([&parser](std::span<const char> piece) { parser.feed(piece); });
            parser.finish();
        };
        jobs["scanner alone, sheet in memory"] = [&pieces] {
            NullXmlHandler handler;
            FastXmlScanner scanner(handler);
            bool good = true;
            pieces([&](std::span<const char> piece) { good = good && scanner.feed(piece); });
            if (!good || !scanner.finish())
                std::printf("the scanner handed the part to expat\n");
        };
        const auto reader = [span](bool fast, bool parallel) {
            return [span, fast, parallel] {
                OoxmlReader::Options options;
                options.fastScanner = fast;
                options.parallel = parallel;
                const auto book = OoxmlReader::read(span, {}, options);
                if (book->worksheetCount() < 1)
                    std::printf("no worksheet\n");
            };
        };
        jobs["reader, expat, one thread"] = reader(false, false);
        jobs["reader, expat, two threads"] = reader(false, true);
        jobs["reader, scanner, one thread"] = reader(true, false);
        jobs["reader, scanner, two threads"] = reader(true, true);

        if (argc > 3) {
            for (auto it = jobs.begin(); it != jobs.end();)
                it = it->first.find(argv[3]) == std::string::npos ? jobs.erase(it) : std::next(it);
        }
        std::map<std::string, std::vector<double>> wall, cpu;
        for (int run = 0; run < runs; ++run) {
            for (const auto &[name, job] : jobs) {
                const auto [w, c] = Milliseconds(job);
                wall[name].push_back(w);
                cpu[name].push_back(c);
            }
        }
        std::printf("%s, %d runs, medians:\n", argv[1], runs);
        std::printf("  %-50s %12s %12s\n", "", "wall", "CPU");
        for (const auto &[name, list] : wall)
            std::printf("  %-50s %9.1f ms %9.1f ms\n", name.c_str(), Median(list),
                        Median(cpu[name]));
    } catch (const ViewerError &error) {
        std::fprintf(stderr, "error: %s\n", error.what());
        return 1;
    }
    return 0;
}
