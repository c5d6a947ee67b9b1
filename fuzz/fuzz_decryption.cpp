// The legacy reader's decryption on any bytes: a workbook tried with each password the
// encrypted test workbooks have, as the path that takes a password reads it, and every cell of
// what opens read back. Seeded with the encrypted workbooks, a mutation usually leaves the
// encryption header whole, so that the verifier passes and the mutated records are decrypted
// and parsed: RC4 turns each flipped bit of the file into the same flipped bit of the records.
#include "PasswordAttempts.h"
#include "sheet/biff/BiffDecryption.h"
#include "sheet/biff/BiffFormat.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    readWithEachPassword(
        {BiffDecryption::DefaultPassword, u"password", u"abc", u"11"},
        [&](QStringView password) { return readBiffWorkbook(std::span(data, size), password); });
    return 0;
}
