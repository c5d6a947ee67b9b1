#include "sheet/xlsb/XlsbRecordStream.h"

#include "sheet/model/WorkbookError.h"

#include <algorithm>

namespace {

// What is set aside at once for a record that straddles two pieces; a bigger one grows as
// its bytes arrive, so that a size no part holds costs nothing.
constexpr std::size_t PendingReserve = std::size_t(1) << 20;

} // namespace

XlsbRecordStream::XlsbRecordStream(QString part, Consumer consumer)
    : m_part(std::move(part))
    , m_consumer(std::move(consumer))
{
}

bool XlsbRecordStream::header(const std::uint8_t *p, std::size_t available, Header &out) const
{
    std::size_t at = 0;
    if (available == 0)
        return false;
    out.id = p[at] & 0x7F;
    if (p[at++] & 0x80) {
        if (at == available)
            return false;
        if (p[at] & 0x80)
            throw WorkbookError::damaged(
                QStringLiteral("a record number in %1 is longer than two bytes").arg(m_part));
        out.id = std::uint16_t(out.id | (p[at++] << 7));
    }
    out.size = 0;
    for (int i = 0;; ++i) {
        if (at == available)
            return false;
        const std::uint8_t byte = p[at++];
        out.size |= std::size_t(byte & 0x7F) << (7 * i);
        if (!(byte & 0x80))
            break;
        if (i == 3)
            throw WorkbookError::damaged(
                QStringLiteral("a record size in %1 is longer than four bytes").arg(m_part));
    }
    out.length = at;
    return true;
}

std::size_t XlsbRecordStream::continuePending(const std::uint8_t *p, std::size_t available)
{
    std::size_t taken = 0;
    while (!m_pendingHasHeader && taken < available) {
        m_pending.push_back(p[taken++]);
        m_pendingHasHeader = header(m_pending.data(), m_pending.size(), m_pendingHeader);
    }
    if (!m_pendingHasHeader)
        return taken;
    const std::size_t wanted = m_pendingHeader.length + m_pendingHeader.size - m_pending.size();
    const std::size_t n = std::min(wanted, available - taken);
    m_pending.insert(m_pending.end(), p + taken, p + taken + n);
    taken += n;
    if (n == wanted) {
        m_consumer(m_pendingHeader.id,
                   std::span<const std::uint8_t>(m_pending).subspan(m_pendingHeader.length));
        m_pending.clear();
        m_pendingHasHeader = false;
    }
    return taken;
}

void XlsbRecordStream::feed(std::span<const char> piece)
{
    const auto *p = reinterpret_cast<const std::uint8_t *>(piece.data());
    std::size_t left = piece.size();
    if (!m_pending.empty()) {
        const std::size_t taken = continuePending(p, left);
        p += taken;
        left -= taken;
    }
    while (left > 0) {
        Header record;
        const bool complete = header(p, left, record);
        if (!complete || left - record.length < record.size) {
            // The rest of this record comes with the next piece.
            m_pending.assign(p, p + left);
            if (complete)
                m_pending.reserve(std::min(PendingReserve, record.length + record.size));
            m_pendingHasHeader = complete;
            m_pendingHeader = record;
            return;
        }
        m_consumer(record.id, std::span<const std::uint8_t>(p + record.length, record.size));
        p += record.length + record.size;
        left -= record.length + record.size;
    }
}

void XlsbRecordStream::finish()
{
    if (!m_pending.empty())
        throw WorkbookError::damaged(
            QStringLiteral("the last record of %1 runs past the end of the part").arg(m_part));
}
