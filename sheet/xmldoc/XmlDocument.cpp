#include "sheet/xmldoc/XmlDocument.h"

#include "sheet/xml/XmlPartParser.h"
#include "sheet/xmldoc/XmlRootElement.h"

#include <algorithm>

namespace {

// Small enough that a cancelled read stops soon, large enough that the calls cost nothing.
constexpr std::size_t PieceSize = std::size_t(1) << 20;

void Feed(std::span<const std::uint8_t> document, std::size_t from,
          const std::function<void(std::span<const char>)> &consume, const ReadControl &control)
{
    for (std::size_t at = from; at < document.size(); at += PieceSize) {
        control.stillWanted();
        const std::size_t size = std::min(PieceSize, document.size() - at);
        consume(std::span(reinterpret_cast<const char *>(document.data() + at), size));
        control.passed(document.data() + at + size);
    }
}

} // namespace

void ParseXmlDocument(std::span<const std::uint8_t> document, XmlHandler &handler,
                      const QString &part, const std::function<void()> &restart,
                      const ReadControl &control)
{
    const std::optional<XmlRootElement> root = XmlRootElement::read(document);
    if (!root || root->hasDoctype()) {
        ParseXmlPartWithExpat([&](const auto &consume) { Feed(document, 0, consume, control); },
                              handler, part);
        return;
    }
    bool first = true;
    ParseXmlPart(
        [&](const std::function<void(std::span<const char>)> &consume) {
            Feed(document, first ? root->offset() : 0, consume, control);
            first = false;
        },
        handler, part, restart);
}
