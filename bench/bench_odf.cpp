// Where the OpenDocument and XML Spreadsheet 2003 readers' time goes, in process, on one
// workbook: for a package, inflating content.xml alone; the document parsed by expat and by
// FastXmlScanner into a handler that does nothing (for a package, inflated on the same thread
// and on a second one) and into the format's own handler of cells; and the whole reader from
// memory. Each figure is the median of RUNS, taken in turns, wall clock and
// CPU time.
//
// Usage: bench_odf WORKBOOK [RUNS]   (an .ods package, a flat .fods or an XML Spreadsheet 2003)

#include "BenchSupport.h"
#include "NullXmlHandler.h"
#include "sheet/WorkbookFormats.h"
#include "sheet/model/Workbook.h"
#include "sheet/ods/OdsContentHandler.h"
#include "sheet/package/InflateAhead.h"
#include "sheet/package/ZipPackage.h"
#include "sheet/xml/XmlPartParser.h"
#include "sheet/xml2003/Xml2003Handler.h"
#include "util/ViewerError.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

// The format's own handler, reading the cells into a workbook, with expat or the scanner.
template<typename Handler>
void readCells(const XmlSource &document, bool scanner)
{
    Handler handler;
    if (scanner)
        parseXmlPart(document, handler, QStringLiteral("document"),
                     [&handler] { handler.restart(); });
    else
        parseXmlPartWithExpat(document, handler, QStringLiteral("document"));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_odf WORKBOOK [RUNS]\n");
        return 64;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const QByteArray bytes = readBenchFile(argv[1]);
    const std::span<const std::uint8_t> data(reinterpret_cast<const std::uint8_t *>(bytes.data()),
                                             std::size_t(bytes.size()));
    try {
        // The document's XML: content.xml of a package, or the whole file.
        std::optional<ZipPackage> package;
        std::optional<std::uint64_t> content;
        if (ZipPackage::hasSignature(data)) {
            package.emplace(data);
            content = package->find("content.xml");
        }
        const XmlSource document = [&](const std::function<void(std::span<const char>)> &consume) {
            if (content) {
                package->read(*content, consume);
                return;
            }
            constexpr qsizetype Piece = 256 << 10;
            for (qsizetype at = 0; at < bytes.size(); at += Piece)
                consume(std::span(bytes.constData() + at,
                                  std::size_t(std::min(Piece, bytes.size() - at))));
        };
        std::size_t xmlBytes = 0;
        document([&xmlBytes](std::span<const char> piece) { xmlBytes += piece.size(); });

        std::vector<std::pair<std::string, std::function<void()>>> jobs;
        if (content)
            jobs.emplace_back("inflate content.xml alone",
                              [&] { document([](std::span<const char>) {}); });
        jobs.emplace_back("expat, a handler that does nothing", [&] {
            NullXmlHandler handler;
            parseXmlPartWithExpat(document, handler, QStringLiteral("document"));
        });
        jobs.emplace_back("scanner, a handler that does nothing", [&] {
            NullXmlHandler handler;
            parseXmlPart(document, handler, QStringLiteral("document"), {});
        });
        if (content)
            jobs.emplace_back("scanner, the same, inflated ahead", [&] {
                NullXmlHandler handler;
                parseXmlPart(
                    [&](const auto &consume) {
                        InflateAhead(data, *content, ReadControl()).read(consume);
                    },
                    handler, QStringLiteral("document"), {});
            });
        const bool openDocument = content || bytes.contains("opendocument:xmlns:office");
        for (const bool scanner : {false, true}) {
            jobs.emplace_back(scanner ? "scanner, the cells' handler" : "expat, the cells' handler",
                              [&, scanner] {
                                  if (openDocument)
                                      readCells<OdsContentHandler>(document, scanner);
                                  else
                                      readCells<Xml2003Handler>(document, scanner);
                              });
        }
        int rows = 0;
        jobs.emplace_back("the reader, from memory", [&] {
            const std::shared_ptr<Workbook> book = readWorkbook(bytes);
            rows = book->worksheet(1).rowCount();
        });

        std::map<std::string, std::vector<double>> wall, cpu;
        for (int run = 0; run < runs; ++run) {
            for (const auto &[what, job] : jobs) {
                QElapsedTimer timer;
                const double cpuStart = processCpuMilliseconds();
                timer.start();
                job();
                wall[what].push_back(double(timer.nsecsElapsed()) / 1e6);
                cpu[what].push_back(processCpuMilliseconds() - cpuStart);
            }
        }
        std::printf("%s: %.1f MB, XML %.1f MB, first sheet %d rows, %d runs\n", argv[1],
                    double(bytes.size()) / 1e6, double(xmlBytes) / 1e6, rows, runs);
        for (const auto &[what, job] : jobs)
            std::printf("%-40s median %8.1f ms  cpu median %8.1f ms\n", what.c_str(),
                        median(wall[what]), median(cpu[what]));
    } catch (const ViewerError &error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.message()));
        return 1;
    }
    return 0;
}
