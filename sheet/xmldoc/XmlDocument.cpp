#include "sheet/xmldoc/XmlDocument.h"

#include "sheet/model/EncodingLabels.h"
#include "sheet/xml/XmlDeclaration.h"
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

// Whether the document is in UTF-8 as far as its declaration goes: the scanner reads nothing
// else.
bool declaresUtf8(std::span<const std::uint8_t> document)
{
    const std::optional<std::string_view> label =
        XmlDeclaration::Encoding(std::string_view(reinterpret_cast<const char *>(document.data()),
                                                  std::min<std::size_t>(document.size(), 4096)));
    return !label || EncodingLabels::codePageOfLabel(*label) == 65001;
}

} // namespace

void parseXmlDocument(std::span<const std::uint8_t> document, XmlHandler &handler,
                      const QString &part, const std::function<void()> &restart,
                      const ReadControl &control)
{
    const std::optional<XmlRootElement> root = XmlRootElement::read(document);
    if (!root || root->hasDoctype() || !declaresUtf8(document)) {
        parseXmlPartWithExpat([&](const auto &consume) { Feed(document, 0, consume, control); },
                              handler, part);
        return;
    }
    bool first = true;
    parseXmlPart(
        [&](const std::function<void(std::span<const char>)> &consume) {
            Feed(document, first ? root->offset() : 0, consume, control);
            first = false;
        },
        handler, part, restart);
}
