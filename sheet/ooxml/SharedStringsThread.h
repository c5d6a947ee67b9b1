#pragma once

#include "sheet/model/ReadControl.h"
#include "sheet/model/StringTable.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <span>
#include <string>
#include <thread>

class ZipPackage;

// Reads the shared string table on a thread of its own, from a second opening of the package
// (a ZipPackage is one thread's), while the worksheets are read on the calling one: the two
// biggest parts of a workbook, each inflated and scanned on its own core. A failure on either
// side stops the other at its next piece.
class SharedStringsThread
{
public:
    SharedStringsThread(std::span<const std::uint8_t> package, std::uint64_t entry,
                        std::string part, StringTable &strings, const ReadControl &control,
                        bool fastScanner);
    // Stops the reading if it still runs (the worksheets failed) and waits for the thread.
    ~SharedStringsThread();
    SharedStringsThread(const SharedStringsThread &) = delete;
    SharedStringsThread &operator=(const SharedStringsThread &) = delete;

    // Waits for the table, and raises what stopped its reading, if anything did.
    void wait();
    // Raises what stopped the strings' reading, once something has: for the worksheets'
    // reading to stop early.
    void checkStillGood() const;

private:
    void run(std::span<const std::uint8_t> package, std::uint64_t entry, const std::string &part,
             StringTable &strings, const ReadControl &control, bool fastScanner);

    std::atomic<bool> m_failed{false};
    std::atomic<bool> m_abandoned{false};
    std::exception_ptr m_error;
    std::thread m_thread;
};

// Reads the shared strings part into `strings`, on the calling thread.
void readSharedStrings(const ZipPackage &package, std::uint64_t entry, const std::string &part,
                       StringTable &strings, const ReadControl &control, bool fastScanner,
                       const std::function<void()> &goOn = {});
