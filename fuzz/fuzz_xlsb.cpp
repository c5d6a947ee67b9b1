// The binary workbook reader on any records, packed as xlsbFuzzPackage says; what opens is
// read back cell by cell.
#include "sheet/model/Workbook.h"
#include "sheet/model/WorkbookError.h"
#include "sheet/xlsb/XlsbFormat.h"
#include "tests/support/XlsbFuzzInput.h"

#include <QLocale>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::vector<std::uint8_t> package = xlsbFuzzPackage(std::span(data, size));
    static const QLocale locale = QLocale::c();
    try {
        const auto book = XlsbFormat.read(package, {});
        for (int s = 1; s <= book->worksheetCount(); ++s) {
            const Worksheet &sheet = book->worksheet(s);
            for (int r = 1; r <= std::min(sheet.rowCount(), 2000) + 1; ++r)
                for (int c = 1; c <= std::min(sheet.columnCount(), 40) + 1; ++c)
                    book->cellText(sheet, r, c, locale);
        }
    } catch (const WorkbookError &) {
        // Damage, said clearly: what bad records must come to.
    }
    return 0;
}
