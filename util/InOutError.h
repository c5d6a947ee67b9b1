#pragma once

#include "util/ViewerError.h"

// A failed file operation. The code is the operating system's error number mapped to the codes
// users know from the message table (2, 3, 4, 5, 100, 101, ...).
class InOutError : public ViewerError
{
public:
    // Codes that are not operating-system errors.
    static constexpr int ReadBeyondEnd = 100;
    static constexpr int DiskFull = 101;

    explicit InOutError(int code);

    int code() const noexcept { return m_code; }

    static QString messageFor(int code);
    // Maps the errno of a failed POSIX call to the code of the message table.
    static int codeFromErrno(int err);
    // Throws the error for the errno of the call that just failed.
    [[noreturn]] static void raiseErrno(int err);

private:
    int m_code;
};
