#pragma once

#include "util/ViewerError.h"

// A failed file operation. Its code names the failure by the message users know it by (the
// operating system's errors are turned into these codes by platform/SystemError); any other
// code is shown as a number.
class InOutError : public ViewerError
{
public:
    static constexpr int FileNotFound = 2;
    static constexpr int InvalidFilename = 3;
    static constexpr int TooManyOpenFiles = 4;
    static constexpr int FileAccessDenied = 5;
    // A read that found fewer bytes than asked.
    static constexpr int ReadBeyondEnd = 100;
    // A write that wrote fewer bytes than asked.
    static constexpr int DiskFull = 101;
    static constexpr int InvalidNumericInput = 106;

    explicit InOutError(int code);

    int code() const noexcept { return m_code; }

    static QString messageFor(int code);

private:
    int m_code;
};
