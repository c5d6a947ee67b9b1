#include "sheet/xmldoc/Utf8Text.h"

void Utf8Text::append(StringTable::Buffer &out, std::string_view text)
{
    const std::size_t at = out.size();
    out.resize(at + std::size_t(m_decoder.requiredSpace(qsizetype(text.size()))));
    QChar *const end =
        m_decoder.appendToBuffer(reinterpret_cast<QChar *>(out.data() + at),
                                 QByteArrayView(text.data(), qsizetype(text.size())));
    out.resize(std::size_t(reinterpret_cast<char16_t *>(end) - out.data()));
}
