// The OOXML reader on any bytes, through the four workbook operations as the import uses them.
// An input that starts like a ZIP file is taken as the whole package, so that libzip and the
// package's structure get their share; any other input is split at its 0xFF bytes (which no
// UTF-8 text holds) into the worksheet, shared strings, styles and workbook parts of a package
// this target builds around them, with good checksums, so that the fuzzer's changes reach the
// XML instead of failing the CRC check. scripts/fuzz.sh seeds both kinds from the format corpus.
#include "tests/support/OoxmlTestFiles.h"
#include "tests/support/ReaderOperations.h"

#include <cstddef>
#include <cstdint>

namespace {

QByteArray packageAround(QByteArrayView input)
{
    const QList<QByteArray> pieces = input.toByteArray().split('\xFF');
    QMap<QByteArray, QByteArray> parts = ooxmltest::workbookParts({});
    const char *const names[] = {"xl/worksheets/sheet1.xml", "xl/sharedStrings.xml",
                                 "xl/styles.xml", "xl/workbook.xml"};
    for (qsizetype i = 0; i < pieces.size() && i < 4; ++i)
        parts[names[i]] = pieces[i];
    QList<ooxmltest::ZipEntry> entries;
    for (auto it = parts.cbegin(); it != parts.cend(); ++it)
        entries.append({it.key(), it.value(), false});
    return ooxmltest::zipFile(entries);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView input(data, static_cast<qsizetype>(size));
    if (input.startsWith("PK"))
        runReaderOperations(input);
    else
        runReaderOperations(packageAround(input));
    return 0;
}
