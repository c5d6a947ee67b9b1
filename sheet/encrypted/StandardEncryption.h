#pragma once

#include "sheet/encrypted/PackageDecryption.h"

// Standard encryption of an OOXML package: AES-128, -192 or -256 keyed by a SHA-1 hash of the
// password, a verifier to tell a wrong password, and the package encrypted block by block.
class StandardEncryption : public PackageDecryption
{
public:
    // `info`: the EncryptionInfo stream after its version.
    static std::unique_ptr<PackageDecryption> fromInfo(std::span<const std::uint8_t> info,
                                                       std::u16string_view password);

    Bytes decrypt(std::span<const std::uint8_t> stream, const ReadControl &control) const override;

private:
    explicit StandardEncryption(Bytes key);

    Bytes m_key;
};
