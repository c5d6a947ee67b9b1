#pragma once

#include "sheet/model/StringTable.h"

#include <QStringDecoder>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// Turns text in any code page a workbook or a text file may be written in into UTF-16: the
// Windows, DOS, ISO and Mac code pages, the East Asian double-byte ones, UTF-8 and UTF-16,
// known by their Windows code page numbers (the CODEPAGE record's) or by an encoding label.
// ICU does the decoding, through Qt; the few code pages ICU has no converter for (Johab, Mac
// Icelandic, ISO 8859-16) go through the C library's iconv. A code page neither knows reads as
// Windows-1252, which keeps ASCII right. Bytes that are not text in the code page become
// U+FFFD; decoding never fails.
class TextDecoder
{
public:
    explicit TextDecoder(int codePage = 1252);
    // An encoding label: one of the web's labels, else any name ICU knows. isValid() tells
    // whether either knew it; an unknown one decodes as Windows-1252.
    static TextDecoder forLabel(std::string_view label);

    TextDecoder(TextDecoder &&) noexcept;
    TextDecoder &operator=(TextDecoder &&) noexcept;
    ~TextDecoder();

    int codePage() const { return m_codePage; }
    bool isValid() const { return m_valid; }

    // The UTF-16 of `size` bytes, each call on its own, as each string of a workbook is whole:
    // nothing of one call carries over to the next.
    void append(StringTable::Buffer &out, const std::uint8_t *text, std::size_t size) const;
    // The same for one of the consecutive pieces of a longer text: a character cut off at the
    // end of one piece is finished by the next.
    void appendPiece(StringTable::Buffer &out, const std::uint8_t *text, std::size_t size) const;

private:
    struct Iconv;

    TextDecoder(int codePage, const char *name);
    void decode(StringTable::Buffer &out, const std::uint8_t *text, std::size_t size,
                bool whole) const;

    int m_codePage;
    bool m_valid = true;
    mutable QStringDecoder m_icu;
    std::unique_ptr<Iconv> m_iconv;
};
