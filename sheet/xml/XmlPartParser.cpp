#include "sheet/xml/XmlPartParser.h"

#include "sheet/xml/ExpatParser.h"
#include "sheet/xml/FastXmlScanner.h"

namespace {

// Thrown through the source to stop reading a part the scanner has given up on.
struct OutsideScanner
{
};

} // namespace

void parseXmlPart(const XmlSource &source, XmlHandler &handler, const QString &part,
                  const std::function<void()> &restart)
{
    bool scanned = false;
    try {
        FastXmlScanner scanner(handler);
        source([&scanner](std::span<const char> piece) {
            if (!scanner.feed(piece))
                throw OutsideScanner();
        });
        scanned = scanner.finish();
    } catch (const OutsideScanner &) {
    }
    if (scanned)
        return;
    if (restart)
        restart();
    parseXmlPartWithExpat(source, handler, part);
}

void parseXmlPartWithExpat(const XmlSource &source, XmlHandler &handler, const QString &part)
{
    ExpatParser parser(handler, part);
    source([&parser](std::span<const char> piece) { parser.feed(piece); });
    parser.finish();
}
