#pragma once

// A read lease on an open file (fcntl F_SETLEASE): granted only while nobody has the file open
// for writing, and while held, another process's open for writing or truncation waits until
// the lease is dropped (or, at worst, the system's lease-break time has passed). The break is
// announced with SIGURG, which is ignored unless a handler is installed; the default SIGIO
// would end the process.
enum class ReadLease { Held, OpenForWriting, Unavailable };

// Unavailable: leases are not supported on this file system, or the file is another user's.
ReadLease takeReadLease(int fd);
void dropReadLease(int fd);
