#include "platform/SystemError.h"

#include "util/InOutError.h"

#include <cerrno>

int inOutErrorCode(int errnoValue)
{
    switch (errnoValue) {
    case ENOENT:
    case ENOTDIR:
        return InOutError::FileNotFound;
    case ENAMETOOLONG:
        return InOutError::InvalidFilename;
    case EMFILE:
    case ENFILE:
        return InOutError::TooManyOpenFiles;
    case EACCES:
    case EPERM:
    // A directory where a file is wanted is refused like a file one may not open.
    case EISDIR:
        return InOutError::FileAccessDenied;
    // A quota or the process's file size limit fills up like the disk does.
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return InOutError::DiskFull;
    default:
        return errnoValue;
    }
}

void raiseSystemError(int errnoValue)
{
    throw InOutError(inOutErrorCode(errnoValue));
}
