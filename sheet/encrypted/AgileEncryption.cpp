#include "sheet/encrypted/AgileEncryption.h"

#include "sheet/model/WorkbookError.h"

#include <algorithm>

namespace {

constexpr std::size_t SegmentSize = 4096;
constexpr std::size_t AesBlockSize = 16;
constexpr std::uint8_t VerifierInputBlock[] = {0xfe, 0xa7, 0xd2, 0x76, 0x3b, 0x4b, 0x9e, 0x79};
constexpr std::uint8_t VerifierValueBlock[] = {0xd7, 0xaa, 0x0f, 0x6d, 0x30, 0x61, 0x34, 0x4e};
constexpr std::uint8_t KeyValueBlock[] = {0x14, 0x6e, 0x0b, 0xe7, 0xab, 0xac, 0xd0, 0xd6};
constexpr std::uint8_t HmacKeyBlock[] = {0x5f, 0xb2, 0xad, 0x01, 0x0c, 0xb9, 0xe1, 0xf6};
constexpr std::uint8_t HmacValueBlock[] = {0xa0, 0x67, 0x7f, 0x02, 0xb2, 0x2c, 0x84, 0x33};

// The cipher parameters this reader can follow, or a refusal naming what it cannot.
HashFunction checkedCipher(const AgileEncryptionInfo::CipherParameters &cipher)
{
    const nettle_hash *hash = HashFunction::byName(cipher.hashAlgorithm);
    if (cipher.cipherAlgorithm != "AES" || cipher.cipherChaining != "ChainingModeCBC" ||
        cipher.blockSize != AesBlockSize || !AesDecryptor::isKeySize(cipher.keyBits / 8) ||
        cipher.keyBits % 8 != 0 || !hash)
        PackageDecryption::refuse("its encryption is not AES-CBC with SHA-1 or SHA-2");
    const HashFunction function(hash);
    if (cipher.hashSize != function.size() || cipher.saltSize < AesBlockSize)
        PackageDecryption::refuse("its encryption states sizes its algorithms do not have");
    return function;
}

// Decrypts a value of the password key encryptor, as a whole number of blocks.
Bytes decryptedValue(const Bytes &iteratedHash, std::span<const std::uint8_t> block,
                     const AgileEncryptionInfo::CipherParameters &cipher, const Bytes &encrypted)
{
    const HashFunction hash = checkedCipher(cipher);
    if (encrypted.empty() || encrypted.size() % AesBlockSize != 0)
        PackageDecryption::refuse("its password verifier is damaged");
    const Bytes key = fitted(hash.digest({iteratedHash, block}), cipher.keyBits / 8, 0x36);
    Bytes value = encrypted;
    AesDecryptor(key).decryptCbc(fitted(cipher.salt, AesBlockSize, 0x36), value);
    return value;
}

} // namespace

std::unique_ptr<PackageDecryption> AgileEncryption::fromInfo(std::span<const std::uint8_t> xml,
                                                             std::u16string_view password)
{
    AgileEncryptionInfo info = AgileEncryptionInfo::parse(xml);
    checkedCipher(info.keyData);
    const AgileEncryptionInfo::CipherParameters &cipher = info.password;
    const HashFunction hash = checkedCipher(cipher);
    if (info.spinCount > MostSpins)
        PackageDecryption::refuse("its password is hashed more often than any writer does");

    Bytes iterated = hash.digest({cipher.salt, passwordBytes(password)});
    for (std::uint32_t i = 0; i < std::uint32_t(info.spinCount); ++i)
        iterated = hash.digest({littleEndian32(i), iterated});

    const Bytes input =
        decryptedValue(iterated, VerifierInputBlock, cipher, info.encryptedVerifierHashInput);
    const Bytes value =
        decryptedValue(iterated, VerifierValueBlock, cipher, info.encryptedVerifierHashValue);
    if (input.size() < cipher.saltSize || value.size() < hash.size())
        PackageDecryption::refuse("its password verifier is damaged");
    const Bytes expected = hash.digest({std::span(input).first(cipher.saltSize)});
    if (!std::equal(expected.begin(), expected.end(), value.begin()))
        throw WorkbookError::encrypted();

    Bytes key = decryptedValue(iterated, KeyValueBlock, cipher, info.encryptedKeyValue);
    if (key.size() < info.keyData.keyBits / 8)
        PackageDecryption::refuse("its encrypted key is too short");
    key.resize(info.keyData.keyBits / 8);
    return std::unique_ptr<PackageDecryption>(new AgileEncryption(std::move(info), std::move(key)));
}

AgileEncryption::AgileEncryption(AgileEncryptionInfo info, Bytes key)
    : m_info(std::move(info))
    , m_key(std::move(key))
{
}

void AgileEncryption::decryptWithBlockIv(std::span<const std::uint8_t> block,
                                         std::span<std::uint8_t> data) const
{
    const HashFunction hash(HashFunction::byName(m_info.keyData.hashAlgorithm));
    const Bytes iv = fitted(hash.digest({m_info.keyData.salt, block}), AesBlockSize, 0x36);
    AesDecryptor(m_key).decryptCbc(iv, data);
}

void AgileEncryption::checkIntegrity(std::span<const std::uint8_t> stream) const
{
    Bytes hmacKey = m_info.encryptedHmacKey;
    Bytes hmacValue = m_info.encryptedHmacValue;
    const HashFunction hash(HashFunction::byName(m_info.keyData.hashAlgorithm));
    if (hmacKey.size() % AesBlockSize != 0 || hmacValue.size() % AesBlockSize != 0 ||
        hmacKey.size() < hash.size() || hmacValue.size() < hash.size())
        refuse("its encryption descriptor's integrity check is damaged");
    decryptWithBlockIv(HmacKeyBlock, hmacKey);
    decryptWithBlockIv(HmacValueBlock, hmacValue);
    hmacKey.resize(hash.size());
    const Bytes actual = hash.hmac(hmacKey, stream);
    if (!std::equal(actual.begin(), actual.end(), hmacValue.begin()))
        refuse("its encrypted package fails its integrity check");
}

Bytes AgileEncryption::decrypt(std::span<const std::uint8_t> stream,
                               const ReadControl &control) const
{
    if (m_info.hasIntegrity)
        checkIntegrity(stream);
    const std::span<const std::uint8_t> blocks = encryptedBlocks(stream);
    Bytes plain(blocks.begin(), blocks.end());
    for (std::size_t at = 0, segment = 0; at < plain.size(); at += SegmentSize, ++segment) {
        control.stillWanted();
        decryptWithBlockIv(littleEndian32(std::uint32_t(segment)),
                           std::span(plain).subspan(at, std::min(SegmentSize, plain.size() - at)));
    }
    plain.resize(statedSize(stream));
    return plain;
}
