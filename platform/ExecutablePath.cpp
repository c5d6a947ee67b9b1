#include "platform/ExecutablePath.h"

#include <QFile>
#include <string>
#include <unistd.h>

QString executablePath()
{
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return {};
        // readlink truncates silently: only a result shorter than the buffer is complete.
        if (static_cast<size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<size_t>(n));
            return QFile::decodeName(QByteArray::fromStdString(buffer));
        }
        buffer.resize(buffer.size() * 2);
    }
}
