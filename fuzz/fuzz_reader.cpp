// The workbook reader on any bytes, through the workbook operations as the import uses
// them: open, select the first worksheet, read the key column down to its first empty cell and
// 13 columns of each row taken, close; then the second and third worksheets the same way.
#include "tests/support/ReaderOperations.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    runReaderOperations(QByteArrayView(data, static_cast<qsizetype>(size)));
    return 0;
}
