#include "util/InOutError.h"

InOutError::InOutError(int code)
    : ViewerError(messageFor(code))
    , m_code(code)
{
}

QString InOutError::messageFor(int code)
{
    switch (code) {
    case FileNotFound:
        return QStringLiteral("File not found");
    case InvalidFilename:
        return QStringLiteral("Invalid filename");
    case TooManyOpenFiles:
        return QStringLiteral("Too many open files");
    case FileAccessDenied:
        return QStringLiteral("File access denied");
    case ReadBeyondEnd:
        return QStringLiteral("Read beyond end of file");
    case DiskFull:
        return QStringLiteral("Disk full");
    case InvalidNumericInput:
        return QStringLiteral("Invalid numeric input");
    default:
        return QStringLiteral("I/O error %1").arg(code);
    }
}
