#pragma once

// The run-time I/O error of a failed system call: the call's errno turned into the code users
// know the failure by (InOutError's named codes), or kept as it is where no name fits.
int inOutErrorCode(int errnoValue);

// Throws the InOutError of a system call that failed with `errnoValue`.
[[noreturn]] void raiseSystemError(int errnoValue);
