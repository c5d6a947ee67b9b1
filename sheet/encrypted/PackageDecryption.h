#pragma once

#include "sheet/encrypted/CryptoPrimitives.h"
#include "sheet/model/ReadControl.h"

#include <memory>
#include <span>
#include <string_view>

// The key of an encrypted OOXML package, found from its EncryptionInfo stream and a password,
// and the decryption of its EncryptedPackage stream with it. A password the verifier refuses
// raises WorkbookError (Encrypted); an EncryptionInfo that does not parse, or asks for what
// the format does not have, raises WorkbookError (Damaged).
class PackageDecryption
{
public:
    // Standard encryption (version 2.2, 3.2 or 4.2) or Agile encryption (4.4).
    static std::unique_ptr<PackageDecryption> fromInfo(std::span<const std::uint8_t> info,
                                                       std::u16string_view password);
    virtual ~PackageDecryption() = default;

    // The package's bytes from the EncryptedPackage stream (its size, then the encrypted
    // bytes), decrypted a segment at a time; `control` is asked between segments whether to
    // go on.
    virtual Bytes decrypt(std::span<const std::uint8_t> stream,
                          const ReadControl &control) const = 0;

    [[noreturn]] static void refuse(const char *what);

protected:
    PackageDecryption() = default;
    PackageDecryption(const PackageDecryption &) = delete;
    PackageDecryption &operator=(const PackageDecryption &) = delete;

    // The size the stream states, after checking that the encrypted bytes hold that many
    // in whole blocks.
    static std::size_t statedSize(std::span<const std::uint8_t> stream);
    // Those whole blocks.
    static std::span<const std::uint8_t> encryptedBlocks(std::span<const std::uint8_t> stream);
};
