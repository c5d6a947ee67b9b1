#include "sheet/html/PageText.h"

#include "sheet/html/CharsetPrescan.h"
#include "sheet/model/StringTable.h"
#include "sheet/model/TextDecoder.h"
#include "sheet/model/TextEncoding.h"

#include <algorithm>

namespace {

using TextEncoding::Unicode;

constexpr std::size_t Piece = std::size_t(1) << 20;

} // namespace

PageText::PageText(std::span<const std::uint8_t> bytes)
{
    const TextEncoding::ByteOrderMark mark = TextEncoding::findByteOrderMark(bytes);
    const std::span<const std::uint8_t> text = bytes.subspan(mark.size);
    switch (mark.encoding) {
    case Unicode::Utf16LE:
        m_codePage = 1200;
        break;
    case Unicode::Utf16BE:
        m_codePage = 1201;
        break;
    case Unicode::Utf8:
        m_codePage = CharsetPrescan::Utf8;
        break;
    case Unicode::None:
        m_codePage = CharsetPrescan::declaredCodePage(text).value_or(0);
        if (m_codePage == 0)
            m_codePage = TextEncoding::undeclaredCodePage(text);
        break;
    }
    if (m_codePage == CharsetPrescan::Utf8)
        m_text = std::string_view(reinterpret_cast<const char *>(text.data()), text.size());
    else
        convert(text);
}

void PageText::convert(std::span<const std::uint8_t> bytes)
{
    const TextDecoder decoder(m_codePage);
    StringTable::Buffer units;
    // Reserved, and so not null, even for an empty page.
    m_converted.reserve(qsizetype(bytes.size() + bytes.size() / 2 + 16));
    for (std::size_t at = 0; at < bytes.size(); at += Piece) {
        const std::size_t size = std::min(Piece, bytes.size() - at);
        units.clear();
        decoder.appendPiece(units, bytes.data() + at, size);
        m_converted.append(QStringView(units.data(), qsizetype(units.size())).toUtf8());
    }
    m_text = std::string_view(m_converted.constData(), std::size_t(m_converted.size()));
}
