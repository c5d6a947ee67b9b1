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

// Inflates one entry of a ZIP package on a thread of its own, a few pieces ahead of the caller,
// who parses what is inflated meanwhile: inflating and parsing a big part then take two cores
// at once instead of one after the other. The entry is read from an opening of the package's
// bytes of its own (a ZipPackage is one thread's); at most a few megabytes wait at a time, so
// the part is never held whole.
class InflateAhead
{
public:
    InflateAhead(std::span<const std::uint8_t> package, std::uint64_t entry,
                 const ReadControl &control);
    // Stops the inflating if it still runs and waits for its thread.
    ~InflateAhead();
    InflateAhead(const InflateAhead &) = delete;
    InflateAhead &operator=(const InflateAhead &) = delete;

    // Hands the entry to `consume` in order, as ZipPackage::read does, and raises what the
    // inflating raised (damage, a part past its limit, ReadCancelled). Once only.
    void read(const std::function<void(std::span<const char>)> &consume);

private:
    void inflate(std::span<const std::uint8_t> package, std::uint64_t entry,
                 const ReadControl &control);
    void publish(std::vector<char> &piece);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::vector<char>> m_ready;
    std::vector<std::vector<char>> m_free;
    bool m_finished = false;
    bool m_stopped = false;
    std::exception_ptr m_error;
    std::thread m_thread;
};
