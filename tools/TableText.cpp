#include "tools/TableText.h"

#include "app/core/ResultTable.h"
#include "tools/TableTextWriter.h"

#include <QBuffer>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// The characters that make a CSV field quoted. All of them sort at or below the comma, so one
// comparison settles most characters.
bool quotedInCsv(char16_t c)
{
    return c <= u',' && (c == u',' || c == u'"' || c == u'\r' || c == u'\n');
}

// Writes a character from U+0800 on; `from` is past it, and past its low surrogate too when
// the two make a pair.
char *utf8Wide(char *to, char16_t c, const char16_t *&from, const char16_t *end)
{
    if (c < 0xD800 || c > 0xDFFF) {
        *to++ = char(0xE0 | (c >> 12));
        *to++ = char(0x80 | ((c >> 6) & 0x3F));
        *to++ = char(0x80 | (c & 0x3F));
        return to;
    }
    if (c < 0xDC00 && from < end && *from >= 0xDC00 && *from <= 0xDFFF) {
        const char32_t u = 0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(*from++) - 0xDC00);
        *to++ = char(0xF0 | (u >> 18));
        *to++ = char(0x80 | ((u >> 12) & 0x3F));
        *to++ = char(0x80 | ((u >> 6) & 0x3F));
        *to++ = char(0x80 | (u & 0x3F));
        return to;
    }
    *to++ = '?';
    return to;
}

// The letter that follows the backslash for a character a TSV field escapes, or 0.
char tsvEscape(char16_t c)
{
    switch (c) {
    case u'\\':
        return '\\';
    case u'\t':
        return 't';
    case u'\n':
        return 'n';
    case u'\r':
        return 'r';
    default:
        return 0;
    }
}

#ifdef __SSE2__
// Whether all eight characters are ASCII that the format writes as it is.
template<TableTextFormat Format>
bool plainAscii(__m128i chars)
{
    const auto is = [chars](char c) {
        return _mm_cmpeq_epi16(chars, _mm_set1_epi16(short(c)));
    };
    const __m128i ascii =
        _mm_cmpeq_epi16(_mm_and_si128(chars, _mm_set1_epi16(short(0xFF80))), _mm_setzero_si128());
    const __m128i special =
        Format == TableTextFormat::Csv
            ? _mm_or_si128(_mm_or_si128(is(','), is('"')), _mm_or_si128(is('\r'), is('\n')))
            : _mm_or_si128(_mm_or_si128(is('\\'), is('\t')), _mm_or_si128(is('\r'), is('\n')));
    return _mm_movemask_epi8(_mm_andnot_si128(special, ascii)) == 0xFFFF;
}
#endif

// One loop per format, so that the test for the format is not made per character. `quoted`
// is set when a CSV field needs quotes.
template<TableTextFormat Format>
char *encode(char *to, const char16_t *from, const char16_t *const end, bool &quoted)
{
#ifdef __SSE2__
    // Numbers, dates and Latin text go eight characters at a time; the first eight that are
    // not all plain ASCII, and whatever follows them, go one by one.
    while (end - from >= 8) {
        const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i *>(from));
        if (!plainAscii<Format>(chars))
            break;
        _mm_storel_epi64(reinterpret_cast<__m128i *>(to), _mm_packus_epi16(chars, chars));
        from += 8;
        to += 8;
    }
#endif
    while (from < end) {
        const char16_t c = *from++;
        if (c < 0x80) {
            if constexpr (Format == TableTextFormat::Csv) {
                if (quotedInCsv(c)) {
                    quoted = true;
                    if (c == u'"')
                        *to++ = '"';
                }
            } else if (const char escape = tsvEscape(c)) {
                *to++ = '\\';
                *to++ = escape;
                continue;
            }
            *to++ = char(c);
        } else if (c < 0x800) { // Cyrillic among others: the common case past ASCII
            *to++ = char(0xC0 | (c >> 6));
            *to++ = char(0x80 | (c & 0x3F));
        } else {
            to = utf8Wide(to, c, from, end);
        }
    }
    return to;
}

} // namespace

char *encodeField(char *to, QStringView text, TableTextFormat format)
{
    const char16_t *from = text.utf16();
    const char16_t *const end = from + text.size();
    char *const start = to;
    bool quoted = false;
    to = format == TableTextFormat::Csv ? encode<TableTextFormat::Csv>(to, from, end, quoted)
                                        : encode<TableTextFormat::Tsv>(to, from, end, quoted);
    // Written in one pass on the chance that no quotes are needed, as for most fields; the
    // few that need them are moved up to make room for the opening one.
    if (quoted) {
        std::memmove(start + 1, start, std::size_t(to - start));
        *start = '"';
        to += 1;
        *to++ = '"';
    }
    return to;
}

void appendField(QByteArray &out, QStringView text, TableTextFormat format)
{
    const qsizetype start = out.size();
    out.resize(start + maxFieldBytes(text.size()));
    out.resize(encodeField(out.data() + start, text, format) - out.constData());
}

QString csvField(const QString &text)
{
    QByteArray field;
    appendField(field, text, TableTextFormat::Csv);
    return QString::fromUtf8(field);
}

QString tsvField(const QString &text)
{
    QByteArray field;
    appendField(field, text, TableTextFormat::Tsv);
    return QString::fromUtf8(field);
}

bool writeTableText(const ResultTable &table, TableTextFormat format, QIODevice &out)
{
    TableTextWriter writer(format, out);
    writer.SetColCount(table.ColCount());
    writer.SetRowCount(table.RowCount());
    writer.beginFill();
    QString cell; // one buffer for every cell's text
    for (int row = 0; row < table.RowCount(); ++row) {
        for (int col = 0; col < table.ColCount(); ++col) {
            table.cellTextInto(col, row, cell);
            writer.SetCells(col, row, cell);
        }
    }
    writer.endFill();
    return writer.written();
}

QByteArray tableText(const ResultTable &table, TableTextFormat format)
{
    QByteArray text;
    QBuffer buffer(&text);
    buffer.open(QIODevice::WriteOnly);
    writeTableText(table, format, buffer);
    return text;
}
