#pragma once

#include <QStringView>
#include <cstdint>
#include <memory>
#include <span>

// Reads back the records of an encrypted workbook stream: the scheme a FILEPASS record names
// (XOR obfuscation, RC4, RC4 through CryptoAPI), keyed by a password its verifier accepted.
// Record headers stay in the clear, and so do the records that must be read before the key is
// known (BOF, FILEPASS, INTERFACEHDR and the shared-workbook records) and the sheet offsets at
// the start of each BOUNDSHEET; everything else is decrypted in place.
class BiffDecryption
{
public:
    // What a workbook is encrypted with when its author protected it without a password to
    // open it; the spreadsheet program opens such a file without asking.
    static constexpr QStringView DefaultPassword = u"VelvetSweatshop";

    virtual ~BiffDecryption() = default;

    // The scheme of a FILEPASS record's data in a BIFF`biff` stream. Raises WorkbookError:
    // Damaged for a header that cannot be read, Encrypted when the verifier refuses `password`.
    static std::unique_ptr<BiffDecryption> fromFilePass(std::span<const std::uint8_t> data,
                                                        int biff, QStringView password);

    // Decrypts the records from `from` to the end of `stream` in place. A record cut short at
    // the end is decrypted as far as it goes; the parser reports it.
    void decryptRecords(std::span<std::uint8_t> stream, std::size_t from);

protected:
    BiffDecryption() = default;

    // Raises WorkbookError (Damaged) for an encryption header that cannot be read.
    [[noreturn]] static void refuseHeader(const char *what);

    // Decrypts `bytes`, found at `position` in the stream in the data of a record
    // `recordSize` bytes long. Called in the order of the stream.
    virtual void decrypt(std::span<std::uint8_t> bytes, std::size_t position,
                         std::size_t recordSize) = 0;
};
