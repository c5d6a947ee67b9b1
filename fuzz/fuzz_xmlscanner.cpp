// FastXmlScanner against expat on the same bytes. Wherever the scanner reads a document
// through, expat must read it too, and report the same elements, attributes and text; and
// read as a worksheet part, the bytes must give the same cells, or the same refusal, through
// the scanner with its fall back to expat as through expat alone. The first byte chooses the
// size of the pieces the scanner is fed, so that every construct gets cut somewhere.
#include "sheet/model/WorkbookError.h"
#include "sheet/xml/ExpatParser.h"
#include "sheet/xml/FastXmlScanner.h"
#include "tests/support/WorksheetOutcome.h"
#include "tests/support/XmlEventLog.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using Feed = std::function<void(std::span<const char>)>;

void Pieces(std::span<const char> bytes, std::size_t size, const Feed &feed)
{
    for (std::size_t at = 0; at < bytes.size(); at += size)
        feed(bytes.subspan(at, std::min(size, bytes.size() - at)));
}

[[noreturn]] void differ(const char *what, const std::string &ours, const std::string &expats)
{
    std::fprintf(stderr, "%s\n--- scanner:%s\n--- expat:%s\n", what, ours.c_str(), expats.c_str());
    std::abort();
}

void compareEvents(std::span<const char> bytes, std::size_t pieceSize)
{
    XmlEventLog scanned;
    FastXmlScanner scanner(scanned);
    bool read = true;
    Pieces(bytes, pieceSize,
           [&](std::span<const char> piece) { read = read && scanner.feed(piece); });
    if (!read || !scanner.finish())
        return; // expat's outcome is the only one
    XmlEventLog expected;
    try {
        ExpatParser parser(expected, QStringLiteral("fuzz"));
        parser.feed(bytes);
        parser.finish();
    } catch (const WorkbookError &error) {
        differ(
            qPrintable(QStringLiteral("the scanner read what expat refuses: ") + error.message()),
            scanned.log, expected.log);
    }
    if (scanned.log != expected.log)
        differ("the scanner and expat report different events", scanned.log, expected.log);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t pieceSize = data[0] < 128 ? std::size_t(data[0]) + 1 : size;
    const std::span<const char> bytes(reinterpret_cast<const char *>(data) + 1, size - 1);
    compareEvents(bytes, pieceSize);
    const std::string fast = worksheetOutcome(bytes, pieceSize, true);
    // Expat fed the same pieces: where it stops and what it says there depend on them.
    const std::string expat = worksheetOutcome(bytes, pieceSize, false);
    if (fast != expat)
        differ("the cells differ", fast, expat);
    return 0;
}
