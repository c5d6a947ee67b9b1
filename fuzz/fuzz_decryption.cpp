// The legacy reader's decryption on any bytes: a workbook tried with each password the
// encrypted test workbooks have, as the path that takes a password reads it, and every cell of
// what opens read back. Seeded with the encrypted workbooks, a mutation usually leaves the
// encryption header whole, so that the verifier passes and the mutated records are decrypted
// and parsed: RC4 turns each flipped bit of the file into the same flipped bit of the records.
#include "sheet/biff/BiffDecryption.h"
#include "sheet/biff/BiffFormat.h"
#include "sheet/model/Workbook.h"
#include "sheet/model/WorkbookError.h"

#include <QLocale>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QLocale locale = QLocale::c();
    const QStringView passwords[] = {BiffDecryption::DefaultPassword, u"password", u"abc", u"11"};
    for (const QStringView password : passwords) {
        try {
            const auto book = ReadBiffWorkbook(std::span(data, size), password);
            for (int s = 1; s <= book->worksheetCount(); ++s) {
                const Worksheet &sheet = book->worksheet(s);
                for (int r = 1; r <= std::min(sheet.rowCount(), 2000) + 1; ++r)
                    for (int c = 1; c <= std::min(sheet.columnCount(), 40) + 1; ++c)
                        book->cellText(sheet, r, c, locale);
            }
            return 0;
        } catch (const WorkbookError &) {
            // Refused: wrong password, or damage; the next password may be the one.
        }
    }
    return 0;
}
