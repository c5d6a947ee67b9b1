#pragma once

#include "sheet/encrypted/CryptoPrimitives.h"

#include <cstdint>
#include <span>
#include <string>

// What the XML descriptor of Agile encryption says: how the package's key is used (keyData),
// the HMAC of the package (dataIntegrity), and how the password gives that key (the password
// key encryptor). Malformed XML, a missing value and base64 that does not decode raise
// WorkbookError (Damaged).
struct AgileEncryptionInfo
{
    struct CipherParameters
    {
        std::size_t saltSize = 0;
        std::size_t blockSize = 0;
        std::size_t keyBits = 0;
        std::size_t hashSize = 0;
        std::string cipherAlgorithm;
        std::string cipherChaining;
        std::string hashAlgorithm;
        Bytes salt;
    };

    CipherParameters keyData;
    bool hasIntegrity = false;
    Bytes encryptedHmacKey;
    Bytes encryptedHmacValue;

    CipherParameters password;
    std::uint64_t spinCount = 0;
    Bytes encryptedVerifierHashInput;
    Bytes encryptedVerifierHashValue;
    Bytes encryptedKeyValue;

    static AgileEncryptionInfo parse(std::span<const std::uint8_t> xml);
};
