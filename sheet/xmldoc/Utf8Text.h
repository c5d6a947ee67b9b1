#pragma once

#include "sheet/model/StringTable.h"

#include <QStringDecoder>
#include <string_view>

// Appends the UTF-8 text an XML parser hands over to a string being built in the string table,
// as UTF-16. A character may arrive split over two pieces: the decoder keeps what is left of
// it for the next one.
class Utf8Text
{
public:
    void append(StringTable::Buffer &out, std::string_view text);
    // Forgets a character left half-way by the previous piece.
    void reset() { m_decoder.resetState(); }

private:
    QStringDecoder m_decoder{QStringDecoder::Utf8};
};
