// The delimited-text reader on any bytes, recognised as text or not, and every cell it makes
// read back as text.
#include "sheet/model/Workbook.h"
#include "sheet/model/WorkbookError.h"
#include "sheet/text/TextFormat.h"
#include "tests/support/SheetText.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    try {
        sheetText(
            *DelimitedTextFormat.read(std::span<const std::uint8_t>(data, size), ReadControl()));
    } catch (const WorkbookError &) {
    }
    return 0;
}
