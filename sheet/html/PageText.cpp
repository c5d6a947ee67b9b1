#include "sheet/html/PageText.h"

#include "sheet/html/CharsetPrescan.h"
#include "sheet/model/CodePageDecoder.h"
#include "sheet/model/StringTable.h"
#include "sheet/model/TextEncoding.h"

#include <QStringDecoder>
#include <algorithm>

namespace {

using TextEncoding::Unicode;

constexpr int Cyrillic = 1251;
constexpr std::size_t Piece = std::size_t(1) << 20;

} // namespace

PageText::PageText(std::span<const std::uint8_t> bytes)
{
    const TextEncoding::ByteOrderMark mark = TextEncoding::FindByteOrderMark(bytes);
    const std::span<const std::uint8_t> text = bytes.subspan(mark.size);
    switch (mark.encoding) {
    case Unicode::Utf16LE:
    case Unicode::Utf16BE:
        convertUtf16(text, mark.encoding == Unicode::Utf16BE);
        return;
    case Unicode::Utf8:
        m_codePage = CharsetPrescan::Utf8;
        break;
    case Unicode::None:
        m_codePage = CharsetPrescan::declaredCodePage(text).value_or(0);
        if (m_codePage == 0)
            m_codePage = TextEncoding::IsValidUtf8(text) ? CharsetPrescan::Utf8 : Cyrillic;
        break;
    }
    if (m_codePage == CharsetPrescan::Utf8)
        m_text = std::string_view(reinterpret_cast<const char *>(text.data()), text.size());
    else
        convertCodePage(text, m_codePage);
}

void PageText::convertUtf16(std::span<const std::uint8_t> bytes, bool bigEndian)
{
    m_codePage = bigEndian ? 1201 : 1200;
    QStringDecoder decoder(bigEndian ? QStringDecoder::Utf16BE : QStringDecoder::Utf16LE);
    // Reserved, so never null, even for an empty page.
    // Reserved, and so not null, even for an empty page.
    m_converted.reserve(qsizetype(bytes.size() / 2 * 3 / 2 + 16));
    for (std::size_t at = 0; at < bytes.size(); at += Piece) {
        const std::size_t size = std::min(Piece, bytes.size() - at);
        const QString piece = decoder.decode(QByteArrayView(bytes.data() + at, qsizetype(size)));
        m_converted.append(piece.toUtf8());
    }
    m_text = std::string_view(m_converted.constData(), std::size_t(m_converted.size()));
}

void PageText::convertCodePage(std::span<const std::uint8_t> bytes, int codePage)
{
    const CodePageDecoder decoder(codePage);
    StringTable::Buffer units;
    m_converted.reserve(qsizetype(bytes.size() + bytes.size() / 2 + 16));
    for (std::size_t at = 0; at < bytes.size(); at += Piece) {
        const std::size_t size = std::min(Piece, bytes.size() - at);
        units.clear();
        decoder.append(units, bytes.data() + at, size);
        m_converted.append(QStringView(units.data(), qsizetype(units.size())).toUtf8());
    }
    m_text = std::string_view(m_converted.constData(), std::size_t(m_converted.size()));
}
