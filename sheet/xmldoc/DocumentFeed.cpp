#include "sheet/xmldoc/DocumentFeed.h"

#include "sheet/xml/ExpatParser.h"

#include <algorithm>

namespace {

// Small enough that a cancelled read stops soon, large enough that the calls cost nothing.
constexpr std::size_t PieceSize = std::size_t(1) << 20;

} // namespace

void FeedDocument(ExpatParser &parser, std::span<const std::uint8_t> document,
                  const ReadControl &control)
{
    for (std::size_t at = 0; at < document.size(); at += PieceSize) {
        control.stillWanted();
        const std::size_t size = std::min(PieceSize, document.size() - at);
        parser.feed(std::span(reinterpret_cast<const char *>(document.data() + at), size));
        control.passed(document.data() + at + size);
    }
    parser.finish();
}
