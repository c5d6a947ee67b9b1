// The settings file on any bytes of any length: the decoder on the record the first 25 bytes
// make, and the file reader on a file holding all of them. Both must agree, and a decoded
// record must survive being written and read again.
#include "app/core/SettingsFile.h"
#include "app/core/WindowSettings.h"
#include "util/InOutError.h"

#include <QString>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace {

int MemoryFile()
{
    static const int fd = [] {
        const int created = ::memfd_create("orvandel-settings", MFD_CLOEXEC);
        if (created < 0) {
            std::perror("memfd_create");
            std::abort();
        }
        return created;
    }();
    return fd;
}

void replace(int fd, const std::uint8_t *data, std::size_t size)
{
    if (::ftruncate(fd, 0) != 0)
        std::abort();
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, data + done, size - done, off_t(done));
        if (n <= 0 && errno != EINTR)
            std::abort();
        if (n > 0)
            done += std::size_t(n);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    namespace L = WindowSettingsLayout;
    std::optional<WindowSettings> decoded;
    if (size >= L::RecordSize) {
        WindowSettingsRecord record{};
        std::copy_n(data, L::RecordSize, record.begin());
        decoded = decodeWindowSettings(record);
        if (decoded) {
            if (decoded->WindowState > WindowSettings::Maximized)
                std::abort();
            const std::optional<WindowSettings> again =
                decodeWindowSettings(encodeWindowSettings(*decoded));
            if (!again || *again != *decoded)
                std::abort();
        }
    }

    const int fd = MemoryFile();
    replace(fd, data, size);
    try {
        const SettingsReadResult result =
            readSettingsFile(QStringLiteral("/proc/self/fd/") + QString::number(fd));
        if (size < L::RecordSize)
            std::abort(); // a short file is "Read beyond end of file"
        const bool loaded = result.status == SettingsReadResult::Status::Loaded;
        if (loaded != decoded.has_value() || (loaded && result.settings != *decoded))
            std::abort();
        if (!loaded && result.status != SettingsReadResult::Status::Damaged)
            std::abort();
    } catch (const InOutError &error) {
        if (size >= L::RecordSize || error.code() != InOutError::ReadBeyondEnd)
            std::abort();
    }
    return 0;
}
