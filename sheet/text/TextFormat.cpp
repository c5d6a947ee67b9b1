#include "sheet/text/TextFormat.h"

#include "sheet/model/TextDecoder.h"
#include "sheet/model/TextEncoding.h"
#include "sheet/model/Workbook.h"
#include "sheet/model/WorkbookError.h"
#include "sheet/text/DelimitedSplitter.h"
#include "sheet/text/DelimiterGuess.h"
#include "sheet/text/FieldCells.h"

#include <cstring>

namespace {

using TextEncoding::Unicode;

constexpr int Utf8CodePage = 65001;
constexpr int Utf16LECodePage = 1200;
constexpr int Utf16BECodePage = 1201;

bool isUtf16(Unicode encoding)
{
    return encoding == Unicode::Utf16LE || encoding == Unicode::Utf16BE;
}

// The encoding of the text after its byte-order mark: the mark's, else UTF-16 told by its
// zero bytes; None for the 8-bit code pages and UTF-8.
Unicode unicodeOf(const TextEncoding::ByteOrderMark &mark, std::span<const std::uint8_t> text)
{
    return mark.encoding != Unicode::None ? mark.encoding : TextEncoding::findUtf16ByZeros(text);
}

// UTF-16 code units from the bytes after the mark; an odd last byte is dropped.
StringTable::Buffer utf16Units(std::span<const std::uint8_t> bytes, bool bigEndian)
{
    StringTable::Buffer units(bytes.size() / 2);
    for (std::size_t i = 0; i < units.size(); ++i) {
        const std::uint8_t first = bytes[2 * i], second = bytes[2 * i + 1];
        units[i] = bigEndian ? char16_t(first << 8 | second) : char16_t(second << 8 | first);
    }
    return units;
}

bool hasNulUnit(std::span<const std::uint8_t> bytes)
{
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        if (bytes[i] == 0 && bytes[i + 1] == 0)
            return true;
    }
    return false;
}

bool isText(std::span<const std::uint8_t> bytes)
{
    const TextEncoding::ByteOrderMark mark = TextEncoding::findByteOrderMark(bytes);
    const std::span<const std::uint8_t> text = bytes.subspan(mark.size);
    if (isUtf16(unicodeOf(mark, text)))
        return !hasNulUnit(text);
    return std::memchr(text.data(), 0, text.size()) == nullptr;
}

bool recognizes(std::span<const std::uint8_t> bytes)
{
    return !bytes.empty() && isText(bytes);
}

template<typename Unit>
void readFields(const Unit *begin, const Unit *end, Workbook &book, const ReadControl &control,
                const TextDecoder &decoder)
{
    Worksheet &sheet = book.addWorksheet(QStringLiteral("Sheet1"));
    FieldCells<Unit> cells(book, sheet, control, decoder);
    DelimitedSplitter<Unit>::split(begin, end, guessDelimiter(begin, end), cells);
}

std::shared_ptr<Workbook> readBytes(std::span<const std::uint8_t> bytes, const ReadControl &control)
{
    if (bytes.empty() || !isText(bytes))
        throw WorkbookError::notWorkbook();
    auto book = std::make_shared<Workbook>(control.scope());
    const TextEncoding::ByteOrderMark mark = TextEncoding::findByteOrderMark(bytes);
    const std::span<const std::uint8_t> text = bytes.subspan(mark.size);
    const Unicode unicode = unicodeOf(mark, text);
    if (isUtf16(unicode)) {
        const bool bigEndian = unicode == Unicode::Utf16BE;
        book->setFormat(QStringLiteral("Text"), bigEndian ? Utf16BECodePage : Utf16LECodePage);
        const StringTable::Buffer units = utf16Units(text, bigEndian);
        book->strings().reserve(0, units.size());
        readFields(units.data(), units.data() + units.size(), *book, control, TextDecoder());
    } else {
        const int codePage =
            mark.encoding == Unicode::Utf8 ? Utf8CodePage : TextEncoding::undeclaredCodePage(text);
        book->setFormat(QStringLiteral("Text"), codePage);
        // No byte decodes to more than one UTF-16 unit.
        book->strings().reserve(0, text.size());
        readFields(text.data(), text.data() + text.size(), *book, control, TextDecoder(codePage));
    }
    book->finish();
    return book;
}

} // namespace

const WorkbookFormat DelimitedTextFormat{"Text", recognizes, readBytes};
