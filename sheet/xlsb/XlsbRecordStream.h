#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

// Splits a part of a binary workbook into its records while the part is inflated piece by
// piece. A record is its number (7 bits a byte, one or two bytes), its size (7 bits a byte, one
// to four bytes) and its data; a record that straddles two pieces is put together, any other is
// handed on where it lies. A header that does not parse, and a record cut short by the end of
// the part, raise WorkbookError (Damaged).
class XlsbRecordStream
{
public:
    // Gets each record's number and data, valid during the call.
    using Consumer = std::function<void(std::uint16_t id, std::span<const std::uint8_t> data)>;

    // `part` names the part in error messages.
    XlsbRecordStream(QString part, Consumer consumer);

    void feed(std::span<const char> piece);
    // After the last piece: checks that no record was left unfinished.
    void finish();

private:
    struct Header
    {
        std::uint16_t id = 0;
        std::size_t length = 0; // of the header itself
        std::size_t size = 0;   // of the data
    };

    // Parses a header from the `available` bytes at `p`; false when they end before it does.
    bool header(const std::uint8_t *p, std::size_t available, Header &out) const;
    // Completes the record begun in an earlier piece from the bytes at `p`; returns how many
    // of them it took.
    std::size_t continuePending(const std::uint8_t *p, std::size_t available);

    QString m_part;
    Consumer m_consumer;
    std::vector<std::uint8_t> m_pending;
    Header m_pendingHeader;
    bool m_pendingHasHeader = false;
};
