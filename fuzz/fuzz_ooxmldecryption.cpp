// The encrypted OOXML reader on any bytes: a compound file tried with the default password and
// with "password", as the path that takes a password reads it, and every cell of what opens
// read back. Seeded with the encrypted test workbooks; Standard encryption has no HMAC, so a
// mutation of its package reaches the decryption's output and the package reader.
#include "sheet/encrypted/EncryptedPackageFormat.h"
#include "sheet/model/Workbook.h"
#include "sheet/model/WorkbookError.h"

#include <QLocale>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QLocale locale = QLocale::c();
    for (const QStringView password : {QStringView(u"VelvetSweatshop"), QStringView(u"password")}) {
        try {
            const auto book = ReadEncryptedPackage(std::span(data, size), password);
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
