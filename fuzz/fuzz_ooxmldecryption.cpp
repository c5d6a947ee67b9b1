// The encrypted OOXML reader on any bytes: a compound file tried with the default password and
// with "password", as the path that takes a password reads it, and every cell of what opens
// read back. Seeded with the encrypted test workbooks; Standard encryption has no HMAC, so a
// mutation of its package reaches the decryption's output and the package reader.
#include "PasswordAttempts.h"
#include "sheet/encrypted/EncryptedPackageFormat.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    readWithEachPassword({QStringView(u"VelvetSweatshop"), QStringView(u"password")},
                         [&](QStringView password) {
                             return readEncryptedPackage(std::span(data, size), password);
                         });
    return 0;
}
