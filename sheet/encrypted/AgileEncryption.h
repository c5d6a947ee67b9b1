#pragma once

#include "sheet/encrypted/AgileEncryptionInfo.h"
#include "sheet/encrypted/PackageDecryption.h"

// Agile encryption of an OOXML package: AES under a key that the password's iterated hash
// (SHA-1 to SHA-512) unlocks, a verifier to tell a wrong password, the package in 4096-byte
// segments each chained from an IV of its own, and an HMAC of the whole encrypted package.
class AgileEncryption : public PackageDecryption
{
public:
    // More password hash rounds than this are refused: a hostile file could otherwise keep
    // the reader hashing for minutes. Writers use 100,000.
    static constexpr std::uint64_t MostSpins = 10'000'000;

    // `info`: the EncryptionInfo stream after its version and reserved field.
    static std::unique_ptr<PackageDecryption> fromInfo(std::span<const std::uint8_t> info,
                                                       std::u16string_view password);

    Bytes decrypt(std::span<const std::uint8_t> stream, const ReadControl &control) const override;

private:
    AgileEncryption(AgileEncryptionInfo info, Bytes key);

    // Decrypts `data` in place with `key`, chained from the IV the hash of the key data's salt
    // and `block` gives.
    void decryptWithBlockIv(std::span<const std::uint8_t> block,
                            std::span<std::uint8_t> data) const;
    void checkIntegrity(std::span<const std::uint8_t> stream) const;

    AgileEncryptionInfo m_info;
    Bytes m_key;
};
