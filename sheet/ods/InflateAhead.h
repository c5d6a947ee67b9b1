#pragma once

#include "sheet/model/ReadControl.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

// Inflates one part of a ZIP package on a thread of its own, a few pieces ahead of its reader,
// so that inflating and parsing a big part take a core each. The thread opens the package
// anew (a ZipPackage is one thread's) and holds at most Ahead pieces of 256 KiB: the part is
// never whole in memory.
class InflateAhead
{
public:
    static constexpr std::size_t Ahead = 4;

    // Starts inflating at once; the bytes and `control` must outlive the object.
    InflateAhead(std::span<const std::uint8_t> package, std::uint64_t entry,
                 const ReadControl &control);
    // Stops the thread, if it still runs, and waits for it.
    ~InflateAhead();
    InflateAhead(const InflateAhead &) = delete;
    InflateAhead &operator=(const InflateAhead &) = delete;

    // Hands the part to `consume` piece by piece, in order, on the calling thread; raises what
    // stopped the inflating (a damaged package, the part past its limit, a cancelled read).
    void read(const std::function<void(std::span<const char>)> &consume);

private:
    using Piece = std::vector<char>;

    void inflate(std::span<const std::uint8_t> package, std::uint64_t entry,
                 const ReadControl &control);
    // On the inflating thread: waits for room, then queues a copy of `data`.
    void put(std::span<const char> data);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Piece> m_ready;
    std::vector<Piece> m_spare;
    bool m_done = false;
    bool m_abandoned = false;
    std::exception_ptr m_error;
    std::thread m_thread;
};
