#include "tests/support/ReaderOperations.h"

#include "app/core/ResultImport.h"
#include "sheet/exceling.h"
#include "util/ViewerError.h"

#include <QString>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// An anonymous in-memory file that ExcelOpen can open by name, so each input costs no disk
// I/O; created once for the process.
class MemoryFile
{
public:
    MemoryFile()
        : m_fd(::memfd_create("orvandel-fuzz", MFD_CLOEXEC))
    {
        if (m_fd < 0) {
            std::perror("memfd_create");
            std::abort();
        }
        m_name = QStringLiteral("/proc/self/fd/") + QString::number(m_fd);
    }
    ~MemoryFile() { ::close(m_fd); }
    MemoryFile(const MemoryFile &) = delete;
    MemoryFile &operator=(const MemoryFile &) = delete;

    const QString &replace(QByteArrayView bytes)
    {
        if (::ftruncate(m_fd, 0) != 0)
            std::abort();
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                ::pwrite(m_fd, bytes.data() + done, size_t(bytes.size() - done), done);
            if (n <= 0 && errno != EINTR)
                std::abort();
            if (n > 0)
                done += n;
        }
        return m_name;
    }

private:
    int m_fd;
    QString m_name;
};

// More rows than any BIFF8 sheet has; the bound only keeps a broken reader from looping.
constexpr int RowBound = 70000;

void readTable(int worksheet)
{
    ExcelSelectSheet(worksheet);
    int end = ResultShape::FirstDataRow;
    while (end < RowBound && !ExcelGetCell(end, ResultShape::KeyColumn).isEmpty())
        ++end;
    for (int row = ResultShape::HeaderRow; row < end; ++row) {
        for (int column = 1; column <= ResultShape::ColumnCount; ++column)
            (void)ExcelGetCell(row, column);
    }
    // Places beyond anything a sheet can hold read as empty, never as a fault.
    if (!ExcelGetCell(1 << 30, 1 << 30).isEmpty() || !ExcelGetCell(0, 0).isEmpty())
        std::abort();
}

} // namespace

void runReaderOperations(QByteArrayView bytes)
{
    static MemoryFile file;
    QString name = file.replace(bytes);
    try {
        ExcelOpen(name);
    } catch (const ViewerError &) {
        return;
    }
    for (int worksheet = ResultShape::Worksheet; worksheet <= 3; ++worksheet) {
        try {
            readTable(worksheet);
        } catch (const ViewerError &) {
        }
    }
    try {
        ExcelClose();
    } catch (const ViewerError &) {
        std::abort(); // an open workbook always closes
    }
    excelRelease();
}
