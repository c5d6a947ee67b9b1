#include "util/InOutError.h"

#include <cerrno>

InOutError::InOutError(int code)
    : ViewerError(messageFor(code))
    , m_code(code)
{
}

QString InOutError::messageFor(int code)
{
    switch (code) {
    case 2:
        return QStringLiteral("File not found");
    case 3:
        return QStringLiteral("Invalid filename");
    case 4:
        return QStringLiteral("Too many open files");
    case 5:
        return QStringLiteral("File access denied");
    case ReadBeyondEnd:
        return QStringLiteral("Read beyond end of file");
    case DiskFull:
        return QStringLiteral("Disk full");
    case 106:
        return QStringLiteral("Invalid numeric input");
    default:
        return QStringLiteral("I/O error %1").arg(code);
    }
}

int InOutError::codeFromErrno(int err)
{
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return 2;
    case ENAMETOOLONG:
        return 3;
    case EMFILE:
    case ENFILE:
        return 4;
    case EACCES:
    case EPERM:
    // Windows refuses a directory where a file is wanted as an access denied.
    case EISDIR:
        return 5;
    // A quota or the process's file size limit fills up like the disk does.
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return DiskFull;
    default:
        return err;
    }
}

void InOutError::raiseErrno(int err)
{
    throw InOutError(codeFromErrno(err));
}
